#pragma once
// The host's musical clock as the unit asks for it, fed by time:Position objects.
//
// A position message sets what it carries (bar, beat in the bar, tempo, meter, speed, frame;
// any numeric atom type); between messages the clock runs on with the rendered frames at the
// host's tempo and speed, since most hosts send a position only when something changes.
// Until the first message the three callbacks fail exactly as missing callbacks do, so a
// host that never sends a position leaves the unit on its own clock.
//
// Everything here runs on the render thread: run() feeds and advances the clock, and the unit
// asks its callbacks from inside the render calls that run() makes.

#include "hosts/lv2/LV2URIs.h"
#include "platform/AudioUnitProperties.h"

#include <lv2/atom/atom.h>

class LV2HostClock
{
public:
    // [ui]
    explicit LV2HostClock(double sampleRate) : mSampleRate(sampleRate) {}

    // [render] Takes the fields of a time:Position object.
    void Receive(const LV2_Atom_Object& position, const LV2URIs& uris);
    // [render] Moves the clock on by frames rendered.
    void Advance(std::uint32_t frames);

    // [ui] Callbacks answering from this clock.
    HostCallbackInfo Callbacks();

    bool Valid() const { return mValid; }               // [render]
    bool Playing() const { return mSpeed != 0.0; }      // [render]
    double Beat() const { return mBeat; }               // [render] beats since the song start
    double Tempo() const { return mTempo; }             // [render]
    double BeatsPerBar() const { return mBeatsPerBar; } // [render]

    // [any] A number atom of any numeric type as a double; false for anything else.
    static bool ReadNumber(const LV2_Atom* atom, const LV2URIs& uris, double& out);

private:
    static OSStatus BeatAndTempo(void* user, Float64* outBeat, Float64* outTempo);
    static OSStatus MusicalTimeLocation(void* user, UInt32* outDeltaSampleOffsetToNextBeat,
                                        Float32* outNumerator, UInt32* outDenominator,
                                        Float64* outCurrentMeasureDownBeat);
    static OSStatus TransportState(void* user, Boolean* outIsPlaying,
                                   Boolean* outTransportStateChanged,
                                   Float64* outCurrentSampleInTimeLine, Boolean* outIsCycling,
                                   Float64* outCycleStartBeat, Float64* outCycleEndBeat);

    double mSampleRate;
    bool mValid = false;
    double mBeat = 0;    // beats since the start of the song
    double mTempo = 120; // beats per minute
    double mBeatsPerBar = 4;
    double mBeatUnit = 4;
    double mSpeed = 0;             // transport speed: 0 stopped, 1 rolling
    double mFrame = 0;             // transport position in frames
    bool mReportedPlaying = false; // what the transport callback last answered
};
