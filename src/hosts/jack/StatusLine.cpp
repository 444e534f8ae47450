#include "hosts/jack/StatusLine.h"

#include <cstdio>

std::string StatusLine::Format(const Values& values)
{
    char text[64];
    std::string line;
    if (values.memoryUse)
    {
        std::snprintf(text, sizeof text, "mem %u.%u%%", *values.memoryUse / 10,
                      *values.memoryUse % 10);
        line = text;
    }
    else
        line = "mem --";

    if (!values.recording)
        line += " | rec --";
    else if (!*values.recording)
        line += " | rec off";
    else if (values.recordingKey >= 0)
        line += " | rec key " + std::to_string(values.recordingKey);
    else
        line += " | rec on";

    const JackTransportClock::Report& clock = values.clock;
    if (clock.bbt)
    {
        std::snprintf(text, sizeof text, " | %.1f bpm %g/%g bar %d beat %d", clock.tempo,
                      static_cast<double>(clock.beatsPerBar), static_cast<double>(clock.beatType),
                      clock.bar, clock.beat);
        line += text;
    }
    else
        line += " | no tempo";
    line += clock.rolling ? " | rolling" : " | stopped";

    std::snprintf(text, sizeof text, " | %.0f Hz, %u frames", values.sampleRate,
                  values.bufferFrames);
    line += text;
    if (values.renderErrors > 0)
        line += " | " + std::to_string(values.renderErrors) + " render errors";
    return line;
}
