#include "PlistSamples.h"

#include "platform/cf/XMLPropertyList.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
using Bytes = std::vector<std::uint8_t>;

bool ReadText(std::string_view text, CFType& out, std::string& error)
{
    return XMLPropertyList::Read(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(),
                                 out, error);
}

CFType Parse(std::string_view text)
{
    CFType out;
    std::string error;
    EXPECT_TRUE(ReadText(text, out, error)) << error;
    return out;
}

std::string Document(std::string_view value)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n" +
           std::string(value) + "\n</plist>\n";
}

std::string Write(const CFType& value)
{
    Bytes out;
    std::string error;
    EXPECT_TRUE(XMLPropertyList::Write(value, out, error)) << error;
    return std::string(out.begin(), out.end());
}

CFType RoundTrip(const CFType& value)
{
    return Parse(Write(value));
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
    EXPECT_EQ(Write(tree), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                           "<plist version=\"1.0\">\n<dict>\n"
                           "\t<key>a</key>\n\t<array>\n\t\t<integer>1</integer>\n"
                           "\t\t<real>0.5</real>\n\t\t<true/>\n\t</array>\n"
                           "\t<key>b</key>\n\t<string>x&amp;y</string>\n"
                           "\t<key>c</key>\n\t<data>\n\tAAECAw==\n\t</data>\n"
                           "\t<key>d</key>\n\t<dict/>\n"
                           "</dict>\n</plist>\n");
    // 57 bytes (19 groups of 3) make exactly one line of 76 letters; 58 spill 4 letters onto a
    // second, padded.
    EXPECT_NE(Write(CFType::Data(CFDataStorage(57, 0)))
                  .find("<data>\n" + std::string(76, 'A') + "\n</data>"),
              std::string::npos);
    EXPECT_NE(Write(CFType::Data(CFDataStorage(58, 0)))
                  .find("<data>\n" + std::string(76, 'A') + "\nAA==\n</data>"),
              std::string::npos);
}

TEST(XMLPropertyList, RoundTripsEveryKindAndRefusesToWriteWhatItCannotCarry)
{
    const CFType tree = EveryKindPlist();
    EXPECT_EQ(RoundTrip(tree), tree);
    // A carriage return is escaped, or XML would read it back as a line feed.
    const CFType text = CFType::String("a<b>&c\r\nd");
    EXPECT_NE(Write(text).find("<string>a&lt;b&gt;&amp;c&#13;\nd</string>"), std::string::npos);
    EXPECT_EQ(RoundTrip(text), text);
    // A Float32 comes back as the Float64 of exactly the same value.
    const CFType back = RoundTrip(CFType::Float32(0.1f));
    EXPECT_EQ(back.GetNumberType(), CFNumberType::Float64);
    EXPECT_EQ(back.AsFloat64(), static_cast<double>(0.1f));

    const std::pair<CFType, const char*> unwritable[] = {
        {CFType::Array({CFType::SInt32(1), CFType()}), "Null"},
        {CFType::Dictionary({{"esc\x1B", CFType::SInt32(1)}}), "control character"},
        {CFType::Dictionary({{"bad\xFF", CFType::SInt32(1)}}), "UTF-8"},
        {CFType::String("\xEF\xBF\xBF"), "U+FFFF"}};
    for (const auto& [value, what] : unwritable)
    {
        SCOPED_TRACE(what);
        Bytes out{1, 2, 3};
        std::string error;
        EXPECT_FALSE(XMLPropertyList::Write(value, out, error));
        EXPECT_NE(error.find(what), std::string::npos) << error;
        EXPECT_EQ(out, (Bytes{1, 2, 3}));
    }
}

TEST(XMLPropertyList, ReadsWhatOtherToolsWrite)
{
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<std::string, CFType> cases[] = {
        {"<string>a<![CDATA[<b>]]>c</string>", CFType::String("a<b>c")},
        {"<string>&lt;&#233;&#x20AC;&quot;&apos;</string>",
         CFType::String("<\xC3\xA9\xE2\x82\xAC\"'")},
        {"<string>x\r\ny</string>", CFType::String("x\ny")}, // XML reads a raw CR LF as LF
        {"<integer> 0x1F </integer>", CFType::SInt64(31)},
        {"<integer>+7</integer>", CFType::SInt64(7)},
        {"<integer>-9223372036854775808</integer>", CFType::SInt64(INT64_MIN)},
        {"<real>-inf</real>", CFType::Float64(-inf)},
        {"<real>1.5E3</real>", CFType::Float64(1500.0)},
        {"<data>\r\n AAEC\r\n Aw\r\n</data>", CFType::Data({0, 1, 2, 3})},
        {"<array><!-- nothing --><string/></array>", CFType::Array({CFType::String("")})},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(Parse("\xEF\xBB\xBF" + Document(text)), value) << text;
    EXPECT_TRUE(std::isnan(Parse(Document("<real>nan</real>")).AsFloat64()));
}

TEST(XMLPropertyList, RefusesMalformedAndTruncatedDocumentsLeavingTheOutputAlone)
{
    std::string deep = "<true/>";
    for (std::size_t i = 0; i <= XMLPropertyList::kMaxDepth; ++i)
        deep = "<array>" + deep + "</array>";
    CFType out;
    std::string error;
    EXPECT_TRUE(ReadText(Document(deep.substr(7, deep.size() - 15)), out, error)) << error;
    const std::pair<std::string, const char*> cases[] = {
        {Document("<integer>9223372036854775808</integer>"), "beyond 64 bits"},
        {Document("<integer>12a</integer>"), "bad integer"},
        {Document("<real>1e999</real>"), "range of a double"},
        {Document("<real>1.5.5</real>"), "bad real"},
        {Document("<dict><key>k</key></dict>"), "key without a value"},
        {Document("<dict><string>k</string><true/></dict>"), "where a <key> belongs"},
        {Document("<true/><false/>"), "exactly one value"},
        {Document("<set/>"), "unknown element <set>"},
        {Document("<array>text<true/></array>"), "text inside <array>"},
        {Document("<string>a<b/></string>"), "<string> holds an element"},
        {Document("<date>2020-01-01T00:00:00Z</date>"), "dates"},
        {"<true/><true/>", "one root element"},
        {"<plist><dict></array></plist>", "offset"},
        {Document("<data>AA!A</data>"), "base64"},
        {Document("<data>AA==AA</data>"), "base64"},
        {Document(deep), "nested too deeply"},
    };
    for (const auto& [text, what] : cases)
    {
        SCOPED_TRACE(text);
        out = CFType::String("untouched");
        EXPECT_FALSE(ReadText(text, out, error));
        EXPECT_NE(error.find(what), std::string::npos) << error;
        EXPECT_EQ(out, CFType::String("untouched"));
    }
    // Everything short of the closing "</plist>" is unfinished; the final line feed is not.
    const std::string whole = Write(EveryKindPlist());
    for (std::size_t size = 0; size + 1 < whole.size(); ++size)
        EXPECT_FALSE(ReadText(std::string_view(whole).substr(0, size), out, error)) << size;
}
