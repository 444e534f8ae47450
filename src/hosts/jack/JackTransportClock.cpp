#include "hosts/jack/JackTransportClock.h"

#include <algorithm>
#include <cmath>

namespace
{
bool Positive(double value)
{
    return std::isfinite(value) && value > 0;
}
} // namespace

JackTransportClock::JackTransportClock()
{
    // The transport state is always known, rolling or not.
    mCallbacks.SetTransport(false, 0);
}

void JackTransportClock::Update(jack_transport_state_t state, const jack_position_t& position)
{
    const bool rolling = state == JackTransportRolling;
    const double frameRate = position.frame_rate;
    mCallbacks.SetTransport(rolling, position.frame);
    // A master that publishes nonsense is no master: the unit keeps its own clock.
    const bool bbt = (position.valid & JackPositionBBT) != 0 &&
                     Positive(position.beats_per_minute) && Positive(position.beats_per_bar) &&
                     Positive(position.beat_type);
    if (bbt)
    {
        mTempo = position.beats_per_minute;
        mBeatsPerBar = position.beats_per_bar;
        mBeatType = position.beat_type;
        double inBar = std::max(position.beat - 1, 0);
        if (Positive(position.ticks_per_beat))
            inBar += std::max(position.tick, 0) / position.ticks_per_beat;
        // The BBT fields may describe a moment bbt_offset frames before the cycle starts.
        if ((position.valid & JackBBTFrameOffset) != 0 && Positive(frameRate))
            inBar += position.bbt_offset * mTempo / (60.0 * frameRate);
        const double beat = std::max(position.bar - 1, 0) * mBeatsPerBar + inBar;
        mCallbacks.SetMusical(HostClockCallbacks::Steady(
            beat, mTempo, mBeatsPerBar, static_cast<UInt32>(std::lround(mBeatType)), frameRate));
    }
    else
    {
        mCallbacks.ClearMusical();
    }

    mShownRolling.store(rolling, std::memory_order_relaxed);
    mShownBBT.store(bbt, std::memory_order_relaxed);
    mShownTempo.store(mTempo, std::memory_order_relaxed);
    mShownBeatsPerBar.store(static_cast<float>(mBeatsPerBar), std::memory_order_relaxed);
    mShownBeatType.store(static_cast<float>(mBeatType), std::memory_order_relaxed);
    mShownBar.store(position.bar, std::memory_order_relaxed);
    mShownBeat.store(position.beat, std::memory_order_relaxed);
}

JackTransportClock::Report JackTransportClock::Read() const
{
    Report report;
    report.rolling = mShownRolling.load(std::memory_order_relaxed);
    report.bbt = mShownBBT.load(std::memory_order_relaxed);
    report.tempo = mShownTempo.load(std::memory_order_relaxed);
    report.beatsPerBar = mShownBeatsPerBar.load(std::memory_order_relaxed);
    report.beatType = mShownBeatType.load(std::memory_order_relaxed);
    report.bar = mShownBar.load(std::memory_order_relaxed);
    report.beat = mShownBeat.load(std::memory_order_relaxed);
    return report;
}
