// State through lilv without state:makePath (a chunk), and a damaged file refused. Tova's own
// test restores a file made by makePath.

#include "LV2TestUtil.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace
{
// Imports a file so that memory use reads 100.
void Record(LilvTestHost& host)
{
    const std::string file = ScratchPath("in.wav");
    std::ofstream(file) << "audio";
    host.SetPath(0, Own(host, "import"), file);
    host.Run(64);
}
} // namespace

TEST(LV2State, WithoutMakePathTheStateIsAChunk)
{
    LilvTestHost host(TEST_BUNDLE, kRate);
    ASSERT_TRUE(host.Ok());
    Record(host);
    ASSERT_TRUE(host.SaveInMemory());
    host.Object(0, Own(host, "EraseAll"), {});
    host.Run(64);
    ASSERT_EQ(MemoryUse(host), 0.0);
    ASSERT_TRUE(host.RestoreFromMemory());
    EXPECT_EQ(MemoryUse(host), 100.0);
}

TEST(LV2State, DamagedFileIsRefusedAndLeavesTheRecordingsAlone)
{
    const std::string dir = StateDir("state-damaged");
    {
        LilvTestHost host(TEST_BUNDLE, kRate);
        ASSERT_TRUE(host.Ok());
        ASSERT_TRUE(host.Save(dir));
    }
    // Cut the binary property list short.
    const std::string file = dir + "/state.bplist";
    std::filesystem::resize_file(file, std::filesystem::file_size(file) / 2);

    LilvTestHost host(TEST_BUNDLE, kRate);
    ASSERT_TRUE(host.Ok());
    Record(host);
    host.Restore(dir);
    EXPECT_EQ(MemoryUse(host), 100.0);
}
