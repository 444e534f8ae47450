#include "hosts/jack/StateKeeper.h"
#include "RenderTestUnit.h"
#include "RenderTestUtil.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace
{
class StateKeeperTest : public RenderTestUnit
{
protected:
    std::mutex mAccess;
};
} // namespace

TEST_F(StateKeeperTest, ANewFileIsWrittenAndRestored)
{
    const std::string path = ScratchPath("new.plist");
    std::string message;
    StateKeeper keeper(mUnit, mAccess, path);
    EXPECT_EQ(StateKeeper::Loaded::Missing, keeper.Load(message));
    EXPECT_EQ("'" + path + "' does not exist yet: the state will be saved there", message);
    SetGain(0.25f);
    ASSERT_TRUE(keeper.Save(message)) << message;
    EXPECT_EQ("saved '" + path + "'", message);

    SetGain(1.0f);
    StateKeeper again(mUnit, mAccess, path);
    EXPECT_EQ(StateKeeper::Loaded::Restored, again.Load(message));
    EXPECT_EQ("restored '" + path + "'", message);
    EXPECT_EQ(0.25f, Gain());
}

// A file refused at start is moved aside, whole, by the first save, and never overwritten.
TEST_F(StateKeeperTest, ARefusedFileSurvivesTheNextSave)
{
    const std::string path = ScratchPath("damaged.plist");
    const Bytes damaged = {'b', 'p', 'l', 'i', 's', 't', '0', '0', 0xFF, 0xFF};
    WriteFile(path, damaged);
    std::string message;
    StateKeeper keeper(mUnit, mAccess, path);
    EXPECT_EQ(StateKeeper::Loaded::Refused, keeper.Load(message));
    EXPECT_NE(std::string::npos, message.find("; starting with an empty instrument (the file "
                                              "will be moved to '" +
                                              path + ".refused' before the state is saved)"))
        << message;
    EXPECT_EQ(std::string(damaged.begin(), damaged.end()), Slurp(path)) << "left as it was";

    ASSERT_TRUE(keeper.Save(message)) << message;
    EXPECT_EQ("saved '" + path + "' (the file refused at start is now '" + path + ".refused')",
              message);
    EXPECT_EQ(std::string(damaged.begin(), damaged.end()), Slurp(path + ".refused"));
    EXPECT_EQ("<?xml ve", Slurp(path).substr(0, 8));

    // Later saves replace the new file only.
    SetGain(0.5f);
    ASSERT_TRUE(keeper.Save(message)) << message;
    EXPECT_EQ("saved '" + path + "'", message);
    EXPECT_EQ(std::string(damaged.begin(), damaged.end()), Slurp(path + ".refused"));
}

TEST_F(StateKeeperTest, AFailedSaveSaysWhy)
{
    const std::string path = ScratchPath("no-such-folder/state.plist");
    StateKeeper keeper(mUnit, mAccess, path);
    std::string message;
    EXPECT_FALSE(keeper.Save(message));
    EXPECT_EQ(0u, message.find("not saved: cannot create a temporary file for")) << message;
    EXPECT_FALSE(std::filesystem::exists(path));
}
