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

void JackTransportClock::Update(jack_transport_state_t state, const jack_position_t& position)
{
    mRolling = state == JackTransportRolling;
    mFrame = position.frame;
    mFrameRate = position.frame_rate;
    // A master that publishes nonsense is no master: the unit keeps its own clock.
    mBBT = (position.valid & JackPositionBBT) != 0 && Positive(position.beats_per_minute) &&
           Positive(position.beats_per_bar) && Positive(position.beat_type);
    if (mBBT)
    {
        mTempo = position.beats_per_minute;
        mBeatsPerBar = position.beats_per_bar;
        mBeatType = position.beat_type;
        double inBar = std::max(position.beat - 1, 0);
        if (Positive(position.ticks_per_beat))
            inBar += std::max(position.tick, 0) / position.ticks_per_beat;
        // The BBT fields may describe a moment bbt_offset frames before the cycle starts.
        if ((position.valid & JackBBTFrameOffset) != 0 && Positive(mFrameRate))
            inBar += position.bbt_offset * mTempo / (60.0 * mFrameRate);
        mBeat = std::max(position.bar - 1, 0) * mBeatsPerBar + inBar;
    }

    mShownRolling.store(mRolling, std::memory_order_relaxed);
    mShownBBT.store(mBBT, std::memory_order_relaxed);
    mShownTempo.store(mTempo, std::memory_order_relaxed);
    mShownBeatsPerBar.store(static_cast<float>(mBeatsPerBar), std::memory_order_relaxed);
    mShownBeatType.store(static_cast<float>(mBeatType), std::memory_order_relaxed);
    mShownBar.store(position.bar, std::memory_order_relaxed);
    mShownBeat.store(position.beat, std::memory_order_relaxed);
}

HostCallbackInfo JackTransportClock::Callbacks()
{
    return HostCallbackInfo{this, &BeatAndTempo, &MusicalTimeLocation, &TransportState};
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

OSStatus JackTransportClock::BeatAndTempo(void* user, Float64* outBeat, Float64* outTempo)
{
    const auto* clock = static_cast<const JackTransportClock*>(user);
    if (!clock->mBBT) return kAudioUnitErr_CannotDoInCurrentContext;
    if (outBeat != nullptr) *outBeat = clock->mBeat;
    if (outTempo != nullptr) *outTempo = clock->mTempo;
    return noErr;
}

OSStatus JackTransportClock::MusicalTimeLocation(void* user, UInt32* outDeltaSampleOffsetToNextBeat,
                                                 Float32* outNumerator, UInt32* outDenominator,
                                                 Float64* outCurrentMeasureDownBeat)
{
    const auto* clock = static_cast<const JackTransportClock*>(user);
    if (!clock->mBBT) return kAudioUnitErr_CannotDoInCurrentContext;
    if (outDeltaSampleOffsetToNextBeat != nullptr)
    {
        // On a beat the next one is this one: 0 frames away.
        const double beats = std::ceil(clock->mBeat) - clock->mBeat;
        const double frames = beats * 60.0 * clock->mFrameRate / clock->mTempo;
        *outDeltaSampleOffsetToNextBeat = static_cast<UInt32>(std::lround(frames));
    }
    if (outNumerator != nullptr) *outNumerator = static_cast<Float32>(clock->mBeatsPerBar);
    if (outDenominator != nullptr)
        *outDenominator = static_cast<UInt32>(std::lround(clock->mBeatType));
    if (outCurrentMeasureDownBeat != nullptr)
        *outCurrentMeasureDownBeat =
            std::floor(clock->mBeat / clock->mBeatsPerBar) * clock->mBeatsPerBar;
    return noErr;
}

OSStatus JackTransportClock::TransportState(void* user, Boolean* outIsPlaying,
                                            Boolean* outTransportStateChanged,
                                            Float64* outCurrentSampleInTimeLine,
                                            Boolean* outIsCycling, Float64* outCycleStartBeat,
                                            Float64* outCycleEndBeat)
{
    auto* clock = static_cast<JackTransportClock*>(user);
    if (outIsPlaying != nullptr) *outIsPlaying = clock->mRolling;
    // A change is a rolling state other than the one this callback last answered.
    if (outTransportStateChanged != nullptr)
        *outTransportStateChanged = clock->mRolling != clock->mReported;
    clock->mReported = clock->mRolling;
    if (outCurrentSampleInTimeLine != nullptr) *outCurrentSampleInTimeLine = clock->mFrame;
    if (outIsCycling != nullptr) *outIsCycling = false;
    if (outCycleStartBeat != nullptr) *outCycleStartBeat = 0.0;
    if (outCycleEndBeat != nullptr) *outCycleEndBeat = 0.0;
    return noErr;
}
