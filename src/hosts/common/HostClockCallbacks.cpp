#include "hosts/common/HostClockCallbacks.h"

#include <cmath>

HostClockCallbacks::Musical HostClockCallbacks::Steady(double beat, double tempo,
                                                       double beatsPerBar, UInt32 denominator,
                                                       double frameRate)
{
    Musical musical;
    musical.beat = beat;
    musical.tempo = tempo;
    // On a beat the next one is this one: 0 frames away.
    const double beats = std::ceil(beat) - beat;
    const double frames = beats * 60.0 * frameRate / tempo;
    musical.toNextBeat = static_cast<UInt32>(std::lround(frames));
    musical.numerator = static_cast<Float32>(beatsPerBar);
    musical.denominator = denominator;
    musical.downBeat = std::floor(beat / beatsPerBar) * beatsPerBar;
    return musical;
}

HostCallbackInfo HostClockCallbacks::Callbacks()
{
    return HostCallbackInfo{this, &BeatAndTempo, &MusicalTimeLocation, &TransportState};
}

void HostClockCallbacks::SetMusical(const Musical& musical)
{
    mMusical = musical;
    mMusicalKnown = true;
}

void HostClockCallbacks::SetTransport(bool playing, double frame)
{
    mPlaying = playing;
    mFrame = frame;
    mTransportKnown = true;
}

OSStatus HostClockCallbacks::BeatAndTempo(void* user, Float64* outBeat, Float64* outTempo)
{
    const auto* clock = static_cast<const HostClockCallbacks*>(user);
    if (!clock->mMusicalKnown) return kAudioUnitErr_CannotDoInCurrentContext;
    if (outBeat != nullptr) *outBeat = clock->mMusical.beat;
    if (outTempo != nullptr) *outTempo = clock->mMusical.tempo;
    return noErr;
}

OSStatus HostClockCallbacks::MusicalTimeLocation(void* user, UInt32* outDeltaSampleOffsetToNextBeat,
                                                 Float32* outNumerator, UInt32* outDenominator,
                                                 Float64* outCurrentMeasureDownBeat)
{
    const auto* clock = static_cast<const HostClockCallbacks*>(user);
    if (!clock->mMusicalKnown) return kAudioUnitErr_CannotDoInCurrentContext;
    const Musical& musical = clock->mMusical;
    if (outDeltaSampleOffsetToNextBeat != nullptr)
        *outDeltaSampleOffsetToNextBeat = musical.toNextBeat;
    if (outNumerator != nullptr) *outNumerator = musical.numerator;
    if (outDenominator != nullptr) *outDenominator = musical.denominator;
    if (outCurrentMeasureDownBeat != nullptr) *outCurrentMeasureDownBeat = musical.downBeat;
    return noErr;
}

OSStatus HostClockCallbacks::TransportState(void* user, Boolean* outIsPlaying,
                                            Boolean* outTransportStateChanged,
                                            Float64* outCurrentSampleInTimeLine,
                                            Boolean* outIsCycling, Float64* outCycleStartBeat,
                                            Float64* outCycleEndBeat)
{
    auto* clock = static_cast<HostClockCallbacks*>(user);
    if (!clock->mTransportKnown) return kAudioUnitErr_CannotDoInCurrentContext;
    if (outIsPlaying != nullptr) *outIsPlaying = clock->mPlaying;
    // A change is a playing state other than the one this callback last answered.
    if (outTransportStateChanged != nullptr)
        *outTransportStateChanged = clock->mPlaying != clock->mReportedPlaying;
    clock->mReportedPlaying = clock->mPlaying;
    if (outCurrentSampleInTimeLine != nullptr) *outCurrentSampleInTimeLine = clock->mFrame;
    if (outIsCycling != nullptr) *outIsCycling = false;
    if (outCycleStartBeat != nullptr) *outCycleStartBeat = 0.0;
    if (outCycleEndBeat != nullptr) *outCycleEndBeat = 0.0;
    return noErr;
}
