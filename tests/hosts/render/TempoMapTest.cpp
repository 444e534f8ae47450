#include "hosts/render/TempoMap.h"
#include "RenderTestUtil.h"

#include <gtest/gtest.h>

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
