#pragma once
// UTF-8 and UTF-16 conversions for property-list strings.  The model holds UTF-8; the
// binary form stores non-ASCII strings as UTF-16 big-endian.  Ill-formed input never
// fails a conversion: each bad byte (or unpaired surrogate) becomes U+FFFD, the way a
// text editor shows a damaged file.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class CFUnicode
{
public:
    static constexpr char32_t kReplacement = 0xFFFD;

    // Decodes the code point at pos and moves pos past it.  Returns false (and gives
    // kReplacement, moving one byte on) when the bytes there are not well-formed UTF-8.
    static bool NextUtf8(std::string_view text, std::size_t& pos, char32_t& codePoint);
    static void AppendUtf8(char32_t codePoint, std::string& out);

    static bool IsValidUtf8(std::string_view text);
    static std::string MakeValidUtf8(std::string text); // untouched when already valid

    static std::u16string Utf8ToUtf16(std::string_view text);
    // count code units read big-endian from bytes (2 * count bytes).
    static std::string Utf16BEToUtf8(const std::uint8_t* bytes, std::size_t count);
};
