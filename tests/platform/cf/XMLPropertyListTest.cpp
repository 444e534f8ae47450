#include "PlistSamples.h"

#include "platform/cf/XMLPropertyList.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace
{
using Bytes = std::vector<std::uint8_t>;

std::string Text(const Bytes& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

bool ReadText(std::string_view text, CFType& out, std::string& error)
{
    return XMLPropertyList::Read(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(),
                                 out, error);
}

// The value of a document, or Null with a test failure.
CFType Parse(std::string_view text)
{
    CFType out;
    std::string error;
    EXPECT_TRUE(ReadText(text, out, error)) << error;
    return out;
}

// A whole document around one value.
std::string Document(std::string_view value)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n" +
           std::string(value) + "\n</plist>\n";
}

Bytes Write(const CFType& value)
{
    Bytes out;
    std::string error;
    EXPECT_TRUE(XMLPropertyList::Write(value, out, error)) << error;
    return out;
}

CFType RoundTrip(const CFType& value)
{
    return Parse(Text(Write(value)));
}

void ExpectRefused(std::string_view text, const std::string& what)
{
    SCOPED_TRACE(text);
    CFType out = CFType::String("untouched");
    std::string error;
    EXPECT_FALSE(ReadText(text, out, error));
    EXPECT_NE(error.find(what), std::string::npos) << error;
    EXPECT_EQ(out, CFType::String("untouched"));
}

void ExpectNotWritten(const CFType& value, const std::string& what)
{
    Bytes out{1, 2, 3};
    std::string error;
    EXPECT_FALSE(XMLPropertyList::Write(value, out, error));
    EXPECT_NE(error.find(what), std::string::npos) << error;
    EXPECT_EQ(out, (Bytes{1, 2, 3}));
}
} // namespace

TEST(XMLPropertyList, ExactTextOfASmallTree)
{
    const CFType tree = CFType::Dictionary(
        {{"a", CFType::Array({CFType::SInt32(1), CFType::Float64(0.5), CFType::Boolean(true)})},
         {"b", CFType::String("x&y")},
         {"c", CFType::Data({0, 1, 2, 3})},
         {"d", CFType::Dictionary()}});
    // 00 01 02 is 0x000102, sextets 0 0 4 2 = "AAEC"; 03 alone is sextets 0 48 = "Aw", padded.
    const std::string expected = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                 "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                                 "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                                 "<plist version=\"1.0\">\n"
                                 "<dict>\n"
                                 "\t<key>a</key>\n"
                                 "\t<array>\n"
                                 "\t\t<integer>1</integer>\n"
                                 "\t\t<real>0.5</real>\n"
                                 "\t\t<true/>\n"
                                 "\t</array>\n"
                                 "\t<key>b</key>\n"
                                 "\t<string>x&amp;y</string>\n"
                                 "\t<key>c</key>\n"
                                 "\t<data>\n"
                                 "\tAAECAw==\n"
                                 "\t</data>\n"
                                 "\t<key>d</key>\n"
                                 "\t<dict/>\n"
                                 "</dict>\n"
                                 "</plist>\n";
    EXPECT_EQ(Text(Write(tree)), expected);
}

TEST(XMLPropertyList, RoundTripsEveryKindEscapeAndBase64Length)
{
    const CFType tree = PlistSamples::EveryKind();
    EXPECT_EQ(RoundTrip(tree), tree);
    const CFType state = PlistSamples::StateLike(1000);
    EXPECT_EQ(RoundTrip(state), state);
    for (const CFType& value : {CFType::Array(), CFType::Dictionary(), CFType::Data({})})
        EXPECT_EQ(RoundTrip(value), value);
    // A Float32 comes back as the Float64 of exactly the same value.
    const CFType back = RoundTrip(CFType::Float32(0.1f));
    EXPECT_EQ(back.GetNumberType(), CFNumberType::Float64);
    EXPECT_EQ(back.AsFloat64(), static_cast<double>(0.1f));
    const CFType value = CFType::String("a<b>&c\r\nd\re");
    const std::string text = Text(Write(value));
    EXPECT_NE(text.find("<string>a&lt;b&gt;&amp;c&#13;\nd&#13;e</string>"), std::string::npos);
    EXPECT_EQ(RoundTrip(value), value);
    const CFType key = CFType::Dictionary({{"<k&>", CFType::Boolean(true)}});
    EXPECT_EQ(RoundTrip(key), key);
    const CFDataStorage source = PlistSamples::BigEndianFrames(3); // 24 varied bytes
    for (std::size_t size = 0; size <= 8; ++size)
    {
        SCOPED_TRACE(size);
        const CFDataStorage bytes(source.begin() + 4,
                                  source.begin() + 4 + static_cast<std::ptrdiff_t>(size));
        EXPECT_EQ(RoundTrip(CFType::Data(bytes)), CFType::Data(bytes));
    }
    // 57 bytes make exactly one line of 76 letters; 58 spill 4 letters onto a second.
    const std::string one = Text(Write(CFType::Data(CFDataStorage(57, 0))));
    EXPECT_NE(one.find("<data>\n" + std::string(76, 'A') + "\n</data>"), std::string::npos);
    const std::string two = Text(Write(CFType::Data(CFDataStorage(58, 0))));
    EXPECT_NE(two.find("<data>\n" + std::string(76, 'A') + "\nAA==\n</data>"), std::string::npos);
    const CFType big = CFType::Data(PlistSamples::BigEndianFrames(100000));
    EXPECT_EQ(RoundTrip(big), big);
    ExpectNotWritten(CFType(), "Null");
    ExpectNotWritten(CFType::Array({CFType::SInt32(1), CFType()}), "Null");
    ExpectNotWritten(CFType::String(std::string("a\0b", 3)), "control character");
    ExpectNotWritten(CFType::String("bell\x07"), "control character");
    ExpectNotWritten(CFType::Dictionary({{"esc\x1B", CFType::SInt32(1)}}), "control character");
    ExpectNotWritten(CFType::Dictionary({{"bad\xFF", CFType::SInt32(1)}}), "UTF-8");
    ExpectNotWritten(CFType::String("\xEF\xBF\xBF"), "U+FFFF"); // U+FFFF
}

TEST(XMLPropertyList, ReadsWhatOtherToolsWrite)
{
    const std::string text =
        "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
        "<!-- written by hand -->\r\n"
        "<plist version=\"1.0\"><dict>\r\n"
        "  <key>cdata</key><string>a<![CDATA[<b>]]>c</string>\r\n"
        "  <key>refs</key><string>&lt;&#233;&#x20AC;&quot;&apos;&gt;</string>\r\n"
        "  <key>blank</key><string>   </string>\r\n"
        "  <key>crlf</key><string>x\r\ny</string>\r\n"
        "  <key>hex</key><integer> 0x1F </integer>\r\n"
        "  <key>neg</key><integer>-42</integer>\r\n"
        "  <key>plus</key><integer>+7</integer>\r\n"
        "  <key>inf</key><real>+infinity</real>\r\n"
        "  <key>ninf</key><real>-inf</real>\r\n"
        "  <key>exp</key><real>1.5E3</real>\r\n"
        "  <key>int real</key><real>2</real>\r\n"
        "  <key>unpadded</key><data>\r\n   AAEC\r\n   Aw\r\n</data>\r\n"
        "  <key>empty</key><string/>\r\n"
        "  <key>comment</key><array><!-- nothing --></array>\r\n"
        "</dict></plist>\r\n";
    const CFType value = Parse(text);
    ASSERT_EQ(value.GetKind(), CFType::Kind::Dictionary);
    const CFDictionaryStorage& d = value.AsDictionary();
    EXPECT_EQ(d.at("cdata").AsString(), "a<b>c");
    EXPECT_EQ(d.at("refs").AsString(), "<\xC3\xA9\xE2\x82\xAC\"'>");
    EXPECT_EQ(d.at("blank").AsString(), "   ");
    EXPECT_EQ(d.at("crlf").AsString(), "x\ny"); // XML turns a raw CR LF into LF
    EXPECT_EQ(d.at("hex"), CFType::SInt64(31));
    EXPECT_EQ(d.at("neg"), CFType::SInt64(-42));
    EXPECT_EQ(d.at("plus"), CFType::SInt64(7));
    EXPECT_EQ(d.at("inf"), CFType::Float64(std::numeric_limits<double>::infinity()));
    EXPECT_EQ(d.at("ninf"), CFType::Float64(-std::numeric_limits<double>::infinity()));
    EXPECT_EQ(d.at("exp"), CFType::Float64(1500.0));
    EXPECT_EQ(d.at("int real"), CFType::Float64(2.0));
    EXPECT_EQ(d.at("unpadded"), CFType::Data({0, 1, 2, 3}));
    EXPECT_EQ(d.at("empty"), CFType::String(""));
    EXPECT_EQ(d.at("comment"), CFType::Array());

    EXPECT_EQ(Parse("<array><true/><false/></array>"),
              CFType::Array({CFType::Boolean(true), CFType::Boolean(false)}));
    EXPECT_TRUE(std::isnan(Parse(Document("<real>nan</real>")).AsFloat64()));

    const std::string ascii = Document("<string>caf&#233;</string>");
    Bytes utf16{0xFF, 0xFE}; // little-endian byte-order mark
    for (const char c : std::string_view(ascii).substr(0))
    {
        utf16.push_back(static_cast<std::uint8_t>(c));
        utf16.push_back(0);
    }
    // Declared UTF-8 but carried in UTF-16: the byte-order mark wins, as in other readers.
    CFType out;
    std::string error;
    ASSERT_TRUE(XMLPropertyList::Read(utf16.data(), utf16.size(), out, error)) << error;
    EXPECT_EQ(out, CFType::String("caf\xC3\xA9"));
}

TEST(XMLPropertyList, RefusesMalformedDocuments)
{
    EXPECT_EQ(Parse(Document("<integer>9223372036854775807</integer>")),
              CFType::SInt64(std::numeric_limits<std::int64_t>::max()));
    EXPECT_EQ(Parse(Document("<integer>-9223372036854775808</integer>")),
              CFType::SInt64(std::numeric_limits<std::int64_t>::min()));
    EXPECT_EQ(Parse(Document("<integer>0x7FFFFFFFFFFFFFFF</integer>")),
              CFType::SInt64(std::numeric_limits<std::int64_t>::max()));
    ExpectRefused(Document("<integer>9223372036854775808</integer>"), "beyond 64 bits");
    ExpectRefused(Document("<integer>-9223372036854775809</integer>"), "beyond 64 bits");
    ExpectRefused(Document("<integer>99999999999999999999999</integer>"), "beyond 64 bits");
    for (const char* bad : {"", "12a", "1.5", "--1", "0x", "+-1", " - 1"})
        ExpectRefused(Document("<integer>" + std::string(bad) + "</integer>"), "bad integer");
    ExpectRefused(Document("<real>1e999</real>"), "range of a double");
    for (const char* bad : {"", "abc", "1.5.5", "++1", "0x"})
        ExpectRefused(Document("<real>" + std::string(bad) + "</real>"), "bad real");
    ExpectRefused(Document("<dict><key>k</key></dict>"), "key without a value");
    ExpectRefused(Document("<dict><string>k</string><true/></dict>"), "where a <key> belongs");
    ExpectRefused(Document("<true/><false/>"), "exactly one value");
    ExpectRefused("<plist version=\"1.0\"></plist>", "exactly one value");
    ExpectRefused("<plist>text<true/></plist>", "exactly one value");
    ExpectRefused(Document("<set/>"), "unknown element <set>");
    ExpectRefused(Document("<array>text<true/></array>"), "text inside <array>");
    ExpectRefused(Document("<string>a<b/></string>"), "<string> holds an element");
    ExpectRefused(Document("<date>2020-01-01T00:00:00Z</date>"), "dates");
    ExpectRefused("<true/><true/>", "one root element");
    ExpectRefused("", "");
    ExpectRefused("<plist><dict>", "offset");
    ExpectRefused("<plist><dict></array></plist>", "offset");
    for (const char* bad : {"AA!A", "A", "AAAAA", "AA==AA", "====", "A==="})
        ExpectRefused(Document("<data>" + std::string(bad) + "</data>"), "base64");
    const auto nested = [](std::size_t depth)
    {
        std::string text;
        for (std::size_t i = 0; i < depth; ++i)
            text += "<array>";
        text += "<true/>";
        for (std::size_t i = 0; i < depth; ++i)
            text += "</array>";
        return Document(text);
    };
    CFType out;
    std::string error;
    EXPECT_TRUE(ReadText(nested(XMLPropertyList::kMaxDepth), out, error)) << error;
    ExpectRefused(nested(XMLPropertyList::kMaxDepth + 1), "nested too deeply");
    ExpectRefused(nested(100000), "nested too deeply");
}

TEST(XMLPropertyList, RefusesEveryTruncation)
{
    const std::string text = Text(Write(PlistSamples::EveryKind()));
    // Everything short of the closing "</plist>" is unfinished; the final line feed is not
    // needed.
    for (std::size_t size = 0; size + 1 < text.size(); ++size)
    {
        SCOPED_TRACE(size);
        CFType out;
        std::string error;
        EXPECT_FALSE(ReadText(std::string_view(text).substr(0, size), out, error));
    }
}
