#include "platform/cf/CACFDictionary.h"
#include "platform/cf/CACFArray.h"

#include <gtest/gtest.h>

TEST(CACFDictionary, TypedAddsAndGets)
{
    CACFDictionary d;
    d.AddBool("bool", true);
    d.AddSInt32("sint32", -5);
    d.AddUInt32("small", 7);
    d.AddUInt32("large", 4000000000u);
    d.AddFloat32("float32", 0.25f);
    d.AddFloat64("float64", 0.1);
    d.AddString("string", "text");
    d.AddData("data", {1, 2, 3});
    EXPECT_EQ(d.Size(), 8u);

    bool b = false;
    std::int32_t s = 0;
    std::uint32_t u = 0;
    float f = 0;
    double x = 0;
    std::string text;
    const CFDataStorage* data = nullptr;
    EXPECT_TRUE(d.GetBool("bool", b) && b);
    EXPECT_TRUE(d.GetSInt32("sint32", s));
    EXPECT_EQ(s, -5);
    EXPECT_TRUE(d.GetUInt32("large", u));
    EXPECT_EQ(u, 4000000000u);
    const CFType* large = nullptr;
    ASSERT_TRUE(d.GetCFType("large", large));
    EXPECT_EQ(large->GetNumberType(), CFNumberType::SInt64); // 4e9 does not fit an SInt32
    const CFType* small = nullptr;
    ASSERT_TRUE(d.GetCFType("small", small));
    EXPECT_EQ(small->GetNumberType(), CFNumberType::SInt32);
    EXPECT_TRUE(d.GetFloat32("float32", f));
    EXPECT_EQ(f, 0.25f);
    EXPECT_TRUE(d.GetFloat64("float64", x));
    EXPECT_EQ(x, 0.1);
    EXPECT_TRUE(d.GetString("string", text));
    EXPECT_EQ(text, "text");
    EXPECT_TRUE(d.GetData("data", data));
    EXPECT_EQ(*data, (CFDataStorage{1, 2, 3}));
    // Numeric gets convert between kinds: SInt32 -5 as a double, 0.25 as an integer (0).
    EXPECT_TRUE(d.GetFloat64("sint32", x));
    EXPECT_EQ(x, -5.0);
    EXPECT_TRUE(d.GetSInt32("float32", s));
    EXPECT_EQ(s, 0);
}

TEST(CACFDictionary, AddReplacesAnExistingKey)
{
    CACFDictionary d;
    d.AddSInt32("k", 1);
    d.AddString("k", "now a string");
    EXPECT_EQ(d.Size(), 1u);
    std::string text;
    EXPECT_TRUE(d.GetString("k", text));
    EXPECT_EQ(text, "now a string");
}

TEST(CACFDictionary, GetsOnMissingOrWrongKindLeaveOutputsUntouched)
{
    CACFDictionary d;
    d.AddString("string", "s");
    d.AddSInt32("number", 3);
    d.AddBool("bool", true);
    for (const char* key : {"missing", "string", "number", "bool"})
    {
        SCOPED_TRACE(key);
        const std::string k = key;
        bool b = false;
        std::int32_t s = 42;
        std::uint32_t u = 42;
        float f = 42;
        double x = 42;
        std::string text = "untouched";
        const CFDataStorage* data = nullptr;
        CACFArray array;
        array.AppendSInt32(9);
        CACFDictionary dict;
        dict.AddSInt32("marker", 9);
        const CFType* value = nullptr;

        // Each get succeeds only for its own kind; numbers are not booleans and vice versa.
        EXPECT_EQ(d.GetBool(key, b), k == "bool");
        EXPECT_EQ(d.GetSInt32(key, s), k == "number");
        EXPECT_EQ(d.GetUInt32(key, u), k == "number");
        EXPECT_EQ(d.GetFloat32(key, f), k == "number");
        EXPECT_EQ(d.GetFloat64(key, x), k == "number");
        EXPECT_EQ(d.GetString(key, text), k == "string");
        EXPECT_FALSE(d.GetData(key, data));
        EXPECT_FALSE(d.GetArray(key, array));
        EXPECT_FALSE(d.GetDictionary(key, dict));
        EXPECT_EQ(d.GetCFType(key, value), k != "missing");

        if (k != "bool")
        {
            EXPECT_FALSE(b);
        }
        if (k != "number")
        {
            EXPECT_EQ(s, 42);
            EXPECT_EQ(u, 42u);
            EXPECT_EQ(f, 42.0f);
            EXPECT_EQ(x, 42.0);
        }
        if (k != "string")
        {
            EXPECT_EQ(text, "untouched");
        }
        if (k == "missing")
        {
            EXPECT_EQ(value, nullptr);
        }
        EXPECT_EQ(data, nullptr);
        EXPECT_EQ(array.GetNumberItems(), 1u);
        EXPECT_TRUE(dict.HasKey("marker"));
    }
}

TEST(CACFDictionary, NestedContainersAndDataWithoutCopies)
{
    CACFDictionary inner;
    inner.AddSInt32("x", 1);
    CACFArray list;
    list.AppendDictionary(inner);
    CACFDictionary outer;
    outer.AddDictionary("inner", inner);
    outer.AddArray("list", list);
    outer.AddData("big", CFDataStorage(1000, 5));

    CACFDictionary gotInner;
    CACFArray gotList;
    ASSERT_TRUE(outer.GetDictionary("inner", gotInner));
    ASSERT_TRUE(outer.GetArray("list", gotList));
    std::int32_t x = 0;
    EXPECT_TRUE(gotInner.GetSInt32("x", x));
    EXPECT_EQ(x, 1);
    EXPECT_EQ(gotList.GetNumberItems(), 1u);

    // The wrapper around a copy of the tree still points at the same Data bytes.
    const CFDataStorage* first = nullptr;
    const CFDataStorage* second = nullptr;
    CACFDictionary copy(outer.GetCFType());
    ASSERT_TRUE(outer.GetData("big", first));
    ASSERT_TRUE(copy.GetData("big", second));
    EXPECT_EQ(first, second);
}

TEST(CACFDictionary, WrapsOnlyDictionaries)
{
    EXPECT_EQ(CACFDictionary(CFType::Array({CFType::SInt32(1)})).Size(), 0u);
    EXPECT_EQ(CACFDictionary(CFType()).GetCFType().GetKind(), CFType::Kind::Dictionary);
    EXPECT_EQ(CACFDictionary(CFType::Dictionary({{"a", CFType::SInt32(1)}})).Size(), 1u);
}

TEST(CACFArray, TypedAppendsAndGets)
{
    CACFArray a;
    a.AppendBool(true);
    a.AppendSInt16(-3);
    a.AppendSInt32(70000);
    a.AppendFloat64(2.5);
    CACFDictionary d;
    d.AddSInt32("k", 1);
    a.AppendDictionary(d);
    a.AppendCFType(CFType::String("s"));
    ASSERT_EQ(a.GetNumberItems(), 6u);

    bool b = false;
    std::int16_t s16 = 0;
    std::int32_t s32 = 0;
    double x = 0;
    CACFDictionary got;
    EXPECT_TRUE(a.GetBool(0, b) && b);
    EXPECT_TRUE(a.GetSInt16(1, s16));
    EXPECT_EQ(s16, -3);
    EXPECT_TRUE(a.GetSInt32(2, s32));
    EXPECT_EQ(s32, 70000);
    EXPECT_TRUE(a.GetSInt16(2, s16));
    EXPECT_EQ(s16, 70000 - 65536); // 4464: the C rule for a narrowing integer conversion
    EXPECT_TRUE(a.GetFloat64(3, x));
    EXPECT_EQ(x, 2.5);
    EXPECT_TRUE(a.GetDictionary(4, got));
    EXPECT_TRUE(got.HasKey("k"));
}

TEST(CACFArray, GetsOnWrongKindOrPastTheEndLeaveOutputsUntouched)
{
    CACFArray a;
    a.AppendCFType(CFType::String("s"));
    for (const std::size_t index : {std::size_t{0}, std::size_t{1}, std::size_t{1000}})
    {
        SCOPED_TRACE(index);
        bool b = true;
        std::int16_t s16 = 42;
        std::int32_t s32 = 42;
        double x = 42;
        CACFDictionary d;
        d.AddSInt32("marker", 1);
        const CFType* value = nullptr;
        EXPECT_FALSE(a.GetBool(index, b));
        EXPECT_FALSE(a.GetSInt16(index, s16));
        EXPECT_FALSE(a.GetSInt32(index, s32));
        EXPECT_FALSE(a.GetFloat64(index, x));
        EXPECT_FALSE(a.GetDictionary(index, d));
        EXPECT_EQ(a.GetCFType(index, value), index == 0);
        EXPECT_TRUE(b);
        EXPECT_EQ(s16, 42);
        EXPECT_EQ(s32, 42);
        EXPECT_EQ(x, 42.0);
        EXPECT_TRUE(d.HasKey("marker"));
        if (index != 0)
        {
            EXPECT_EQ(value, nullptr);
        }
    }
    EXPECT_EQ(CACFArray(CFType::Dictionary()).GetNumberItems(), 0u);
}
