#pragma once
// How the host programs name a status code in their messages.

#include "platform/CoreAudioTypes.h"

#include <string>

class StatusText
{
public:
    // [any] " (status N)": what follows the words that say what went wrong.
    static std::string Of(OSStatus status);
    // [any] "WHAT failed (status N)".
    static std::string Failed(const char* what, OSStatus status);
};
