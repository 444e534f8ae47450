#include "engine/CHostCheck.h"

#include <gtest/gtest.h>

TEST(CHostCheck, OnlyTheMisbehavingReleasesOfTwoHostsAreUnsafe)
{
    using S = std::optional<std::string>;
    const struct
    {
        S identifier;
        UInt32 number;
        S version;
        bool safe;
    } cases[] = {
        {std::nullopt, 0, S("1.0"), true},
        {S("info.emagic.Logic"), 0x06427FFF, std::nullopt, false}, // 6.4.2 pre-release
        {S("info.emagic.Logic"), 0x06428000, std::nullopt, true},  // 6.4.2 final
        {S("DE.EMAGIC.LOGIC"), 0, S("6.4.1"), false},              // no number: the string
        {S("de.emagic.logic"), 0, S("6.4.2"), true},
        {S("info.emagic.Logic"), 0, S("6.4"), false}, // ends early: orders before
        {S("info.emagic.Logic"), 0, std::nullopt, true},
        {S("com.apple.garageband"), 0, S("1.0"), false},
        {S("com.apple.garageband"), 0, S("1.0.1"), false}, // compared over "1.0" only
        {S("com.apple.garageband"), 0, S("1.1"), true},
        {S("com.apple.garageband"), 0, std::nullopt, true},
        {S("org.example.host"), 0x01000000, S("1.0"), true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.identifier.value_or("none") + " " + c.version.value_or("-"));
        EXPECT_EQ(c.safe, CHostCheck::IsTransportStateProcSafe(
                              HostIdentity{c.identifier, c.number, c.version}));
    }
    EXPECT_TRUE(CHostCheck::IsTransportStateProcSafe(std::nullopt));
}
