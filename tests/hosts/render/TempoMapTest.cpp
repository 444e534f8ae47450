#include "hosts/render/TempoMap.h"
#include "RenderTestUtil.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
StandardMidiFile Parsed(const Bytes& bytes)
{
    StandardMidiFile file;
    std::string error;
    EXPECT_TRUE(StandardMidiFile::Parse(bytes.data(), bytes.size(), file, error)) << error;
    return file;
}
} // namespace

TEST(TempoMap, SecondsAndBeatsAcrossATempoChange)
{
    // 96 ticks per quarter; 120 bpm (0.5 s per beat) until tick 192, then 60 bpm (1 s per beat).
    const TempoMap map(Parsed(TwoTrackFile()), 100.0);
    EXPECT_DOUBLE_EQ(0.0, map.SecondsAtTick(0));
    EXPECT_DOUBLE_EQ(0.5, map.SecondsAtTick(96));  // one beat at 120 bpm
    EXPECT_DOUBLE_EQ(1.0, map.SecondsAtTick(192)); // two beats at 120 bpm
    // 1.0 + 128 / 96 beats × 1 s = 2.3333 s
    EXPECT_DOUBLE_EQ(1.0 + 128.0 / 96.0, map.SecondsAtTick(320));

    EXPECT_DOUBLE_EQ(1.5, map.BeatAtSeconds(0.75)); // 0.75 s × 2 beats/s
    EXPECT_DOUBLE_EQ(2.0, map.BeatAtSeconds(1.0));
    EXPECT_DOUBLE_EQ(3.5, map.BeatAtSeconds(2.5)); // 2 + 1.5 s × 1 beat/s
    EXPECT_DOUBLE_EQ(2.5, map.SecondsAtBeat(3.5));
    EXPECT_DOUBLE_EQ(0.25, map.SecondsAtBeat(0.5));
    EXPECT_DOUBLE_EQ(120.0, map.TempoAtSeconds(0.99));
    EXPECT_DOUBLE_EQ(60.0, map.TempoAtSeconds(1.0));
}

TEST(TempoMap, BarsFollowTheTimeSignature)
{
    // 3/4 from the start: bars of 3 quarter notes begin at beats 0, 3, 6, ...
    const TempoMap map(Parsed(TwoTrackFile()), 120.0);
    const TempoMap::Meter meter = map.MeterAtBeat(4.0);
    EXPECT_EQ(3, meter.numerator);
    EXPECT_EQ(4u, meter.denominator);
    EXPECT_DOUBLE_EQ(3.0, meter.barBeats);
    EXPECT_DOUBLE_EQ(3.0, meter.downBeat);
    EXPECT_DOUBLE_EQ(1.0, map.BeatInBar(4.0));
    EXPECT_DOUBLE_EQ(2.5, map.BeatInBar(2.5));
    EXPECT_DOUBLE_EQ(0.0, map.BeatInBar(6.0)); // on the bar line
}

TEST(TempoMap, MeterChangeStartsANewBar)
{
    // 4/4 at tick 0, 6/8 at tick 480 (beat 5, in the middle of the second 4/4 bar): bars of
    // 6 × 4 / 8 = 3 quarter notes from beat 5 on.
    const Bytes track = {0x00, 0xFF, 0x58, 0x04, 4,    2, 24, 8, //
                         0x83, 0x60, 0xFF, 0x58, 0x04, 6, 3,  24, 8, 0x00, 0xFF, 0x2F, 0x00};
    const TempoMap map(Parsed(Concat({Header(0, 1, 96), Chunk("MTrk", track)})), 90.0);
    EXPECT_DOUBLE_EQ(4.0, map.MeterAtBeat(4.99).downBeat);
    EXPECT_EQ(4, map.MeterAtBeat(4.99).numerator);
    const TempoMap::Meter meter = map.MeterAtBeat(9.5);
    EXPECT_EQ(6, meter.numerator);
    EXPECT_EQ(8u, meter.denominator);
    EXPECT_DOUBLE_EQ(3.0, meter.barBeats);
    EXPECT_DOUBLE_EQ(8.0, meter.downBeat); // 5 + 3
    // No tempo event: the initial tempo holds, 90 bpm = 1.5 beats per second.
    EXPECT_DOUBLE_EQ(6.0, map.BeatAtSeconds(4.0));
    EXPECT_DOUBLE_EQ(90.0, map.TempoAtSeconds(100.0));
}

TEST(TempoMap, ConstantTempoIsFourFour)
{
    const TempoMap map(150.0);
    EXPECT_DOUBLE_EQ(5.0, map.BeatAtSeconds(2.0)); // 2.5 beats per second
    EXPECT_DOUBLE_EQ(2.0, map.SecondsAtBeat(5.0));
    EXPECT_DOUBLE_EQ(4.0, map.MeterAtBeat(5.0).downBeat);
    EXPECT_DOUBLE_EQ(1.0, map.BeatInBar(5.0));
}

TEST(TempoMap, SmpteTicksIgnoreTheTempo)
{
    // 25 frames × 40 ticks = 1000 ticks per second, whatever the tempo; beats follow the
    // tempo in time: 60 bpm from tick 500 (0.5 s) on, 120 bpm before.
    const Bytes track = {0x83, 0x74, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40, 0x00, 0xFF, 0x2F, 0x00};
    const TempoMap map(Parsed(Concat({Header(0, 1, 0xE728), Chunk("MTrk", track)})), 120.0);
    EXPECT_DOUBLE_EQ(0.25, map.SecondsAtTick(250));
    EXPECT_DOUBLE_EQ(1.5, map.SecondsAtTick(1500));
    EXPECT_DOUBLE_EQ(1.0, map.BeatAtSeconds(0.5)); // 0.5 s × 2 beats/s
    EXPECT_DOUBLE_EQ(2.0, map.BeatAtSeconds(1.5)); // + 1 s × 1 beat/s
}

TEST(TempoMap, HostClockCountsEighthsInSixEight)
{
    // 6/8 from the start at the initial 120 quarter notes per minute: bars of 3 quarter notes
    // (1.5 s), counted as 6 eighths at 240 eighths per minute.
    const Bytes track = {0x00, 0xFF, 0x58, 0x04, 6, 3, 24, 8, 0x00, 0xFF, 0x2F, 0x00};
    const TempoMap map(Parsed(Concat({Header(0, 1, 96), Chunk("MTrk", track)})), 120.0);
    struct Case
    {
        double seconds;
        double beat;
        double downBeat;
        double toNext;
    };
    const Case cases[] = {
        {0.0, 0.0, 0.0, 0.0},   {0.75, 3.0, 0.0, 0.0}, // 1.5 quarters = 3 eighths, on a beat
        {1.5, 6.0, 6.0, 0.0},                          // the second bar line
        {2.0, 8.0, 6.0, 0.0},                          // 4 quarters = bar 1 + 1 quarter = 6 + 2
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

TEST(TempoMap, HostClockKeepsBarsAcrossMeterChanges)
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
        const TempoMap map(Parsed(Concat({Header(0, 1, 96), Chunk("MTrk", *c.track)})), c.bpm);
        const TempoMap::HostClock clock = map.HostClockAtSeconds(c.quarters * 60.0 / c.bpm);
        EXPECT_NEAR(c.beat, clock.beat, 1e-9);
        EXPECT_DOUBLE_EQ(c.downBeat, clock.downBeat);
        EXPECT_EQ(c.numerator, clock.numerator);
        // What the plug-in makes of it: the beat modulo the numerator is the beat in the bar.
        EXPECT_NEAR(clock.beat - clock.downBeat, std::fmod(clock.beat, clock.numerator), 1e-9);
        EXPECT_DOUBLE_EQ(c.numerator == 6 ? 2 * c.bpm : c.bpm, clock.tempo);
    }
}
