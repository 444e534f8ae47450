#pragma once
// An error of the audio-file reader: the operation that failed, as text, and the platform
// status code. The import turns it into the status of the property call.

#include "platform/CoreAudioTypes.h"

#include <exception>
#include <string_view>

class CAXException : public std::exception
{
public:
    // The text is cut to kMaxOperation characters.
    static constexpr std::size_t kMaxOperation = 255;

    CAXException(std::string_view operation, OSStatus error) noexcept;

    const char* what() const noexcept override { return mOperation; }
    OSStatus Error() const noexcept { return mError; }

private:
    char mOperation[kMaxOperation + 1];
    OSStatus mError;
};
