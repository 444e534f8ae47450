// Tova's own bundle, end to end: a bar recorded from MIDI at the host's tempo, played back on
// its key and on a transposed one, kept through a saved and restored state; a file imported
// and played through the protocol; memory use read through it; a foreign state refused.

#include "LV2TovaSession.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

using namespace tova_session;

namespace
{
// A whole tone up from 440 Hz: 440 × 2^(2/12) = 493.88 Hz.
const double kWholeToneUp = kTone * std::pow(2.0, 2.0 / 12);

void ExpectOneBarLoopAt(const Session& session, std::size_t start, double frequency)
{
    EXPECT_NEAR(Frequency(session.Output(), start + 4000, start + 40000, kRate), frequency, 3.0);
    // The input's gap comes round once per loop.
    const auto quiet = QuietStarts(session.Output(), start + 2000);
    ASSERT_GE(quiet.size(), 2u);
    EXPECT_NEAR(static_cast<double>(quiet[1] - quiet[0]), kBar, 1000.0) << "one bar per loop";
}
} // namespace

TEST(LV2Tova, RecordsOneBarPlaysItTransposedAndReportsItsMemory)
{
    const std::string dir = StateDir("tova-record");
    LilvTestHost host(TOVA_BUNDLE, kRate);
    ASSERT_TRUE(host.Ok());
    Session session(host);
    EXPECT_EQ(MemoryUse(host), 0.0);
    RecordOneBar(host, session);
    // One bar of 96000 frames, and its transposed copies share it: 96000 × 0.0002 + 0.5,
    // truncated, is 19 tenths of a percent of the 5000000-frame pool.
    EXPECT_EQ(MemoryUse(host), 19.0);

    // What was recorded, as the state holds it: one bar of frames on key 62, shared by its
    // neighbour 64 a whole tone up.
    ASSERT_TRUE(host.Save(dir));
    const SavedTova saved = SavedTova::Read(dir + "/state.bplist");
    EXPECT_EQ(saved.poolLeft.size(), kBar);
    ASSERT_EQ(saved.OwnKeys(), std::vector<int>{62});
    EXPECT_EQ(saved.keys[62].pitchShift, 1.0);
    EXPECT_EQ(saved.keys[64].slot, saved.keys[62].slot);
    EXPECT_DOUBLE_EQ(saved.keys[64].pitchShift, std::pow(2.0, 2.0 / 12));
    EXPECT_TRUE(saved.keys[64].automatic);
    // The take begins on the bar line at frame 0, although the key came 2000 frames later:
    // inside its 50-frame fades, frame i of the sample is the input's frame i.
    const std::vector<float> take = saved.LeftOf(62);
    ASSERT_EQ(take.size(), kBar);
    int wrong = 0;
    for (std::uint32_t i = 50; i < kBar - 50; ++i)
        wrong += std::abs(take[i] - ToneAt(i)) > 1e-6f;
    EXPECT_EQ(wrong, 0) << "frames that differ from the input";

    std::size_t start = Play(host, session, 62);
    ExpectOneBarLoopAt(session, start, kTone);
    start = Play(host, session, 64);
    ExpectOneBarLoopAt(session, start, kWholeToneUp);

    host.Object(0, Own(host, "EraseAll"), {});
    host.Run(64);
    host.Run(64);
    EXPECT_EQ(MemoryUse(host), 0.0);
}

TEST(LV2Tova, SavedStateRestoresIntoANewInstanceThatPlaysTheSameLoop)
{
    const std::string dir = StateDir("tova-state");
    {
        LilvTestHost host(TOVA_BUNDLE, kRate);
        ASSERT_TRUE(host.Ok());
        Session session(host);
        RecordOneBar(host, session);
        ASSERT_TRUE(host.Save(dir));
    }
    EXPECT_TRUE(std::filesystem::exists(dir + "/state.bplist")) << "made by makePath";

    LilvTestHost host(TOVA_BUNDLE, kRate);
    ASSERT_TRUE(host.Ok());
    ASSERT_TRUE(host.Restore(dir));
    EXPECT_EQ(MemoryUse(host), 19.0);
    Session session(host);
    Rolling(host, 0, 120);
    session.Run(kBar, false);
    const std::size_t start = Play(host, session, 64);
    ExpectOneBarLoopAt(session, start, kWholeToneUp);
}

TEST(LV2Tova, ImportsAFileThroughTheProtocolAndPlaysIt)
{
    const std::string file = ToneFile();
    LilvTestHost host(TOVA_BUNDLE, kRate);
    ASSERT_TRUE(host.Ok());
    host.SetPath(0, Own(host, "import"), file);
    host.Run(64);
    host.Run(64); // the answer comes in the cycle after the work
    const auto results = Find(host, Own(host, "ImportResult"));
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].text, file);
    EXPECT_EQ(results[0].number, 0.0);
    // Two seconds, 96000 frames: 19 tenths of a percent, as a recorded bar.
    EXPECT_EQ(MemoryUse(host), 19.0);

    // The first note on only gives the waiting sample to the key; the next one plays it.
    Session session(host);
    host.Midi(0, {0x90, 60, 100});
    host.Midi(100, {0x80, 60, 0});
    session.Run(kBar / 4, false);
    EXPECT_LT(Rms(session.Output(), 0, kBar / 4), 1e-4) << "nothing plays yet";
    host.Midi(0, {0x90, 60, 100});
    session.Run(kBar / 2, false);
    EXPECT_NEAR(Frequency(session.Output(), kBar / 4 + 4000, kBar / 4 + 40000, kRate), kTone, 3.0);
}

TEST(LV2Tova, AForeignStateIsRefusedAndTheRecordingAndParametersStay)
{
    const std::string foreign = StateDir("tova-foreign");
    {
        LilvTestHost other(TEST_BUNDLE, kRate);
        ASSERT_TRUE(other.Ok());
        ASSERT_TRUE(other.Save(foreign));
    }
    LilvTestHost host(TOVA_BUNDLE, kRate);
    ASSERT_TRUE(host.Ok());
    Session session(host);
    RecordOneBar(host, session);
    host.Control("tape_speed") = 2;
    host.Run(64);
    host.Restore(foreign);
    EXPECT_EQ(MemoryUse(host), 19.0);
    // The foreign state names none of Tova's ports: the parameters stay as they were.
    host.Get(0, Own(host, "tape_speed"));
    host.Run(64);
    ASSERT_FALSE(Sets(host, Own(host, "tape_speed")).empty());
    EXPECT_EQ(Sets(host, Own(host, "tape_speed")).back().number, 2.0);
}
