// State through lilv: files by state:makePath, chunks without it, and refusals.

#include "LV2TestUtil.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace
{
// Imports a file so that memory use reads 100, and sets "Gain" to 0.5.
void Record(LilvTestHost& host, const std::filesystem::path& file)
{
    std::ofstream(file) << "audio";
    host.SetPath(0, Own(host, "import"), file.string());
    host.Control("gain") = 0.5f;
    host.Run(64);
}
} // namespace

TEST(LV2State, SavedAsAFileRestoresIntoANewInstance)
{
    const LV2TempDir dir("tova-lv2-state-file");
    {
        LilvTestHost host(TEST_BUNDLE, kRate);
        ASSERT_TRUE(host.Ok());
        Record(host, dir.path / "in.wav");
        ASSERT_TRUE(host.Save(dir.path.string()));
    }
    EXPECT_TRUE(std::filesystem::exists(dir.path / "state.bplist")) << "made by makePath";

    LilvTestHost restored(TEST_BUNDLE, kRate);
    ASSERT_TRUE(restored.Ok());
    ASSERT_TRUE(restored.Restore(dir.path.string()));
    EXPECT_EQ(MemoryUse(restored), 100.0);
    restored.Get(0, Own(restored, "gain"));
    restored.Run(64);
    ASSERT_FALSE(Sets(restored, Own(restored, "gain")).empty());
    EXPECT_EQ(Sets(restored, Own(restored, "gain")).back().number, 0.5);
}

TEST(LV2State, WithoutMakePathTheStateIsAChunk)
{
    const LV2TempDir dir("tova-lv2-state-chunk");
    LilvTestHost host(TEST_BUNDLE, kRate);
    ASSERT_TRUE(host.Ok());
    Record(host, dir.path / "in.wav");
    ASSERT_TRUE(host.SaveInMemory());
    host.Object(0, Own(host, "EraseAll"), {});
    host.Run(64);
    ASSERT_EQ(MemoryUse(host), 0.0);
    ASSERT_TRUE(host.RestoreFromMemory());
    EXPECT_EQ(MemoryUse(host), 100.0);
}

TEST(LV2State, DamagedFileIsRefusedAndLeavesTheRecordingsAlone)
{
    const LV2TempDir dir("tova-lv2-state-damaged");
    {
        LilvTestHost host(TEST_BUNDLE, kRate);
        ASSERT_TRUE(host.Ok());
        ASSERT_TRUE(host.Save(dir.path.string()));
    }
    // Cut the binary property list short.
    const auto file = dir.path / "state.bplist";
    std::filesystem::resize_file(file, std::filesystem::file_size(file) / 2);

    LilvTestHost host(TEST_BUNDLE, kRate);
    ASSERT_TRUE(host.Ok());
    Record(host, dir.path / "in.wav");
    host.Restore(dir.path.string());
    EXPECT_EQ(MemoryUse(host), 100.0);
}
