// Any bytes through the MIDI file reader, and what it accepts through the tempo map.

#include "hosts/render/StandardMidiFile.h"
#include "hosts/render/TempoMap.h"

#include <cmath>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    StandardMidiFile file;
    std::string error;
    if (!StandardMidiFile::Parse(data, size, file, error))
    {
        if (error.empty()) std::abort(); // every refusal says why
        return 0;
    }
    const TempoMap map(file, 120.0);
    for (const StandardMidiFile::Event& event : file.Events())
    {
        if (event.status < 0x80 || event.status > 0xEF || event.data1 > 0x7F || event.data2 > 0x7F)
            std::abort();
        const double seconds = map.SecondsAtTick(event.tick);
        const double beat = map.BeatAtSeconds(seconds);
        if (!std::isfinite(seconds) || seconds < 0.0 || !std::isfinite(beat)) std::abort();
        map.MeterAtBeat(beat);
    }
    return 0;
}
