#pragma once
// The host callbacks through which a unit asks for the musical clock (beat and tempo, musical
// time location, transport state), answered from what the host program last set here. Each
// host sets the clock on its render thread before the render calls, from wherever its clock
// comes from, and the unit asks from inside those calls.
//
// Until the host sets the musical values the beat-and-tempo and musical-time callbacks fail
// exactly as missing callbacks do, and until it sets the transport the transport callback
// does, so that the unit keeps its own clock.

#include "platform/AudioUnitProperties.h"

class HostClockCallbacks
{
public:
    // What the beat-and-tempo and musical-time callbacks answer.
    struct Musical
    {
        double beat = 0;        // beats since the start of the song
        double tempo = 120;     // those beats per minute
        UInt32 toNextBeat = 0;  // frames to the next beat: 0 on a beat
        Float32 numerator = 4;  // beats per bar
        UInt32 denominator = 4; // the note value of a beat
        double downBeat = 0;    // the beat at which the current bar starts
    };

    // [any] The answers of a clock whose bars all have beatsPerBar beats, at frameRate frames
    // per second: the next beat (rounded to the nearest frame) and the bar's first beat follow
    // from the beat.
    static Musical Steady(double beat, double tempo, double beatsPerBar, UInt32 denominator,
                          double frameRate);

    // [ui] `playingBefore` is the transport state taken as answered before the first answer:
    // the first answer reports a change when it differs.
    explicit HostClockCallbacks(bool playingBefore = false) : mReportedPlaying(playingBefore) {}
    HostClockCallbacks(const HostClockCallbacks&) = delete;
    HostClockCallbacks& operator=(const HostClockCallbacks&) = delete;

    // [ui] All three callbacks, answering from this object.
    HostCallbackInfo Callbacks();

    // [render] What the two musical callbacks answer from now on.
    void SetMusical(const Musical& musical);
    // [render] The two musical callbacks fail again.
    void ClearMusical() { mMusicalKnown = false; }
    // [render] What the transport callback answers from now on: the playing state and the
    // position in frames.
    void SetTransport(bool playing, double frame);

private:
    static OSStatus BeatAndTempo(void* user, Float64* outBeat, Float64* outTempo);
    static OSStatus MusicalTimeLocation(void* user, UInt32* outDeltaSampleOffsetToNextBeat,
                                        Float32* outNumerator, UInt32* outDenominator,
                                        Float64* outCurrentMeasureDownBeat);
    static OSStatus TransportState(void* user, Boolean* outIsPlaying,
                                   Boolean* outTransportStateChanged,
                                   Float64* outCurrentSampleInTimeLine, Boolean* outIsCycling,
                                   Float64* outCycleStartBeat, Float64* outCycleEndBeat);

    bool mMusicalKnown = false;
    Musical mMusical;
    bool mTransportKnown = false;
    bool mPlaying = false;
    double mFrame = 0;
    bool mReportedPlaying; // what the transport callback last answered
};
