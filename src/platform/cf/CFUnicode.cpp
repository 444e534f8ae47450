#include "platform/cf/CFUnicode.h"

namespace
{
bool IsContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}
} // namespace

bool CFUnicode::NextUtf8(std::string_view text, std::size_t& pos, char32_t& codePoint)
{
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (lead < 0x80)
    {
        codePoint = lead;
        ++pos;
        return true;
    }
    std::size_t length = 0;
    char32_t value = 0;
    char32_t smallest = 0; // below this the sequence is an overlong form
    if ((lead & 0xE0) == 0xC0)
    {
        length = 2;
        value = lead & 0x1F;
        smallest = 0x80;
    }
    else if ((lead & 0xF0) == 0xE0)
    {
        length = 3;
        value = lead & 0x0F;
        smallest = 0x800;
    }
    else if ((lead & 0xF8) == 0xF0)
    {
        length = 4;
        value = lead & 0x07;
        smallest = 0x10000;
    }
    bool valid = length != 0 && text.size() - pos >= length;
    for (std::size_t i = 1; valid && i < length; ++i)
    {
        const auto byte = static_cast<unsigned char>(text[pos + i]);
        valid = IsContinuation(byte);
        value = (value << 6) | (byte & 0x3F);
    }
    valid = valid && value >= smallest && value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF);
    if (!valid)
    {
        codePoint = kReplacement;
        ++pos;
        return false;
    }
    codePoint = value;
    pos += length;
    return true;
}

void CFUnicode::AppendUtf8(char32_t codePoint, std::string& out)
{
    if (codePoint < 0x80)
    {
        out += static_cast<char>(codePoint);
    }
    else if (codePoint < 0x800)
    {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
    else if (codePoint < 0x10000)
    {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
    else
    {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

bool CFUnicode::IsValidUtf8(std::string_view text)
{
    std::size_t pos = 0;
    char32_t codePoint = 0;
    while (pos < text.size())
    {
        if (!NextUtf8(text, pos, codePoint)) return false;
    }
    return true;
}

std::string CFUnicode::MakeValidUtf8(std::string text)
{
    if (IsValidUtf8(text)) return text;
    std::string valid;
    valid.reserve(text.size() + 16);
    std::size_t pos = 0;
    char32_t codePoint = 0;
    while (pos < text.size())
    {
        NextUtf8(text, pos, codePoint);
        AppendUtf8(codePoint, valid);
    }
    return valid;
}

std::u16string CFUnicode::Utf8ToUtf16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    char32_t codePoint = 0;
    while (pos < text.size())
    {
        NextUtf8(text, pos, codePoint);
        if (codePoint < 0x10000)
        {
            out += static_cast<char16_t>(codePoint);
        }
        else
        {
            const char32_t offset = codePoint - 0x10000;
            out += static_cast<char16_t>(0xD800 + (offset >> 10));
            out += static_cast<char16_t>(0xDC00 + (offset & 0x3FF));
        }
    }
    return out;
}

std::string CFUnicode::Utf16BEToUtf8(const std::uint8_t* bytes, std::size_t count)
{
    const auto unitAt = [bytes](std::size_t i) -> char32_t
    { return static_cast<char32_t>(bytes[2 * i] << 8 | bytes[2 * i + 1]); };
    std::string out;
    out.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
    {
        char32_t unit = unitAt(i);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < count && unitAt(i + 1) >= 0xDC00 &&
            unitAt(i + 1) <= 0xDFFF)
        {
            unit = 0x10000 + ((unit - 0xD800) << 10) + (unitAt(i + 1) - 0xDC00);
            ++i;
        }
        else if (unit >= 0xD800 && unit <= 0xDFFF)
        {
            unit = kReplacement;
        }
        AppendUtf8(unit, out);
    }
    return out;
}
