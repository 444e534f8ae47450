#include "hosts/common/StatusText.h"

std::string StatusText::Of(OSStatus status)
{
    return " (status " + std::to_string(status) + ")";
}

std::string StatusText::Failed(const char* what, OSStatus status)
{
    return what + std::string(" failed") + Of(status);
}
