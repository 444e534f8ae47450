#include "engine/CHostCheck.h"

#include <gtest/gtest.h>

namespace
{
// Packed versions: BCD major in the top byte, minor and bug-fix in the nibbles below, then
// the stage (0x80 final) and the pre-release number.
constexpr UInt32 kLogic641 = 0x06418000;
constexpr UInt32 kLogic642 = 0x06428000;

bool Safe(std::optional<std::string> identifier, UInt32 packed,
          std::optional<std::string> versionString)
{
    return CHostCheck::IsTransportStateProcSafe(
        HostIdentity{std::move(identifier), packed, std::move(versionString)});
}
} // namespace

TEST(CHostCheck, LogicByPackedVersionOrVersionString)
{
    for (const char* id : {"info.emagic.Logic", "de.emagic.Logic"})
    {
        SCOPED_TRACE(id);
        EXPECT_FALSE(Safe(id, kLogic641, std::nullopt));
        EXPECT_TRUE(Safe(id, kLogic642, std::nullopt));
        // The threshold itself (6.4.2 before its final release) is still unsafe.
        EXPECT_FALSE(Safe(id, 0x06427FFF, std::nullopt));
        EXPECT_TRUE(Safe(id, 0x06428000, "1.0")) << "a packed version outranks the string";
        // Packed version 0: the version string, its first five characters.
        EXPECT_FALSE(Safe(id, 0, "6.4.1"));
        EXPECT_TRUE(Safe(id, 0, "6.4.2"));
        EXPECT_TRUE(Safe(id, 0, std::nullopt));
        EXPECT_TRUE(Safe(id, 0, "6.4.2.1"));
        EXPECT_TRUE(Safe(id, 0, "7.0"));
        // Shorter than "6.4.2": compared only as far as it goes, and then it orders first.
        EXPECT_FALSE(Safe(id, 0, "6.4"));
        EXPECT_FALSE(Safe(id, 0, ""));
    }
}

TEST(CHostCheck, GarageBandOneZero)
{
    EXPECT_FALSE(Safe("com.apple.garageband", 0, "1.0.3"));
    EXPECT_FALSE(Safe("com.apple.garageband", 0, "1.0"));
    EXPECT_TRUE(Safe("com.apple.garageband", 0, "2.0"));
    EXPECT_TRUE(Safe("com.apple.garageband", 0, "1.1"));
    EXPECT_TRUE(Safe("com.apple.garageband", 0, "1")) << "shorter than \"1.0\": not equal";
    EXPECT_TRUE(Safe("com.apple.garageband", 0, std::nullopt));
    EXPECT_FALSE(Safe("com.apple.garageband", 0x01008000, "1.0.1")) << "packed version unused";
}

TEST(CHostCheck, IdentifiersIgnoreCaseAndOtherHostsAreSafe)
{
    EXPECT_FALSE(Safe("INFO.EMAGIC.LOGIC", kLogic641, std::nullopt));
    EXPECT_FALSE(Safe("De.Emagic.logic", 0, "6.4.1"));
    EXPECT_FALSE(Safe("com.Apple.GarageBand", 0, "1.0.3"));
    EXPECT_TRUE(Safe("de.emagic.Logic.helper", kLogic641, std::nullopt)) << "whole id only";
    EXPECT_TRUE(Safe("org.ardour.Ardour", 0, "1.0"));
    EXPECT_TRUE(Safe("org.drobilla.jalv", kLogic641, "6.4.1"));
    EXPECT_TRUE(Safe(std::nullopt, kLogic641, "1.0")) << "no bundle identifier";
    EXPECT_TRUE(CHostCheck::IsTransportStateProcSafe(std::nullopt));
}

TEST(CHostCheck, ProcessAnswerIsDecidedOnceFromTheHostIdentity)
{
    HostIdentity::SetCurrent(HostIdentity{"de.emagic.Logic", kLogic641, std::nullopt});
    EXPECT_FALSE(CHostCheck::TransportStateProcIsSafe());
    // A later change of identity does not change the process's answer.
    HostIdentity::SetCurrent(std::nullopt);
    EXPECT_FALSE(CHostCheck::TransportStateProcIsSafe());
}
