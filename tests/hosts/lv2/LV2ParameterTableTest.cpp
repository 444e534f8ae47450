#include "hosts/lv2/LV2ParameterTable.h"
#include "LV2TestComponent.h"

#include <gtest/gtest.h>

TEST(LV2ParameterTable, SymbolsAreValidPortSymbols)
{
    const struct
    {
        const char* name;
        const char* symbol;
    } cases[] = {
        {"Tape Speed", "tape_speed"},
        {"Reverb:Play Reverb", "reverb_play_reverb"},
        {"Digi 0", "digi_0"},
        {"  Back  In Time ", "back_in_time"}, // runs of separators become one
        {"2nd Pass", "_2nd_pass"},            // a symbol never starts with a digit
        {"%%", "parameter"},                  // nothing usable left
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(LV2ParameterTable::Symbol(c.name), c.symbol);
    }
}

TEST(LV2ParameterTable, ReadsTheUnitsTableInListOrder)
{
    AudioUnit unit = nullptr;
    ASSERT_EQ(AudioComponentInstanceNew(&kLV2TestComponent, &unit), noErr);
    LV2ParameterTable table;
    std::string error;
    ASSERT_TRUE(table.Read(unit, error)) << error;
    const LV2PortLayout layout = table.Layout(unit);
    AudioComponentInstanceDispose(unit);

    ASSERT_EQ(table.Parameters().size(), 5u);
    const auto& mode = table.Parameters()[1];
    EXPECT_EQ(mode.id, 1u);
    EXPECT_EQ(mode.name, "Mode");
    EXPECT_EQ(mode.symbol, "mode");
    EXPECT_EQ(mode.unit, kAudioUnitParameterUnit_Indexed);
    EXPECT_EQ(mode.maxValue, 2.0f);
    EXPECT_EQ(mode.valueStrings, (std::vector<std::string>{"Slow", "Medium", "Fast"}));
    EXPECT_TRUE(table.Parameters()[0].valueStrings.empty());
    EXPECT_EQ(table.Symbols(),
              (std::vector<std::string>{"gain", "mode", "armed", "lock", "learned"}));

    // 1 input bus and 4 output buses of 2 channels: 10 audio ports, then the atom ports,
    // then the parameters from index 12.
    EXPECT_EQ(layout.Output(0, 0), 2u);
    EXPECT_EQ(layout.Output(3, 1), 9u);
    EXPECT_EQ(layout.ControlIn(), 10u);
    EXPECT_EQ(layout.NotifyOut(), 11u);
    EXPECT_EQ(layout.Parameter(0), 12u);
    EXPECT_EQ(layout.Count(), 17u);
}
