#include "hosts/jack/TimebaseMaster.h"
#include "hosts/jack/JackTransportClock.h"

#include <gtest/gtest.h>

namespace
{
jack_position_t At(jack_nframes_t frame)
{
    jack_position_t position{};
    position.frame_rate = 48000;
    position.frame = frame;
    return position;
}
} // namespace

TEST(TimebaseMaster, BarsBeatsAndTicksFromTheFrame)
{
    struct Case
    {
        double tempo;
        int beatsPerBar;
        jack_nframes_t frame;
        std::int32_t bar, beat, tick;
        double barStartTick;
    };
    const Case cases[] = {
        {120, 4, 0, 1, 1, 0, 0},
        // 120 bpm at 48 kHz: 24000 frames a beat. 132000 frames are 5.5 beats: bar 2, beat 2,
        // 960 ticks; the bar started 4 × 1920 ticks in.
        {120, 4, 132000, 2, 2, 960, 7680},
        // 90 bpm: 32000 frames a beat; 224000 frames are 7 beats, in 3/4 bar 3, beat 2.
        {90, 3, 224000, 3, 2, 0, 6 * 1920},
        // Just before a bar line: 95999 frames are 3.99996 beats, tick 1919.
        {120, 4, 95999, 1, 4, 1919, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.frame);
        jack_position_t position = At(c.frame);
        TimebaseMaster(c.tempo, c.beatsPerBar).Fill(position);
        EXPECT_NE(0, position.valid & JackPositionBBT);
        EXPECT_NE(0, position.valid & JackBBTFrameOffset);
        EXPECT_EQ(c.bar, position.bar);
        EXPECT_EQ(c.beat, position.beat);
        EXPECT_EQ(c.tick, position.tick);
        EXPECT_DOUBLE_EQ(c.barStartTick, position.bar_start_tick);
        EXPECT_EQ(static_cast<float>(c.beatsPerBar), position.beats_per_bar);
        EXPECT_EQ(4.0f, position.beat_type);
        EXPECT_EQ(1920.0, position.ticks_per_beat);
        EXPECT_EQ(c.tempo, position.beats_per_minute);
    }
}

// What the master publishes, the clock reads back to within half a frame: ticks alone would
// place the beat only to within 12.5 frames at 120 bpm.
TEST(TimebaseMaster, TheClockReadsTheBeatBackToTheFrame)
{
    const TimebaseMaster master(120, 4);
    JackTransportClock clock;
    const HostCallbackInfo callbacks = clock.Callbacks();
    for (jack_nframes_t frame = 0; frame < 500000; frame += 4999)
    {
        SCOPED_TRACE(frame);
        jack_position_t position = At(frame);
        master.Fill(position);
        clock.Update(JackTransportRolling, position);
        Float64 beat = 0;
        Float64 tempo = 0;
        ASSERT_EQ(noErr, callbacks.beatAndTempoProc(callbacks.hostUserData, &beat, &tempo));
        EXPECT_NEAR(frame / 24000.0, beat, 0.5001 / 24000);
        EXPECT_EQ(120.0, tempo);
    }
}
