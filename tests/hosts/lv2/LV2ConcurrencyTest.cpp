// Saves of Tova's bundle on the host's thread while the audio thread's run() records and plays:
// each must be a state that could have been taken between two render calls.

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
            for (int cycle = 0; cycle < 60 || saves.load() < kMinSaves; ++cycle)
            {
                if (cycle == 30) // a take of 30 blocks, 122880 frames
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

    // Each holds the bar recorded before the saves began, bitwise, and every key's sample
    // inside its pool (Read checks).
    for (const std::string& dir : dirs)
        EXPECT_EQ(SavedTova::Read(dir + "/state.bplist").LeftOf(62), bar) << dir;
    // The last one restores: the memory meter shows its pool, trunc(length × 0.0002 + 0.5).
    const auto length = SavedTova::Read(dirs.back() + "/state.bplist").poolLeft.size();
    LilvTestHost restored(TOVA_BUNDLE, kRate);
    ASSERT_TRUE(restored.Ok());
    ASSERT_TRUE(restored.Restore(dirs.back()));
    EXPECT_EQ(MemoryUse(restored), static_cast<int>(static_cast<float>(length) * 0.0002f + 0.5f));
}
