#include "hosts/common/UnitParameters.h"
#include "RenderTestUnit.h"

#include <gtest/gtest.h>

namespace
{
struct Resolved
{
    bool ok = false;
    AudioUnitParameterID id = 0;
    AudioUnitParameterValue value = 0;
    std::string error;
};

class UnitParametersTest : public RenderTestUnit
{
protected:
    void SetUp() override
    {
        RenderTestUnit::SetUp();
        if (HasFatalFailure()) return;
        std::string error;
        ASSERT_TRUE(mParameters.Load(mUnit, error)) << error;
    }

    Resolved Resolve(const std::string& name, const std::string& value) const
    {
        Resolved r;
        r.ok = mParameters.Resolve(name, value, r.id, r.value, r.error);
        return r;
    }

    UnitParameters mParameters;
};
} // namespace

TEST_F(UnitParametersTest, NamesIdsNumbersAndValueStrings)
{
    struct Case
    {
        const char* name;
        const char* value;
        AudioUnitParameterID id;
        AudioUnitParameterValue expected;
    };
    const Case cases[] = {
        {"Gain", "2", 0, 2.0f},           // the maximum itself
        {"0", "1e-1", 0, 0.1f},           // by id
        {"Sync", "To Bar", 1, 2.0f},      // value string index 2
        {"Sync", "1", 1, 1.0f},           // a number where no value string reads "1"
        {"Reverb:Wet", "3", 2, 3.0f},     // a colon in the name
        {"Back In Time", "64", 3, 2.0f},  // the value string "64" wins over the number 64
        {"Back In Time", "63", 3, 63.0f}, // no such value string: the number
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::string(c.name) + "=" + c.value);
        const Resolved r = Resolve(c.name, c.value);
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_EQ(c.id, r.id);
        EXPECT_EQ(c.expected, r.value);
    }
}

TEST_F(UnitParametersTest, RefusalsSayWhyAndAFailedLookupLeavesTheIdAlone)
{
    EXPECT_EQ("unknown parameter 'Volume'", Resolve("Volume", "1").error);
    EXPECT_EQ("unknown parameter 'gain' (did you mean 'Gain'?)", Resolve("gain", "1").error);
    EXPECT_EQ("unknown parameter '9'", Resolve("9", "1").error);
    EXPECT_EQ("'Gain' takes a number from 0 to 2, not 'nan'", Resolve("Gain", "nan").error);
    EXPECT_EQ("'Gain' takes a number from 0 to 2, not '1e999'", Resolve("Gain", "1e999").error);
    EXPECT_EQ("'Gain' takes a number from 0 to 2, not '1x'", Resolve("Gain", "1x").error);
    EXPECT_EQ("'Sync' takes a number from 0 to 2 or one of 'No Sync', 'To Beat', 'To Bar', not "
              "'to bar'",
              Resolve("Sync", "to bar").error);

    AudioUnitParameterID id = 2;
    std::string error;
    EXPECT_FALSE(mParameters.Lookup("back in time", id, error));
    EXPECT_EQ("unknown parameter 'back in time' (did you mean 'Back In Time'?)", error);
    EXPECT_EQ(2u, id);
}
