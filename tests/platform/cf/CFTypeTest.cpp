#include "platform/cf/CFType.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace
{
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
} // namespace

TEST(CFType, ConversionsFollowTheCRules)
{
    // 2^32 + 5 keeps its low 32 bits: 5.
    EXPECT_EQ(CFType::SInt64(0x100000005).AsSInt32(), 5);
    // -1 modulo 2^32 = 4294967295.
    EXPECT_EQ(CFType::SInt64(-1).AsUInt32(), 4294967295u);
    // 40000 - 65536 = -25536.
    EXPECT_EQ(CFType::SInt32(40000).AsSInt16(), -25536);
    EXPECT_EQ(CFType::SInt32(-7).AsFloat64(), -7.0);
    EXPECT_EQ(CFType::Boolean(true).AsSInt32(), 1);
    EXPECT_EQ(CFType::Boolean(false).AsFloat64(), 0.0);
    EXPECT_EQ(CFType::String("12").AsSInt64(), 0);
    EXPECT_EQ(CFType().AsFloat64(), 0.0);
    EXPECT_EQ(CFType::Float64(1e300).AsFloat32(), std::numeric_limits<float>::infinity());
    EXPECT_EQ(CFType::Float64(-1e300).AsFloat32(), -std::numeric_limits<float>::infinity());
    EXPECT_EQ(CFType::Float64(0.5).AsFloat32(), 0.5f);
    EXPECT_TRUE(std::isnan(CFType::Float64(kNaN).AsFloat32()));
    EXPECT_EQ(CFType::Float32(0.1f).AsFloat64(), static_cast<double>(0.1f));
    // 2^53 + 1 has no double; it rounds to the even neighbour 2^53.
    EXPECT_EQ(CFType::SInt64(9007199254740993).AsFloat64(), 9007199254740992.0);
}

TEST(CFType, OutOfRangeFloatsSaturate)
{
    struct Case
    {
        double value;
        std::int64_t sint64;
        std::int32_t sint32;
        std::uint32_t uint32;
        std::int16_t sint16;
    };
    constexpr auto kMax64 = std::numeric_limits<std::int64_t>::max();
    constexpr auto kMin64 = std::numeric_limits<std::int64_t>::min();
    const Case cases[] = {
        {-1.9, -1, -1, 0, -1}, // truncation toward zero; unsigned clamps at 0
        {1.9, 1, 1, 1, 1},
        {3e9, 3000000000, 2147483647, 3000000000u, 32767},
        {-3e9, -3000000000, -2147483648, 0, -32768},
        {4294967296.0, 4294967296, 2147483647, 4294967295u, 32767}, // 2^32
        {32767.99, 32767, 32767, 32767, 32767},
        {-32768.99, -32768, -32768, 0, -32768},
        // 2^63 - 1024 is the largest double below 2^63 and converts exactly.
        {9223372036854774784.0, 9223372036854774784, 2147483647, 4294967295u, 32767},
        {9223372036854775808.0, kMax64, 2147483647, 4294967295u, 32767}, // 2^63
        {-9223372036854775808.0, kMin64, -2147483648, 0, -32768},        // -2^63 exactly
        {1e300, kMax64, 2147483647, 4294967295u, 32767},
        {kInf, kMax64, 2147483647, 4294967295u, 32767},
        {-kInf, kMin64, -2147483648, 0, -32768},
        {kNaN, 0, 0, 0, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.value);
        for (const CFType& number :
             {CFType::Float64(c.value), CFType::Float32(static_cast<float>(c.value))})
        {
            if (number.GetNumberType() == CFNumberType::Float32 &&
                static_cast<double>(static_cast<float>(c.value)) != c.value && !std::isnan(c.value))
                continue; // the float rounds to another value; the Float64 row covers it
            EXPECT_EQ(number.AsSInt64(), c.sint64);
            EXPECT_EQ(number.AsSInt32(), c.sint32);
            EXPECT_EQ(number.AsUInt32(), c.uint32);
            EXPECT_EQ(number.AsSInt16(), c.sint16);
        }
    }
}

TEST(CFType, CopiesShareDataBytesButNotContainers)
{
    CFType tree = CFType::Dictionary({{"big", CFType::Data(CFDataStorage(1 << 20, 7))},
                                      {"list", CFType::Array({CFType::SInt32(1)})}});
    CFType copy = tree;
    EXPECT_EQ(&copy.AsDictionary().at("big").AsData(), &tree.AsDictionary().at("big").AsData());
    EXPECT_EQ(copy, tree);

    copy.AsDictionary().at("list").AsArray().push_back(CFType::SInt32(2));
    copy.AsDictionary().erase("big");
    EXPECT_EQ(tree.AsDictionary().at("list").AsArray().size(), 1u);
    EXPECT_EQ(tree.AsDictionary().at("big").AsData().size(), std::size_t{1} << 20);
}

TEST(CFType, StringsAreAlwaysValidUtf8)
{
    EXPECT_EQ(CFType::String("caf\xC3\xA9").AsString(), "caf\xC3\xA9");
    // A lone continuation byte and a truncated sequence each become U+FFFD (EF BF BD).
    EXPECT_EQ(CFType::String("a\x80z\xE2\x82").AsString(),
              "a\xEF\xBF\xBDz\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(CFType, EqualityComparesValuesAcrossWidths)
{
    EXPECT_EQ(CFType::SInt16(5), CFType::SInt64(5));
    EXPECT_EQ(CFType::Float32(0.5f), CFType::Float64(0.5));
    EXPECT_NE(CFType::Float32(0.1f), CFType::Float64(0.1));
    EXPECT_NE(CFType::SInt32(1), CFType::Float64(1.0)); // integers and reals differ
    EXPECT_NE(CFType::SInt32(1), CFType::Boolean(true));
    EXPECT_EQ(CFType::Float64(kNaN), CFType::Float32(std::numeric_limits<float>::quiet_NaN()));
    EXPECT_NE(CFType::Float64(kNaN), CFType::Float64(0.0));
    EXPECT_EQ(CFType(), CFType());
    EXPECT_NE(CFType::Data({1, 2}), CFType::Data({1, 3}));
    EXPECT_NE(CFType::Array({CFType::SInt32(1)}), CFType::Array());
    EXPECT_NE(CFType::Dictionary({{"a", CFType()}}), CFType::Dictionary({{"b", CFType()}}));
}
