#pragma once
// tova-jack as JACK's timebase master: a constant tempo and meter, bars and beats counted from
// frame 0 of the transport, 1920 ticks to the beat, quarter notes as the beat type. The BBT
// fields name the last tick at or before the cycle's first frame, and bbt_offset the frames
// between that tick and the cycle (rounded), so that readers can place the beat to the frame.

#include <jack/transport.h>

class TimebaseMaster
{
public:
    static constexpr double kTicksPerBeat = 1920.0;
    static constexpr float kBeatType = 4.0f;

    // [ui]
    TimebaseMaster(double tempo, int beatsPerBar) : mTempo(tempo), mBeatsPerBar(beatsPerBar) {}

    // [render] Fills the BBT fields of position for its frame and frame rate.
    void Fill(jack_position_t& position) const;

private:
    double mTempo;
    int mBeatsPerBar;
};
