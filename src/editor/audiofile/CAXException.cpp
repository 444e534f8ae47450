#include "editor/audiofile/CAXException.h"

#include <algorithm>

CAXException::CAXException(std::string_view operation, OSStatus error) noexcept : mError(error)
{
    const std::size_t n = std::min(operation.size(), kMaxOperation);
    std::copy_n(operation.data(), n, mOperation);
    mOperation[n] = '\0';
}
