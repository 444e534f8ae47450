// Reading the XML form: pugixml builds the document, then the element tree is turned into
// values.  pugixml's own parser is not recursive, so only the conversion limits nesting.
#include "platform/cf/XMLPropertyList.h"

#include "platform/cf/CFUnicode.h"

#include <array>
#include <charconv>
#include <limits>
#include <pugixml.hpp>

namespace
{
bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && IsSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

bool IsWhitespace(std::string_view text)
{
    return Trim(text).empty();
}

// "<name>", for error texts.
std::string Tag(const pugi::xml_node& node)
{
    std::string tag = "<";
    tag += node.name();
    tag += '>';
    return tag;
}

// 0-63 for a base64 letter, 64 for anything else.
constexpr std::array<std::uint8_t, 256> kBase64Values = []
{
    std::array<std::uint8_t, 256> values{};
    values.fill(64);
    constexpr std::string_view alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (std::size_t i = 0; i < alphabet.size(); ++i)
        values[static_cast<unsigned char>(alphabet[i])] = static_cast<std::uint8_t>(i);
    return values;
}();

class Converter
{
public:
    bool Value(const pugi::xml_node& node, std::size_t depth, CFType& out)
    {
        const std::string_view name = node.name();
        if (name == "dict") return Dictionary(node, depth, out);
        if (name == "array") return Array(node, depth, out);
        if (name == "true" || name == "false")
        {
            out = CFType::Boolean(name == "true");
            return true;
        }
        std::string text;
        if (!Text(node, text)) return false;
        if (name == "string")
        {
            out = CFType::String(std::move(text));
            return true;
        }
        if (name == "integer") return Integer(Trim(text), out);
        if (name == "real") return Real(Trim(text), out);
        if (name == "data") return Data(text, out);
        if (name == "date") return Fail("dates are not supported");
        return Fail("unknown element " + Tag(node));
    }

    const std::string& Error() const { return mError; }

private:
    bool Fail(std::string text)
    {
        mError = std::move(text);
        return false;
    }

    // The character data of a leaf element, with CDATA sections joined in.
    bool Text(const pugi::xml_node& node, std::string& text)
    {
        for (const pugi::xml_node& child : node.children())
        {
            if (child.type() != pugi::node_pcdata && child.type() != pugi::node_cdata)
                return Fail(Tag(node) + " holds an element");
            text += std::string_view(child.value());
        }
        return true;
    }

    // The element children of a container; text between them must be blank.
    bool Children(const pugi::xml_node& node, std::vector<pugi::xml_node>& children)
    {
        for (const pugi::xml_node& child : node.children())
        {
            if (child.type() == pugi::node_element)
                children.push_back(child);
            else if (!IsWhitespace(child.value()))
                return Fail("text inside " + Tag(node));
        }
        return true;
    }

    bool Array(const pugi::xml_node& node, std::size_t depth, CFType& out)
    {
        if (depth >= XMLPropertyList::kMaxDepth) return Fail("containers nested too deeply");
        std::vector<pugi::xml_node> children;
        if (!Children(node, children)) return false;
        CFArrayStorage items(children.size());
        for (std::size_t i = 0; i < children.size(); ++i)
        {
            if (!Value(children[i], depth + 1, items[i])) return false;
        }
        out = CFType::Array(std::move(items));
        return true;
    }

    bool Dictionary(const pugi::xml_node& node, std::size_t depth, CFType& out)
    {
        if (depth >= XMLPropertyList::kMaxDepth) return Fail("containers nested too deeply");
        std::vector<pugi::xml_node> children;
        if (!Children(node, children)) return false;
        if (children.size() % 2 != 0) return Fail("<dict> holds a key without a value");
        CFDictionaryStorage entries;
        for (std::size_t i = 0; i < children.size(); i += 2)
        {
            if (std::string_view(children[i].name()) != "key")
                return Fail("<dict> holds " + Tag(children[i]) + " where a <key> belongs");
            std::string key;
            CFType value;
            if (!Text(children[i], key) || !Value(children[i + 1], depth + 1, value)) return false;
            entries.insert_or_assign(CFUnicode::MakeValidUtf8(std::move(key)), std::move(value));
        }
        out = CFType::Dictionary(std::move(entries));
        return true;
    }

    // Decimal, or hexadecimal after "0x", with an optional sign.
    bool Integer(std::string_view text, CFType& out)
    {
        const bool negative = !text.empty() && text.front() == '-';
        if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
        int base = 10;
        if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        {
            base = 16;
            text.remove_prefix(2);
        }
        std::uint64_t magnitude = 0;
        const auto [end, status] =
            std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
        if (text.empty() || status == std::errc::invalid_argument ||
            end != text.data() + text.size())
            return Fail("bad integer \"" + std::string(text) + "\"");
        constexpr std::uint64_t kMaxPositive = std::numeric_limits<std::int64_t>::max();
        if (status == std::errc::result_out_of_range || magnitude > kMaxPositive + negative)
            return Fail("integer beyond 64 bits");
        // Unsigned negation is defined, and the cast of 2^63 gives the smallest SInt64.
        out = CFType::SInt64(static_cast<std::int64_t>(negative ? 0 - magnitude : magnitude));
        return true;
    }

    bool Real(std::string_view text, CFType& out)
    {
        if (!text.empty() && text.front() == '+') text.remove_prefix(1);
        double value = 0.0;
        const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (text.empty() || status == std::errc::invalid_argument ||
            end != text.data() + text.size())
            return Fail("bad real \"" + std::string(text) + "\"");
        if (status == std::errc::result_out_of_range)
            return Fail("real beyond the range of a double");
        out = CFType::Float64(value);
        return true;
    }

    // Base64 with any whitespace between the letters; the '=' padding may be left out.
    bool Data(const std::string& text, CFType& out)
    {
        CFDataStorage bytes(text.size() / 4 * 3 + 3);
        std::size_t size = 0;
        std::uint32_t group = 0;
        std::size_t letters = 0;
        std::size_t padding = 0;
        for (const char c : text)
        {
            if (IsSpace(c)) continue;
            if (c == '=')
            {
                ++padding;
                continue;
            }
            const std::uint8_t value = kBase64Values[static_cast<unsigned char>(c)];
            if (value == 64 || padding != 0) return Fail("bad base64 in <data>");
            group = group << 6 | value;
            if (++letters % 4 == 0)
            {
                bytes[size++] = static_cast<std::uint8_t>(group >> 16);
                bytes[size++] = static_cast<std::uint8_t>(group >> 8);
                bytes[size++] = static_cast<std::uint8_t>(group);
            }
        }
        const std::size_t tail = letters % 4;
        if (tail == 1 || (padding != 0 && (tail < 2 || tail + padding != 4)))
            return Fail("bad base64 length in <data>");
        if (tail >= 2)
        {
            group <<= 6 * (4 - tail);
            bytes[size++] = static_cast<std::uint8_t>(group >> 16);
            if (tail == 3) bytes[size++] = static_cast<std::uint8_t>(group >> 8);
        }
        bytes.resize(size);
        out = CFType::Data(std::move(bytes));
        return true;
    }

    std::string mError;
};

// The only element child of parent, when there is exactly one and no text beside it.
bool OnlyElement(const pugi::xml_node& parent, pugi::xml_node& only)
{
    std::size_t elements = 0;
    for (const pugi::xml_node& child : parent.children())
    {
        if (child.type() == pugi::node_element)
        {
            only = child;
            ++elements;
        }
        else if (!IsWhitespace(child.value()))
        {
            return false;
        }
    }
    return elements == 1;
}

// The one value of the document: the element inside <plist>, or a bare root value.
bool RootValue(const pugi::xml_document& document, pugi::xml_node& value, std::string& error)
{
    pugi::xml_node root;
    if (!OnlyElement(document, root))
    {
        error = "the document must hold exactly one root element";
        return false;
    }
    if (std::string_view(root.name()) != "plist")
    {
        value = root;
        return true;
    }
    if (!OnlyElement(root, value))
    {
        error = "<plist> must hold exactly one value";
        return false;
    }
    return true;
}
} // namespace

bool XMLPropertyList::Read(const std::uint8_t* bytes, std::size_t size, CFType& out,
                           std::string& error)
{
    pugi::xml_document document;
    // Whitespace-only text is kept, so that <string> </string> keeps its blank.
    const pugi::xml_parse_result parsed = document.load_buffer(
        bytes, size, pugi::parse_default | pugi::parse_ws_pcdata, pugi::encoding_auto);
    if (!parsed)
    {
        error = std::string("XML property list: ") + parsed.description() + " at offset " +
                std::to_string(parsed.offset);
        return false;
    }
    pugi::xml_node node;
    std::string rootError;
    if (!RootValue(document, node, rootError))
    {
        error = "XML property list: " + rootError;
        return false;
    }
    Converter converter;
    CFType value;
    if (!converter.Value(node, 0, value))
    {
        error = "XML property list: " + converter.Error();
        return false;
    }
    out = std::move(value);
    return true;
}
