#pragma once
// The host's musical clock as the unit asks for it, read from JACK transport once per cycle.
//
// The transport state (rolling or not) is always known. Beat, tempo and meter come from the
// bars, beats and ticks (BBT) that a timebase master publishes; without a master the
// beat-and-tempo and musical-time callbacks fail exactly as missing callbacks do, and the unit
// keeps its own clock. JACK counts bars and beats from 1; the unit's beat counts from 0 at the
// start of the song, with the bars laid out at the current meter.
//
// Update runs on the render thread before the cycle's render calls, and the unit asks its
// callbacks from inside those calls. What the terminal shows is published in atomics.

#include "hosts/common/HostClockCallbacks.h"

#include <jack/transport.h>

#include <atomic>

class JackTransportClock
{
public:
    // What the status line shows.
    struct Report
    {
        bool rolling = false;
        bool bbt = false; // the rest is valid only with a timebase master
        double tempo = 0;
        float beatsPerBar = 0;
        float beatType = 0;
        SInt32 bar = 0;  // from 1
        SInt32 beat = 0; // from 1
    };

    JackTransportClock(); // [ui]

    // [render] The transport as jack_transport_query gave it at the start of the cycle.
    void Update(jack_transport_state_t state, const jack_position_t& position);

    // [ui] Callbacks answering from the last update.
    HostCallbackInfo Callbacks() { return mCallbacks.Callbacks(); }

    // [any] The last update, for the terminal.
    Report Read() const;

private:
    HostClockCallbacks mCallbacks; // render thread

    // The meter and tempo of the last valid BBT, for the terminal. Render thread.
    double mTempo = 0; // beats per minute
    double mBeatsPerBar = 4;
    double mBeatType = 4;

    // For the terminal.
    std::atomic<bool> mShownRolling{false};
    std::atomic<bool> mShownBBT{false};
    std::atomic<double> mShownTempo{0};
    std::atomic<float> mShownBeatsPerBar{0};
    std::atomic<float> mShownBeatType{0};
    std::atomic<SInt32> mShownBar{0};
    std::atomic<SInt32> mShownBeat{0};
};
