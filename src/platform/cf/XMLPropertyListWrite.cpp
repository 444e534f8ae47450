// Writing the XML form, by hand rather than through a DOM: a preset holds tens of megabytes
// of base64, which goes straight into the output buffer.
#include "platform/cf/XMLPropertyList.h"

#include "platform/cf/CFUnicode.h"

#include <charconv>
#include <cmath>

namespace
{
constexpr std::string_view kPrologue = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                       "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                                       "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                                       "<plist version=\"1.0\">\n";
constexpr std::string_view kEpilogue = "</plist>\n";
constexpr std::size_t kBase64Line = 76; // characters of base64 per line, as other tools write
constexpr char kBase64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

class Writer
{
public:
    explicit Writer(std::vector<std::uint8_t>& out) : mOut(out) {}

    bool Value(const CFType& value, std::size_t depth)
    {
        switch (value.GetKind())
        {
        case CFType::Kind::Null:
            return Fail("a Null value has no XML form");
        case CFType::Kind::Boolean:
            Line(depth, value.AsBoolean() ? "<true/>" : "<false/>");
            return true;
        case CFType::Kind::Number:
            Number(value, depth);
            return true;
        case CFType::Kind::String:
            return Text(depth, "string", value.AsString());
        case CFType::Kind::Data:
            Data(value.AsData(), depth);
            return true;
        case CFType::Kind::Array:
            return Array(value.AsArray(), depth);
        case CFType::Kind::Dictionary:
            return Dictionary(value.AsDictionary(), depth);
        }
        return false;
    }

    const std::string& Error() const { return mError; }

private:
    bool Fail(std::string text)
    {
        mError = std::move(text);
        return false;
    }

    void Append(std::string_view text) { mOut.insert(mOut.end(), text.begin(), text.end()); }

    void Indent(std::size_t depth) { mOut.insert(mOut.end(), depth, '\t'); }

    void Line(std::size_t depth, std::string_view text)
    {
        Indent(depth);
        Append(text);
        mOut.push_back('\n');
    }

    void Number(const CFType& value, std::size_t depth)
    {
        char digits[32];
        std::string_view text;
        if (!value.IsFloatNumber())
        {
            const auto end = std::to_chars(digits, digits + sizeof digits, value.AsSInt64()).ptr;
            text = std::string_view(digits, static_cast<std::size_t>(end - digits));
        }
        else if (std::isnan(value.AsFloat64()))
        {
            text = "nan";
        }
        else if (std::isinf(value.AsFloat64()))
        {
            text = value.AsFloat64() > 0 ? "+infinity" : "-infinity";
        }
        else
        {
            // The shortest text that reads back as exactly this double.
            const auto end = std::to_chars(digits, digits + sizeof digits, value.AsFloat64()).ptr;
            text = std::string_view(digits, static_cast<std::size_t>(end - digits));
        }
        Indent(depth);
        Append(value.IsFloatNumber() ? "<real>" : "<integer>");
        Append(text);
        Append(value.IsFloatNumber() ? "</real>\n" : "</integer>\n");
    }

    bool Text(std::size_t depth, std::string_view tag, const std::string& text)
    {
        if (!CFUnicode::IsValidUtf8(text)) return Fail("string is not valid UTF-8");
        Indent(depth);
        mOut.push_back('<');
        Append(tag);
        mOut.push_back('>');
        std::size_t plain = 0; // start of the run of characters that need no escape
        for (std::size_t i = 0; i < text.size(); ++i)
        {
            const auto c = static_cast<unsigned char>(text[i]);
            std::string_view escape;
            if (c == '&')
                escape = "&amp;";
            else if (c == '<')
                escape = "&lt;";
            else if (c == '>')
                escape = "&gt;";
            else if (c == '\r')
                escape = "&#13;"; // a raw one would come back as a line feed
            else if (c < 0x20 && c != '\t' && c != '\n')
                return Fail("string holds a control character that XML cannot carry");
            else if (c == 0xEF && text.size() - i >= 3 &&
                     static_cast<unsigned char>(text[i + 1]) == 0xBF &&
                     (static_cast<unsigned char>(text[i + 2]) & 0xFE) == 0xBE)
                return Fail("string holds U+FFFE or U+FFFF, which XML cannot carry");
            else
                continue;
            Append(std::string_view(text).substr(plain, i - plain));
            Append(escape);
            plain = i + 1;
        }
        Append(std::string_view(text).substr(plain));
        Append("</");
        Append(tag);
        Append(">\n");
        return true;
    }

    void Data(const CFDataStorage& bytes, std::size_t depth)
    {
        if (bytes.empty())
        {
            Line(depth, "<data></data>");
            return;
        }
        Line(depth, "<data>");
        const std::size_t encoded = (bytes.size() + 2) / 3 * 4;
        const std::size_t lines = (encoded + kBase64Line - 1) / kBase64Line;
        std::size_t pos = mOut.size();
        mOut.resize(pos + encoded + lines * (depth + 1));
        std::uint8_t* out = mOut.data();
        std::size_t column = 0;
        const auto put = [&](char c)
        {
            if (column == 0)
            {
                for (std::size_t i = 0; i < depth; ++i)
                    out[pos++] = '\t';
            }
            out[pos++] = static_cast<std::uint8_t>(c);
            if (++column == kBase64Line)
            {
                out[pos++] = '\n';
                column = 0;
            }
        };
        const auto letter = [](std::uint32_t group, int shift)
        { return kBase64Alphabet[(group >> shift) & 0x3F]; };
        const std::size_t whole = bytes.size() / 3 * 3;
        for (std::size_t i = 0; i < whole; i += 3)
        {
            const std::uint32_t group =
                std::uint32_t{bytes[i]} << 16 | std::uint32_t{bytes[i + 1]} << 8 | bytes[i + 2];
            put(letter(group, 18));
            put(letter(group, 12));
            put(letter(group, 6));
            put(letter(group, 0));
        }
        if (whole < bytes.size())
        {
            // One or two bytes left: two or three letters, padded with '=' to four.
            const bool two = bytes.size() - whole == 2;
            const std::uint32_t group = std::uint32_t{bytes[whole]} << 16 |
                                        (two ? std::uint32_t{bytes[whole + 1]} << 8 : 0);
            put(letter(group, 18));
            put(letter(group, 12));
            put(two ? letter(group, 6) : '=');
            put('=');
        }
        if (column != 0) out[pos++] = '\n';
        mOut.resize(pos);
        Line(depth, "</data>");
    }

    bool Array(const CFArrayStorage& items, std::size_t depth)
    {
        if (items.empty())
        {
            Line(depth, "<array/>");
            return true;
        }
        Line(depth, "<array>");
        for (const CFType& item : items)
        {
            if (!Value(item, depth + 1)) return false;
        }
        Line(depth, "</array>");
        return true;
    }

    bool Dictionary(const CFDictionaryStorage& entries, std::size_t depth)
    {
        if (entries.empty())
        {
            Line(depth, "<dict/>");
            return true;
        }
        Line(depth, "<dict>");
        for (const auto& [key, item] : entries)
        {
            if (!Text(depth + 1, "key", key) || !Value(item, depth + 1)) return false;
        }
        Line(depth, "</dict>");
        return true;
    }

    std::vector<std::uint8_t>& mOut;
    std::string mError;
};
} // namespace

bool XMLPropertyList::Write(const CFType& root, std::vector<std::uint8_t>& out, std::string& error)
{
    std::vector<std::uint8_t> bytes(kPrologue.begin(), kPrologue.end());
    Writer writer(bytes);
    if (!writer.Value(root, 0))
    {
        error = "XML property list: " + writer.Error();
        return false;
    }
    bytes.insert(bytes.end(), kEpilogue.begin(), kEpilogue.end());
    out = std::move(bytes);
    return true;
}
