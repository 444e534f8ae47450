#include "platform/cf/CFUnicode.h"

#include <gtest/gtest.h>

TEST(CFUnicode, RejectsEveryIllFormedUtf8Shape)
{
    const char* const bad[] = {
        "\x80",             // continuation without a lead
        "\xC0\xAF",         // overlong '/'
        "\xE0\x80\xAF",     // overlong '/' in three bytes
        "\xED\xA0\x80",     // surrogate D800
        "\xF4\x90\x80\x80", // 0x110000, past the last code point
        "\xE2\x82",         // truncated euro sign
        "\xF8\x88\x80\x80\x80",
        "\xFF",
    };
    for (const char* text : bad)
    {
        SCOPED_TRACE(testing::PrintToString(text));
        EXPECT_FALSE(CFUnicode::IsValidUtf8(text));
    }
    EXPECT_TRUE(CFUnicode::IsValidUtf8("\xF4\x8F\xBF\xBF")); // U+10FFFF, the last one
    EXPECT_TRUE(CFUnicode::IsValidUtf8("\xEF\xBF\xBD"));
    EXPECT_TRUE(CFUnicode::IsValidUtf8(std::string_view("a\0b", 3)));
}

TEST(CFUnicode, Utf16RoundTripWithSurrogatePairs)
{
    // U+1F3B9 = D83C DFB9 in UTF-16; U+20AC = 20AC.
    const std::u16string units = CFUnicode::Utf8ToUtf16("\xE2\x82\xAC\xF0\x9F\x8E\xB9");
    EXPECT_EQ(units, (std::u16string{0x20AC, 0xD83C, 0xDFB9}));
    const std::uint8_t bigEndian[] = {0x20, 0xAC, 0xD8, 0x3C, 0xDF, 0xB9};
    EXPECT_EQ(CFUnicode::Utf16BEToUtf8(bigEndian, 3), "\xE2\x82\xAC\xF0\x9F\x8E\xB9");
}

TEST(CFUnicode, UnpairedSurrogatesBecomeReplacements)
{
    const std::uint8_t lowFirst[] = {0xDC, 0x00, 0x00, 0x41}; // DC00 'A'
    const std::uint8_t highLast[] = {0x00, 0x41, 0xD8, 0x3C}; // 'A' D83C
    const std::uint8_t highHigh[] = {0xD8, 0x3C, 0xD8, 0x3C}; // D83C D83C
    EXPECT_EQ(CFUnicode::Utf16BEToUtf8(lowFirst, 2), "\xEF\xBF\xBD"
                                                     "A");
    EXPECT_EQ(CFUnicode::Utf16BEToUtf8(highLast, 2), "A\xEF\xBF\xBD");
    EXPECT_EQ(CFUnicode::Utf16BEToUtf8(highHigh, 2), "\xEF\xBF\xBD\xEF\xBF\xBD");
    // Ill-formed UTF-8 going the other way: one U+FFFD per bad byte.
    EXPECT_EQ(CFUnicode::Utf8ToUtf16("\xC0\xAF"), (std::u16string{0xFFFD, 0xFFFD}));
}
