// Tova's own bundle, end to end: what each output bus carries; a bar recorded from MIDI at the
// host's tempo, played back on its key and on a transposed one, kept through a saved and restored
// state; a file imported and played through the protocol; memory use read through it; foreign and
// damaged states refused.

#include "LV2SavedState.h"
#include "LV2TovaSession.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace tova_session;

namespace
{
// A whole tone up from 440 Hz: 440 × 2^(2/12) = 493.88 Hz.
const double kWholeToneUp = kTone * std::pow(2.0, 2.0 / 12);

void ExpectOneBarLoopAt(const Session& session, std::size_t start, double frequency)
{
    EXPECT_NEAR(Frequency(session.Output(), start + 4000, start + 40000), frequency, 3.0);
    // The input's gap comes round once per loop.
    const auto quiet = QuietStarts(session.Output(), start + 2000);
    ASSERT_GE(quiet.size(), 2u);
    EXPECT_NEAR(static_cast<double>(quiet[1] - quiet[0]), kBar, 1000.0) << "one bar per loop";
}
} // namespace

TEST(LV2Tova, BusesCarryTheMainOutputTheDryInputAndSilence)
{
    LilvTestHost host(TOVA_BUNDLE, kRate);
    ASSERT_TRUE(host.Ok());
    Session session(host);
    session.Run(kBlock, true);
    float dryError = 0;
    float others = 0;
    for (std::uint32_t c = 0; c < 2; ++c)
        for (std::uint32_t i = 0; i < kBlock; ++i)
        {
            dryError = std::max(dryError, std::abs(host.Output(1, c)[i] - ToneAt(i)));
            others =
                std::max({others, std::abs(host.Output(2, c)[i]), std::abs(host.Output(3, c)[i])});
        }
    EXPECT_LT(dryError, 1e-6f) << "bus 1: the input as it came";
    EXPECT_EQ(others, 0.0f) << "buses 2 and 3";
    // Bus 0 passes the input while nothing plays ("Play Thru" "Fill").
    EXPECT_GT(Peak(session.Output(), kBlock / 2, kBlock), 0.4f);
}

TEST(LV2Tova, RecordsOneBarAndPlaysItTransposed)
{
    const LV2TempDir dir("tova-lv2-tova-record");
    LilvTestHost host(TOVA_BUNDLE, kRate);
    ASSERT_TRUE(host.Ok());
    Session session(host);
    RecordOneBar(host, session);

    // What was recorded, as the state holds it: one bar of frames on key 62, shared by its
    // neighbour 64 a whole tone up.
    ASSERT_TRUE(host.Save(dir.path.string()));
    const LV2SavedState saved(dir.path);
    ASSERT_EQ(saved.error, "");
    EXPECT_EQ(saved.length, static_cast<std::int32_t>(kBar));
    const LV2SavedState::Key& own = saved.keys.at(62);
    const LV2SavedState::Key& copy = saved.keys.at(64);
    ASSERT_GE(own.id, 0);
    EXPECT_EQ(saved.slots.at(static_cast<std::size_t>(own.id)).size,
              static_cast<std::int32_t>(kBar));
    EXPECT_EQ(own.pitchShift, 1.0);
    EXPECT_EQ(own.automatic, 0);
    EXPECT_EQ(copy.id, own.id);
    EXPECT_DOUBLE_EQ(copy.pitchShift, std::pow(2.0, 2.0 / 12));
    EXPECT_EQ(copy.automatic, 1);
    // The take begins on the bar line at frame 0, although the key came 2000 frames later:
    // inside its 50-frame fades, frame i of the sample is the input's frame i.
    const std::vector<float> take = saved.KeyFrames(62);
    ASSERT_EQ(take.size(), kBar);
    int wrong = 0;
    for (std::uint32_t i = 50; i < kBar - 50; ++i)
        wrong += std::abs(take[i] - ToneAt(i)) > 1e-6f;
    EXPECT_EQ(wrong, 0) << "frames that differ from the input";

    std::size_t start = Play(host, session, 62);
    ExpectOneBarLoopAt(session, start, kTone);
    start = Play(host, session, 64);
    ExpectOneBarLoopAt(session, start, kWholeToneUp);
}

TEST(LV2Tova, SavedStateRestoresIntoANewInstanceThatPlaysTheSameLoop)
{
    const LV2TempDir dir("tova-lv2-tova-state");
    {
        LilvTestHost host(TOVA_BUNDLE, kRate);
        ASSERT_TRUE(host.Ok());
        Session session(host);
        RecordOneBar(host, session);
        ASSERT_TRUE(host.Save(dir.path.string()));
    }
    EXPECT_TRUE(std::filesystem::exists(dir.path / "state.bplist")) << "made by makePath";

    LilvTestHost host(TOVA_BUNDLE, kRate);
    ASSERT_TRUE(host.Ok());
    ASSERT_TRUE(host.Restore(dir.path.string()));
    // 96000 × 0.0002 + 0.5 = 19.7, truncated: 19 tenths of a percent of the pool.
    EXPECT_EQ(MemoryUse(host), 19.0);
    Session session(host);
    Rolling(host, 0, 120);
    session.Run(kBar, false);
    const std::size_t start = Play(host, session, 64);
    ExpectOneBarLoopAt(session, start, kWholeToneUp);
}

TEST(LV2Tova, ImportsAFileThroughTheProtocolAndPlaysIt)
{
    const LV2TempDir dir("tova-lv2-tova-import");
    const auto file = dir.path / "tone.wav";
    ASSERT_TRUE(WriteToneFile(file));
    for (const bool worker : {true, false})
    {
        SCOPED_TRACE(worker ? "worker" : "no worker: imported inside run");
        LilvTestHost host(TOVA_BUNDLE, kRate, worker);
        ASSERT_TRUE(host.Ok());
        host.SetPath(0, Own(host, "import"), file.string());
        host.Run(64);
        if (worker) host.Run(64); // the answer comes in the cycle after the work
        const auto results = Find(host, Own(host, "ImportResult"));
        ASSERT_EQ(results.size(), 1u);
        EXPECT_EQ(results[0].text, file.string());
        EXPECT_EQ(results[0].number, 0.0);
        // Two seconds, 96000 frames: 19 tenths of a percent, as a recorded bar.
        EXPECT_EQ(MemoryUse(host), 19.0);

        // The first note on only gives the waiting sample to the key; the next one plays it.
        Session session(host);
        host.Midi(0, {0x90, 60, 100});
        host.Midi(100, {0x80, 60, 0});
        session.Run(kBar / 4, false);
        EXPECT_LT(Peak(session.Output(), 0, kBar / 4), 1e-4f) << "nothing plays yet";
        host.Midi(0, {0x90, 60, 100});
        session.Run(kBar / 2, false);
        EXPECT_NEAR(Frequency(session.Output(), kBar / 4 + 4000, kBar / 4 + 40000), kTone, 3.0);
    }
}

TEST(LV2Tova, MemoryUseReadThroughTheProtocol)
{
    LilvTestHost host(TOVA_BUNDLE, kRate);
    ASSERT_TRUE(host.Ok());
    Session session(host);
    EXPECT_EQ(MemoryUse(host), 0.0);
    RecordOneBar(host, session);
    // One bar of 96000 frames, and its transposed copies share it: 96000 × 0.0002 + 0.5,
    // truncated, is 19 tenths of a percent of the 5000000-frame pool.
    EXPECT_EQ(MemoryUse(host), 19.0);
    host.Object(0, Own(host, "EraseAll"), {});
    host.Run(64);
    host.Run(64);
    EXPECT_EQ(MemoryUse(host), 0.0);
}

TEST(LV2Tova, ForeignOrDamagedStateIsRefusedAndTheRecordingStays)
{
    const LV2TempDir foreign("tova-lv2-foreign-state");
    {
        LilvTestHost other(TEST_BUNDLE, kRate);
        ASSERT_TRUE(other.Ok());
        ASSERT_TRUE(other.Save(foreign.path.string()));
    }
    const LV2TempDir damaged("tova-lv2-damaged-state");
    {
        LilvTestHost host(TOVA_BUNDLE, kRate);
        ASSERT_TRUE(host.Ok());
        ASSERT_TRUE(host.Save(damaged.path.string()));
    }
    // Cut the binary property list short.
    const auto file = damaged.path / "state.bplist";
    std::filesystem::resize_file(file, std::filesystem::file_size(file) / 2);

    for (const LV2TempDir* dir : {&foreign, &damaged})
    {
        SCOPED_TRACE(dir->path.filename().string());
        LilvTestHost host(TOVA_BUNDLE, kRate);
        ASSERT_TRUE(host.Ok());
        Session session(host);
        RecordOneBar(host, session);
        host.Control("tape_speed") = 2;
        host.Run(64);
        host.Restore(dir->path.string());
        EXPECT_EQ(MemoryUse(host), 19.0);
        if (dir == &damaged) continue; // lilv sets the ports it saved: the host's own change
        // The foreign state names none of Tova's ports: the parameters stay as they were.
        host.Get(0, Own(host, "tape_speed"));
        host.Run(64);
        ASSERT_FALSE(Sets(host, Own(host, "tape_speed")).empty());
        EXPECT_EQ(Sets(host, Own(host, "tape_speed")).back().number, 2.0);
    }
}
