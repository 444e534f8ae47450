// What the wrapper tells the unit, read back from the test component's outputs.

#include "LV2TestUtil.h"

#include <gtest/gtest.h>

namespace
{
// Bus 2's right channel holds each render call's frame count over that call's frames.
std::vector<float> CallLengths(const LilvTestHost& host, std::uint32_t frames)
{
    std::vector<float> lengths;
    for (std::uint32_t i = 0; i < frames;)
    {
        const float length = host.Output(2, 1)[i];
        lengths.push_back(length);
        i += static_cast<std::uint32_t>(length);
    }
    return lengths;
}
} // namespace

TEST(LV2Wrapper, MidiReachesTheUnitAtItsFrameInRenderCallsOfAtMost2048Frames)
{
    LilvTestHost host(TEST_BUNDLE, kRate);
    ASSERT_TRUE(host.Ok());
    // Notes at the edges of the 2048-frame render calls of a 5000-frame block.
    const std::uint32_t frames[] = {0, 10, 2047, 2048, 4095, 4096, 4999};
    for (std::uint8_t i = 0; i < std::size(frames); ++i)
        host.Midi(frames[i], {0x90, static_cast<std::uint8_t>(40 + i), 100});
    host.Run(5000);
    EXPECT_EQ(CallLengths(host, 5000), (std::vector<float>{2048, 2048, 904}));
    std::vector<std::uint32_t> heard;
    for (std::uint32_t i = 0; i < 5000; ++i)
        if (host.Output(0, 1)[i] != 0)
        {
            EXPECT_EQ(host.Output(0, 1)[i], 40.0f + static_cast<float>(heard.size()));
            heard.push_back(i);
        }
    EXPECT_EQ(heard, std::vector<std::uint32_t>(std::begin(frames), std::end(frames)));

    double sampleTime = 5000;
    const struct
    {
        std::uint32_t block;
        std::vector<float> calls;
    } cases[] = {{1, {1}}, {2049, {2048, 1}}, {16384, std::vector<float>(8, 2048)}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.block);
        host.Run(c.block);
        EXPECT_EQ(CallLengths(host, c.block), c.calls);
        // Each call carries the frames rendered before it as its time stamp.
        EXPECT_EQ(host.Output(3, 1)[0], sampleTime);
        sampleTime += c.block;
    }
}

TEST(LV2Wrapper, SequencesFourBytesOffAreReadAndWrittenWhole)
{
    // As jalv 1.6 hands them over: read through an aligned copy, so 8-byte fields (event
    // times, Long and Double atoms) are never read from a misaligned address.
    LilvTestHost host(TEST_BUNDLE, kRate, true, LilvTestHost::AtomAlignment::OffBy4);
    ASSERT_TRUE(host.Ok());
    using N = LilvTestHost::Number;
    host.Midi(0, {0x90, 40, 100});
    host.Midi(10, {0x90, 41, 100});
    host.Object(100, LV2_TIME__Position,
                {{LV2_TIME__bar, N::Long, 2},
                 {LV2_TIME__barBeat, N::Double, 1.5},
                 {LV2_TIME__beatsPerMinute, N::Double, 120},
                 {LV2_TIME__speed, N::Long, 1}});
    host.Get(200, Own(host, "memoryUse"));
    host.Midi(4999, {0x90, 42, 100});
    host.Run(5000);

    std::vector<std::uint32_t> heard;
    for (std::uint32_t i = 0; i < 5000; ++i)
        if (host.Output(0, 1)[i] != 0) heard.push_back(i);
    EXPECT_EQ(heard, (std::vector<std::uint32_t>{0, 10, 4999}));
    EXPECT_EQ(host.Output(1, 0)[100], 9.5f); // 2 bars of 4, then beat 1.5
    EXPECT_EQ(host.Output(1, 1)[100], 120.0f);
    ASSERT_EQ(Sets(host, Own(host, "memoryUse")).size(), 1u);
    EXPECT_EQ(Sets(host, Own(host, "memoryUse"))[0].number, 0.0);
}

TEST(LV2Wrapper, PositionSetsTheClockWhichRunsOnWithTheFrames)
{
    LilvTestHost host(TEST_BUNDLE, kRate);
    ASSERT_TRUE(host.Ok());
    // Before any position the clock callbacks fail, as missing ones do.
    host.Run(256);
    EXPECT_EQ(host.Output(1, 0)[0], -1.0f); // beat and tempo
    EXPECT_EQ(host.Output(2, 0)[0], -1.0f); // transport state
    EXPECT_EQ(host.Output(3, 0)[0], -1.0f); // musical time location
    // Bar 2 (0-based), beat 1.5 of 4: 2 × 4 + 1.5 = 9.5 beats from the start, sent at frame
    // 100, so the block is split there.
    Rolling(host, 100, 120, 2, 1.5);
    host.Run(4096);
    EXPECT_EQ(CallLengths(host, 4096), (std::vector<float>{100, 2048, 1948}));
    EXPECT_EQ(host.Output(1, 0)[100], 9.5f);
    EXPECT_EQ(host.Output(1, 1)[100], 120.0f);
    EXPECT_EQ(host.Output(2, 0)[100], 1.0f);
    EXPECT_EQ(host.Output(3, 0)[100], 4.0f);
    // 2048 frames at 120 bpm and 48 kHz: 2048 × 120 / (60 × 48000) = 0.08533 beats later.
    EXPECT_NEAR(host.Output(1, 0)[2148], 9.5 + 2048.0 * 120 / (60 * kRate), 1e-5);
    // The next block goes on from where this one ended: 4096 − 100 frames after 9.5.
    host.Run(64);
    EXPECT_NEAR(host.Output(1, 0)[0], 9.5 + 3996.0 * 120 / (60 * kRate), 1e-5);

    // Stopped: the beat stands, and the transport says so.
    using N = LilvTestHost::Number;
    host.Object(0, LV2_TIME__Position, {{LV2_TIME__speed, N::Int, 0}});
    host.Run(64);
    const float standing = host.Output(1, 0)[0];
    host.Run(4096);
    EXPECT_EQ(host.Output(1, 0)[4095], standing);
    EXPECT_EQ(host.Output(2, 0)[0], 0.0f);
}

TEST(LV2Wrapper, PositionFieldsAcceptEveryNumericType)
{
    using N = LilvTestHost::Number;
    for (const N type : {N::Int, N::Long, N::Float, N::Double})
    {
        SCOPED_TRACE(static_cast<int>(type));
        LilvTestHost host(TEST_BUNDLE, kRate);
        ASSERT_TRUE(host.Ok());
        host.Object(0, LV2_TIME__Position,
                    {{LV2_TIME__bar, type, 3},
                     {LV2_TIME__barBeat, type, 2},
                     {LV2_TIME__beatsPerBar, type, 3},
                     {LV2_TIME__beatsPerMinute, type, 90},
                     {LV2_TIME__speed, type, 1}});
        host.Run(16);
        EXPECT_EQ(host.Output(1, 0)[0], 3.0f * 3 + 2); // 3 bars of 3, then beat 2
        EXPECT_EQ(host.Output(1, 1)[0], 90.0f);
        EXPECT_EQ(host.Output(3, 0)[0], 3.0f);
        EXPECT_EQ(host.Output(2, 0)[0], 1.0f);
    }
}

TEST(LV2Wrapper, OwnParameterChangesReachTheHostAndTheHostsNextChangeWins)
{
    LilvTestHost host(TEST_BUNDLE, kRate);
    ASSERT_TRUE(host.Ok());
    const std::string armed = Own(host, "armed");
    host.Control("armed") = 1;
    host.Run(64);
    EXPECT_TRUE(Sets(host, armed).empty()) << "the host's own change is not echoed";

    // "Lock" makes the unit switch "Armed" off by itself: the host hears of it, its port
    // keeps the host's value.
    host.Control("lock") = 1;
    host.Run(64);
    ASSERT_EQ(Sets(host, armed).size(), 1u);
    EXPECT_EQ(Sets(host, armed)[0].number, 0.0);
    EXPECT_EQ(host.Control("armed"), 1.0f);
    host.Run(64);
    EXPECT_TRUE(Sets(host, armed).empty()) << "reported once";

    // While locked a host change is refused by the unit, and the refusal is reported.
    host.Control("armed") = 0;
    host.Run(64);
    host.Control("armed") = 1;
    host.Run(64);
    ASSERT_EQ(Sets(host, armed).size(), 1u);
    EXPECT_EQ(Sets(host, armed)[0].number, 0.0);

    // Unlocked, the host's next change wins.
    host.Control("lock") = 0;
    host.Run(64);
    host.Control("armed") = 0;
    host.Run(64);
    host.Control("armed") = 1;
    host.Run(64);
    EXPECT_TRUE(Sets(host, armed).empty());
    host.Get(0, armed);
    host.Run(64);
    ASSERT_EQ(Sets(host, armed).size(), 1u);
    EXPECT_EQ(Sets(host, armed)[0].number, 1.0);
}

TEST(LV2Wrapper, MessagesAndLearnedControllersAreAppliedAndReported)
{
    LilvTestHost host(TEST_BUNDLE, kRate);
    ASSERT_TRUE(host.Ok());
    std::fill_n(host.Input(0).begin(), 64, 0.5f);
    host.SetNumber(0, Own(host, "gain"), LilvTestHost::Number::Double, 2);
    host.Midi(5, {0xB0, 7, 127});
    host.Run(64);
    EXPECT_EQ(host.Output(0, 0)[10], 1.0f); // 0.5 × 2
    ASSERT_EQ(Sets(host, Own(host, "gain")).size(), 1u);
    EXPECT_EQ(Sets(host, Own(host, "gain"))[0].number, 2.0);
    // Controller 7 sets "Learned" to 127 / 127 and sends its feedback note.
    const auto learned = Sets(host, Own(host, "learned"));
    ASSERT_EQ(learned.size(), 1u);
    EXPECT_EQ(learned[0].number, 1.0);
    const auto notes = Find(host, "http://lv2plug.in/ns/ext/midi#MidiEvent");
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].midi, (std::vector<std::uint8_t>{0x90, 60, 127}));
}
