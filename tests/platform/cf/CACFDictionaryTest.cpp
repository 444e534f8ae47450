#include "platform/cf/CACFDictionary.h"
#include "platform/cf/CACFArray.h"

#include <gtest/gtest.h>

TEST(CACFDictionary, TypedAddsAndGetsReportPresenceAndKind)
{
    CACFDictionary d;
    d.AddBool("bool", true);
    d.AddSInt32("sint32", -5);
    d.AddUInt32("large", 4000000000u);
    d.AddFloat32("float32", 0.25f);
    d.AddString("string", "first");
    d.AddString("string", "text"); // replaces
    d.AddData("data", CFDataStorage(1000, 5));
    EXPECT_EQ(d.Size(), 6u);

    bool b = false;
    std::int32_t s = 0;
    std::uint32_t u = 0;
    double x = 0;
    std::string text;
    EXPECT_TRUE(d.GetBool("bool", b) && b);
    EXPECT_TRUE(d.GetUInt32("large", u));
    EXPECT_EQ(u, 4000000000u);
    const CFType* large = nullptr;
    ASSERT_TRUE(d.GetCFType("large", large));
    EXPECT_EQ(large->GetNumberType(), CFNumberType::SInt64); // 4e9 does not fit an SInt32
    EXPECT_TRUE(d.GetString("string", text));
    EXPECT_EQ(text, "text");
    // Numeric gets convert between kinds: SInt32 -5 as a double, 0.25 as an integer (0).
    EXPECT_TRUE(d.GetFloat64("sint32", x));
    EXPECT_EQ(x, -5.0);
    EXPECT_TRUE(d.GetSInt32("float32", s));
    EXPECT_EQ(s, 0);
    // A wrapper around a copy of the tree still points at the same Data bytes.
    const CFDataStorage* first = nullptr;
    const CFDataStorage* second = nullptr;
    ASSERT_TRUE(d.GetData("data", first));
    ASSERT_TRUE(CACFDictionary(d.GetCFType()).GetData("data", second));
    EXPECT_EQ(first, second);

    // Missing keys and other kinds (numbers are not booleans, nor the other way round) fail
    // and leave the output as it was.
    for (const char* key : {"missing", "string", "bool", "sint32"})
    {
        SCOPED_TRACE(key);
        const std::string k = key;
        b = false;
        s = 42;
        text = "untouched";
        CACFArray array;
        EXPECT_EQ(d.GetBool(key, b), k == "bool");
        EXPECT_EQ(d.GetSInt32(key, s), k == "sint32");
        EXPECT_EQ(d.GetString(key, text), k == "string");
        EXPECT_FALSE(d.GetArray(key, array));
        EXPECT_EQ(b, k == "bool");
        EXPECT_EQ(s, k == "sint32" ? -5 : 42);
        EXPECT_EQ(text, k == "string" ? "text" : "untouched");
    }
    EXPECT_EQ(CACFDictionary(CFType::Array({CFType::SInt32(1)})).Size(), 0u);
}

TEST(CACFArray, TypedAppendsAndGetsReportPresenceAndKind)
{
    CACFArray a;
    a.AppendBool(true);
    a.AppendSInt32(70000);
    CACFDictionary d;
    d.AddSInt32("k", 1);
    a.AppendDictionary(d);
    a.AppendCFType(CFType::String("s"));
    ASSERT_EQ(a.GetNumberItems(), 4u);
    std::int16_t s16 = 0;
    EXPECT_TRUE(a.GetSInt16(1, s16));
    EXPECT_EQ(s16, 70000 - 65536); // 4464: the C rule for a narrowing integer conversion
    CACFDictionary got;
    EXPECT_TRUE(a.GetDictionary(2, got));
    EXPECT_TRUE(got.HasKey("k"));

    for (const std::size_t index : {std::size_t{3}, std::size_t{4}, std::size_t{1000}})
    {
        SCOPED_TRACE(index);
        bool b = true;
        std::int32_t s32 = 42;
        double x = 42;
        const CFType* value = nullptr;
        EXPECT_FALSE(a.GetBool(index, b));
        EXPECT_FALSE(a.GetSInt32(index, s32));
        EXPECT_FALSE(a.GetFloat64(index, x));
        EXPECT_EQ(a.GetCFType(index, value), index == 3);
        EXPECT_TRUE(b);
        EXPECT_EQ(s32, 42);
        EXPECT_EQ(x, 42.0);
    }
}
