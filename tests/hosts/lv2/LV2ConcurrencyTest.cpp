// Tova's bundle with the host's other threads at work while the audio thread keeps calling
// run(). A save on the host's thread while run() records a new take and plays the recorded bar:
// every save must be a state that could have been taken between two render calls (the
// finished bar exactly as it was, every key's sample inside the saved pool) and restore. An
// import on the worker's own thread: decoded there, installed by the render thread while it
// renders on, and played.

#include "LV2TovaSession.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

using namespace tova_session;

namespace
{
constexpr int kMinSaves = 3;
constexpr int kMaxSaves = 12;
constexpr int kRecordingCycles = 30; // the second take lasts 30 blocks, 122880 frames
constexpr int kMinCycles = 60;

// One saved state holds the bar recorded before the saves began, bitwise (nothing moved or
// changed while the save copied it), and every key's sample lies inside its pool (Read checks).
void ExpectConsistent(const std::string& dir, const std::vector<float>& bar)
{
    EXPECT_EQ(SavedTova::Read(dir + "/state.bplist").LeftOf(62), bar);
}
} // namespace

TEST(LV2Concurrency, SavesWhileRunRecordsAndPlaysAreConsistent)
{
    LilvTestHost host(TOVA_BUNDLE, kRate);
    ASSERT_TRUE(host.Ok());
    Session session(host);
    RecordOneBar(host, session);
    const std::string before = StateDir("concurrent-before");
    ASSERT_TRUE(host.Save(before));
    const std::vector<float> bar = SavedTova::Read(before + "/state.bplist").LeftOf(62);
    ASSERT_EQ(bar.size(), kBar);

    // The second take starts at once; key 70 holds only an automatic copy, so it records.
    host.Control("record_sync") = 0;
    std::atomic<int> saves{0};
    std::atomic<bool> rendering{true};
    std::thread audio(
        [&]
        {
            host.Midi(0, {0x90, 62, 100});
            host.Midi(10, {0x90, 48, 100});
            host.Midi(20, {0x90, 70, 100});
            for (int cycle = 0; cycle < kMinCycles || saves.load() < kMinSaves; ++cycle)
            {
                if (cycle == kRecordingCycles)
                {
                    host.Midi(0, {0x80, 70, 0});
                    host.Midi(10, {0x80, 48, 0});
                }
                session.Run(kBlock, true);
                // An audio thread's pace, roughly: the save thread gets the other core.
                std::this_thread::sleep_for(std::chrono::microseconds(500));
            }
            rendering = false;
        });
    std::vector<std::string> dirs;
    while ((rendering.load() || saves.load() < kMinSaves) && saves.load() < kMaxSaves)
    {
        dirs.push_back(StateDir("concurrent-" + std::to_string(saves.load())));
        EXPECT_TRUE(host.Save(dirs.back()));
        ++saves;
    }
    audio.join();

    for (const std::string& dir : dirs)
    {
        SCOPED_TRACE(dir);
        ExpectConsistent(dir, bar);
    }
    // The last one restores: the memory meter shows its pool, trunc(length × 0.0002 + 0.5).
    const auto length = SavedTova::Read(dirs.back() + "/state.bplist").poolLeft.size();
    LilvTestHost restored(TOVA_BUNDLE, kRate);
    ASSERT_TRUE(restored.Ok());
    ASSERT_TRUE(restored.Restore(dirs.back()));
    EXPECT_EQ(MemoryUse(restored), static_cast<int>(static_cast<float>(length) * 0.0002f + 0.5f));
}

TEST(LV2Concurrency, ImportOnTheWorkerThreadIsInstalledWhileRunRenders)
{
    const std::string file = ToneFile();
    LilvTestHost host(TOVA_BUNDLE, kRate);
    ASSERT_TRUE(host.Ok());
    host.StartWorkerThread();
    Session session(host);
    host.SetPath(0, Own(host, "import"), file);
    // The audio thread renders on, at about its own pace, until the answer comes: the worker
    // waits meanwhile for the render calls to copy the frames in.
    constexpr int kMaxCycles = 5000;
    constexpr std::uint32_t kCycleFrames = 256;
    std::vector<LilvTestHost::Notification> results;
    for (int cycle = 0; cycle < kMaxCycles && results.empty(); ++cycle)
    {
        session.Run(kCycleFrames, false);
        results = Find(host, Own(host, "ImportResult"));
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].number, 0.0);
    EXPECT_EQ(results[0].text, file);
    // Two seconds, 96000 frames: trunc(96000 × 0.0002 + 0.5) = 19 tenths of a percent.
    EXPECT_EQ(MemoryUse(host), 19.0);

    // One note on takes the waiting sample, the next plays it.
    host.Midi(0, {0x90, 60, 100});
    host.Midi(100, {0x80, 60, 0});
    session.Run(kBlock, false);
    const auto start = static_cast<std::size_t>(session.Frame());
    host.Midi(0, {0x90, 60, 100});
    session.Run(kBar / 2, false);
    EXPECT_NEAR(Frequency(session.Output(), start + 4000, start + 40000, kRate), kTone, 3.0);
}
