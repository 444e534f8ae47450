#include "hosts/lv2/LV2ParameterTable.h"

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
