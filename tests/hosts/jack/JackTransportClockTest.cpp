#include "hosts/jack/JackTransportClock.h"

#include <gtest/gtest.h>

namespace
{
jack_position_t Position(std::int32_t bar, std::int32_t beat, std::int32_t tick, double bpm,
                         float beatsPerBar)
{
    jack_position_t position{};
    position.frame_rate = 48000;
    position.frame = 123456;
    position.valid = JackPositionBBT;
    position.bar = bar;
    position.beat = beat;
    position.tick = tick;
    position.ticks_per_beat = 1920;
    position.beats_per_bar = beatsPerBar;
    position.beat_type = 4;
    position.beats_per_minute = bpm;
    return position;
}

struct Answers
{
    OSStatus beatStatus = 0;
    Float64 beat = -1;
    Float64 tempo = -1;
    OSStatus locationStatus = 0;
    UInt32 toNextBeat = 0;
    Float32 numerator = 0;
    UInt32 denominator = 0;
    Float64 downBeat = -1;
};

Answers Ask(JackTransportClock& clock)
{
    const HostCallbackInfo callbacks = clock.Callbacks();
    Answers a;
    a.beatStatus = callbacks.beatAndTempoProc(callbacks.hostUserData, &a.beat, &a.tempo);
    a.locationStatus = callbacks.musicalTimeLocationProc(callbacks.hostUserData, &a.toNextBeat,
                                                         &a.numerator, &a.denominator, &a.downBeat);
    return a;
}
} // namespace

TEST(JackTransportClock, BeatTempoAndMeterFromBBT)
{
    JackTransportClock clock;
    {
        SCOPED_TRACE("bar 3, beat 2, half a beat on");
        clock.Update(JackTransportRolling, Position(3, 2, 960, 120, 4));
        const Answers a = Ask(clock);
        ASSERT_EQ(noErr, a.beatStatus);
        ASSERT_EQ(noErr, a.locationStatus);
        // Two whole bars of four, one beat, 960 / 1920 of a beat: 8 + 1 + 0.5.
        EXPECT_DOUBLE_EQ(9.5, a.beat);
        EXPECT_DOUBLE_EQ(120, a.tempo);
        EXPECT_EQ(4.0f, a.numerator);
        EXPECT_DOUBLE_EQ(8, a.downBeat);
    }
    {
        SCOPED_TRACE("the BBT fields describe a moment 240 frames before the cycle");
        jack_position_t position = Position(3, 2, 960, 120, 4);
        position.valid = static_cast<jack_position_bits_t>(JackPositionBBT | JackBBTFrameOffset);
        position.bbt_offset = 240;
        clock.Update(JackTransportRolling, position);
        // 240 frames are 240 × 120 / (60 × 48000) = 0.01 beat.
        EXPECT_DOUBLE_EQ(9.51, Ask(clock).beat);
    }
    {
        SCOPED_TRACE("3/4 at 90 bpm, on the third beat of the first bar");
        clock.Update(JackTransportStopped, Position(1, 3, 0, 90, 3));
        const Answers a = Ask(clock);
        EXPECT_DOUBLE_EQ(2, a.beat);
        EXPECT_DOUBLE_EQ(90, a.tempo);
        EXPECT_EQ(3.0f, a.numerator);
        EXPECT_DOUBLE_EQ(0, a.downBeat);
    }
}

TEST(JackTransportClock, WithoutAMasterTheUnitKeepsItsOwnClock)
{
    JackTransportClock clock;
    jack_position_t none{};
    none.frame_rate = 48000;
    jack_position_t nonsense = Position(2, 1, 0, 0, 4); // a tempo of 0 is no tempo
    for (const jack_position_t& position : {none, nonsense})
    {
        clock.Update(JackTransportRolling, position);
        const Answers a = Ask(clock);
        EXPECT_EQ(kAudioUnitErr_CannotDoInCurrentContext, a.beatStatus);
        EXPECT_EQ(kAudioUnitErr_CannotDoInCurrentContext, a.locationStatus);
        EXPECT_FALSE(clock.Read().bbt);
        EXPECT_TRUE(clock.Read().rolling);
    }
}

TEST(JackTransportClock, TransportStateAndItsChanges)
{
    JackTransportClock clock;
    const HostCallbackInfo callbacks = clock.Callbacks();
    const auto ask = [&](Boolean& playing, Boolean& changed, Float64& sample)
    {
        return callbacks.transportStateProc(callbacks.hostUserData, &playing, &changed, &sample,
                                            nullptr, nullptr, nullptr);
    };
    jack_position_t position{};
    position.frame_rate = 48000;
    struct Step
    {
        jack_transport_state_t state;
        jack_nframes_t frame;
        Boolean playing;
        Boolean changed;
    };
    // Starting is not yet rolling.
    const Step steps[] = {{JackTransportStopped, 0, false, false},
                          {JackTransportStarting, 0, false, false},
                          {JackTransportRolling, 256, true, true},
                          {JackTransportStopped, 512, false, true}};
    for (const Step& step : steps)
    {
        SCOPED_TRACE(step.frame);
        position.frame = step.frame;
        clock.Update(step.state, position);
        Boolean playing = 2;
        Boolean changed = 2;
        Float64 sample = -1;
        ASSERT_EQ(noErr, ask(playing, changed, sample));
        EXPECT_EQ(step.playing, playing);
        EXPECT_EQ(step.changed, changed);
        EXPECT_EQ(step.frame, sample);
    }
}
