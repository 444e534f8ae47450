// State through lilv: files by state:makePath, chunks without it, and refusals.

#include "LV2TestUtil.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace
{
// Imports a file so that memory use reads 100, and sets "Gain" to 0.5.
void Record(LilvTestHost& host)
{
    const std::string file = ScratchPath("in.wav");
    std::ofstream(file) << "audio";
    host.SetPath(0, Own(host, "import"), file);
    host.Control("gain") = 0.5f;
    host.Run(64);
}
} // namespace

TEST(LV2State, SavedAsAFileRestoresIntoANewInstance)
{
    const std::string dir = StateDir("state-file");
    {
        LilvTestHost host(TEST_BUNDLE, kRate);
        ASSERT_TRUE(host.Ok());
        Record(host);
        ASSERT_TRUE(host.Save(dir));
    }
    EXPECT_TRUE(std::filesystem::exists(dir + "/state.bplist")) << "made by makePath";

    LilvTestHost restored(TEST_BUNDLE, kRate);
    ASSERT_TRUE(restored.Ok());
    ASSERT_TRUE(restored.Restore(dir));
    EXPECT_EQ(MemoryUse(restored), 100.0);
    restored.Get(0, Own(restored, "gain"));
    restored.Run(64);
    ASSERT_FALSE(Sets(restored, Own(restored, "gain")).empty());
    EXPECT_EQ(Sets(restored, Own(restored, "gain")).back().number, 0.5);
}

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
