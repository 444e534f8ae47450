#include "hosts/jack/TimebaseMaster.h"

#include <cmath>

void TimebaseMaster::Fill(jack_position_t& position) const
{
    const double framesPerBeat = 60.0 * position.frame_rate / mTempo;
    const double beats = position.frame_rate > 0 ? position.frame / framesPerBeat : 0.0;
    const double bars = std::floor(beats / mBeatsPerBar);
    const double inBar = beats - bars * mBeatsPerBar;
    const double beat = std::floor(inBar);
    const double ticks = (inBar - beat) * kTicksPerBeat;
    const double tick = std::floor(ticks);

    position.valid =
        static_cast<jack_position_bits_t>(position.valid | JackPositionBBT | JackBBTFrameOffset);
    position.bar = static_cast<int32_t>(bars) + 1;
    position.beat = static_cast<int32_t>(beat) + 1;
    position.tick = static_cast<int32_t>(tick);
    position.bar_start_tick = bars * mBeatsPerBar * kTicksPerBeat;
    position.beats_per_bar = static_cast<float>(mBeatsPerBar);
    position.beat_type = kBeatType;
    position.ticks_per_beat = kTicksPerBeat;
    position.beats_per_minute = mTempo;
    position.bbt_offset =
        static_cast<jack_nframes_t>(std::lround((ticks - tick) * framesPerBeat / kTicksPerBeat));
}
