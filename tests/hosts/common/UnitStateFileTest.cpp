#include "hosts/common/UnitStateFile.h"
#include "RenderTestUnit.h"
#include "RenderTestUtil.h"

#include <gtest/gtest.h>

namespace
{
class UnitStateFileTest : public RenderTestUnit
{
};
} // namespace

TEST_F(UnitStateFileTest, RoundTripInTheFormTheNameAsksFor)
{
    for (const char* name : {"state.bplist", "state.plist", "state.bplist.xml"})
    {
        SCOPED_TRACE(name);
        const std::string path = ScratchPath(name);
        SetGain(0.25f);
        CFType state;
        std::string error;
        ASSERT_TRUE(UnitStateFile::Capture(mUnit, state, error)) << error;
        ASSERT_TRUE(UnitStateFile::Write(path, state, error)) << error;
        const bool binary = std::string(name).ends_with(".bplist");
        EXPECT_EQ(binary ? "bplist00" : "<?xml ve", Slurp(path).substr(0, 8));

        SetGain(1.5f);
        CFType read;
        ASSERT_TRUE(PropertyListFile::Read(path, read, error)) << error;
        ASSERT_TRUE(UnitStateFile::Restore(mUnit, read, error)) << error;
        EXPECT_EQ(0.25f, Gain());
    }
}

TEST_F(UnitStateFileTest, AForeignStateLeavesTheUnitAsItWas)
{
    SetGain(0.75f);
    std::string error;
    // A well-formed property list that is no class-info state of this component.
    EXPECT_FALSE(UnitStateFile::Restore(mUnit, CFType::Array(), error));
    EXPECT_EQ(0u, error.find("the component refused this state (status ")) << error;
    EXPECT_EQ(0.75f, Gain());
}
