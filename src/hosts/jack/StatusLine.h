#pragma once
// The one-line status tova-jack shows at its terminal:
//
//     mem 12.3% | rec key 62 | 120.0 bpm 4/4 bar 3 beat 2 | rolling | 48000 Hz, 256 frames
//
// memory use of the sample pool, the recording state ("rec off", "rec on", or the key held to
// record), the tempo and place from JACK's timebase master ("no tempo" without one), the
// transport, and the server's rate and buffer size; render errors only when there were any.

#include "hosts/jack/JackTransportClock.h"

#include <optional>
#include <string>

class StatusLine
{
public:
    struct Values
    {
        std::optional<UInt32> memoryUse; // tenths of a percent; none when the unit has none
        std::optional<bool> recording;   // none when the unit has no "Recording" parameter
        int recordingKey = -1;
        JackTransportClock::Report clock;
        double sampleRate = 0;
        UInt32 bufferFrames = 0;
        UInt64 renderErrors = 0;
    };

    // [any]
    static std::string Format(const Values& values);
};
