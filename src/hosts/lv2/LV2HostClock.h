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

#include "hosts/common/HostClockCallbacks.h"
#include "hosts/lv2/LV2URIs.h"

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
    HostCallbackInfo Callbacks() { return mCallbacks.Callbacks(); }

    // [any] A number atom of any numeric type as a double; false for anything else.
    static bool ReadNumber(const LV2_Atom* atom, const LV2URIs& uris, double& out);

private:
    // [render] Hands the clock as it stands to the callbacks.
    void Publish();

    HostClockCallbacks mCallbacks;
    double mSampleRate;
    bool mValid = false;
    double mBeat = 0;    // beats since the start of the song
    double mTempo = 120; // beats per minute
    double mBeatsPerBar = 4;
    double mBeatUnit = 4;
    double mSpeed = 0; // transport speed: 0 stopped, 1 rolling
    double mFrame = 0; // transport position in frames
};
