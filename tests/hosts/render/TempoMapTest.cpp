#include "hosts/render/TempoMap.h"
#include "RenderTestUtil.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
TempoMap MapOf(const Bytes& track, double bpm, std::uint16_t division = 96)
{
    const Bytes bytes = Concat({Header(0, 1, division), Chunk("MTrk", track)});
    StandardMidiFile file;
    std::string error;
    EXPECT_TRUE(StandardMidiFile::Parse(bytes.data(), bytes.size(), file, error)) << error;
    return TempoMap(file, bpm);
}
} // namespace

TEST(TempoMap, TicksBecomeSecondsAcrossTempoChangesAndInSmpteTime)
{
    {
        SCOPED_TRACE("96 ticks per quarter; 120 bpm (0.5 s per beat) until tick 192, then 60");
        StandardMidiFile file;
        std::string error;
        const Bytes bytes = TwoTrackFile();
        ASSERT_TRUE(StandardMidiFile::Parse(bytes.data(), bytes.size(), file, error));
        const TempoMap map(file, 100.0);
        EXPECT_DOUBLE_EQ(0.0, map.SecondsAtTick(0));
        EXPECT_DOUBLE_EQ(0.5, map.SecondsAtTick(96));
        EXPECT_DOUBLE_EQ(1.0, map.SecondsAtTick(192));
        EXPECT_DOUBLE_EQ(1.0 + 128.0 / 96.0, map.SecondsAtTick(320)); // + 128 / 96 beats × 1 s
    }
    {
        SCOPED_TRACE("25 frames × 40 ticks = 1000 ticks per second, whatever the tempo");
        const TempoMap map =
            MapOf({0x83, 0x74, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40, 0x00, 0xFF, 0x2F, 0x00}, 120.0,
                  0xE728);
        EXPECT_DOUBLE_EQ(0.25, map.SecondsAtTick(250));
        EXPECT_DOUBLE_EQ(1.5, map.SecondsAtTick(1500));
    }
}

TEST(TempoMap, TheHostClockOfAConstantTempoIsFourFour)
{
    // 150 bpm: 2.5 beats per second; 2.1 s is beat 5.25, in the bar from beat 4, and the next
    // beat comes 0.75 beat = 0.3 s later.
    const TempoMap::HostClock clock = TempoMap(150.0).HostClockAtSeconds(2.1);
    EXPECT_NEAR(5.25, clock.beat, 1e-9);
    EXPECT_DOUBLE_EQ(4.0, clock.downBeat);
    EXPECT_NEAR(0.3, clock.secondsToNextBeat, 1e-9);
    EXPECT_EQ(150.0, clock.tempo);
    EXPECT_EQ(4, clock.numerator);
    EXPECT_EQ(4u, clock.denominator);
}

TEST(TempoMap, TheHostClockCountsEighthsInSixEight)
{
    // 6/8 from the start at the initial 120 quarter notes per minute: bars of 3 quarter notes
    // (1.5 s), counted as 6 eighths at 240 eighths per minute.
    const TempoMap map = MapOf({0x00, 0xFF, 0x58, 0x04, 6, 3, 24, 8, 0x00, 0xFF, 0x2F, 0x00}, 120);
    struct Case
    {
        double seconds;
        double beat;
        double downBeat;
        double toNext;
    };
    const Case cases[] = {
        {0.75, 3.0, 0.0, 0.0},  // 1.5 quarters = 3 eighths, on a beat
        {1.5, 6.0, 6.0, 0.0},   // the second bar line
        {2.1, 8.4, 6.0, 0.15},  // 4.2 quarters: 6 + 2.4; eighth 9 at 4.5 quarters = 2.25 s
        {3.2, 12.8, 12.0, 0.05} // 6.4 quarters = bar 2 + 0.4 quarters = 12 + 0.8
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.seconds);
        const TempoMap::HostClock clock = map.HostClockAtSeconds(c.seconds);
        EXPECT_NEAR(c.beat, clock.beat, 1e-9);
        EXPECT_DOUBLE_EQ(c.downBeat, clock.downBeat);
        EXPECT_NEAR(c.toNext, clock.secondsToNextBeat, 1e-9);
        EXPECT_DOUBLE_EQ(240.0, clock.tempo);
        EXPECT_EQ(6, clock.numerator);
        EXPECT_EQ(8u, clock.denominator);
    }
}

TEST(TempoMap, TheHostClockKeepsBarsAcrossMeterChanges)
{
    // 4/4 at tick 0, 3/4 on the bar line at tick 384 (beat 4), 6/8 on the bar line at tick
    // 960 (beat 10, after two bars of 3/4); 96 ticks per quarter, 120 bpm.
    const Bytes onBarLines = {0x00, 0xFF, 0x58, 0x04, 4,    2, 24, 8,     //
                              0x83, 0x00, 0xFF, 0x58, 0x04, 3, 2,  24, 8, //
                              0x84, 0x40, 0xFF, 0x58, 0x04, 6, 3,  24, 8, //
                              0x00, 0xFF, 0x2F, 0x00};
    // 4/4 at tick 0 and 6/8 at tick 480 (beat 5, inside the second 4/4 bar, which it cuts
    // short to one quarter note); 90 bpm.
    const Bytes insideABar = {0x00, 0xFF, 0x58, 0x04, 4,    2, 24, 8, //
                              0x83, 0x60, 0xFF, 0x58, 0x04, 6, 3,  24, 8, 0x00, 0xFF, 0x2F, 0x00};
    struct Case
    {
        const Bytes* track;
        double bpm;
        double quarters;
        double beat;
        double downBeat;
        int numerator;
    };
    const Case cases[] = {
        {&onBarLines, 120, 3.5, 3.5, 0.0, 4},     // bar 0 of 4/4
        {&onBarLines, 120, 4.0, 3.0, 3.0, 3},     // bar 1, the first of 3/4: 1 × 3
        {&onBarLines, 120, 8.5, 7.5, 6.0, 3},     // bar 2 (beats 7 … 10): 2 × 3 + 1.5
        {&onBarLines, 120, 10.0, 18.0, 18.0, 6},  // bar 3, the first of 6/8: 3 × 6
        {&onBarLines, 120, 11.25, 20.5, 18.0, 6}, // 1.25 quarters = 2.5 eighths in
        {&insideABar, 90, 4.99, 4.99, 4.0, 4},    // bar 1, 0.99 in
        {&insideABar, 90, 5.0, 12.0, 12.0, 6},    // bar 2 starts with the 6/8: 2 × 6
        {&insideABar, 90, 9.5, 21.0, 18.0, 6},    // bar 3 (beats 8 … 11): 18 + 1.5 quarters
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.quarters);
        const TempoMap::HostClock clock =
            MapOf(*c.track, c.bpm).HostClockAtSeconds(c.quarters * 60.0 / c.bpm);
        EXPECT_NEAR(c.beat, clock.beat, 1e-9);
        EXPECT_DOUBLE_EQ(c.downBeat, clock.downBeat);
        EXPECT_EQ(c.numerator, clock.numerator);
        // What the plug-in makes of it: the beat modulo the numerator is the beat in the bar.
        EXPECT_NEAR(clock.beat - clock.downBeat, std::fmod(clock.beat, clock.numerator), 1e-9);
        EXPECT_DOUBLE_EQ(c.numerator == 6 ? 2 * c.bpm : c.bpm, clock.tempo);
    }
}
