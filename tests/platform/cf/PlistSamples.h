#pragma once
// A tree of every kind, shared by the property-list tests and the fuzzers' seed writer: integer
// width edges, NaN and infinite reals, escaped and unicode strings, empty and nested containers.
// No Null (XML has no form for it), no carriage return (XML reads it back as a line feed).

#include "platform/cf/CFType.h"

#include <limits>

inline CFType EveryKindPlist()
{
    using L64 = std::numeric_limits<std::int64_t>;
    const double inf = std::numeric_limits<double>::infinity();
    CFArrayStorage values{CFType::SInt16(-32768),
                          CFType::Float32(0.1f),
                          CFType::Float64(-0.0),
                          CFType::Float64(inf),
                          CFType::Float64(-inf),
                          CFType::Float64(std::numeric_limits<double>::quiet_NaN()),
                          CFType::Float64(std::numeric_limits<double>::denorm_min())};
    // The edges of the 1, 2, 4 and 8-byte integer forms; negative values always take 8 bytes.
    for (const std::int64_t value :
         {std::int64_t{255}, std::int64_t{256}, std::int64_t{65535}, std::int64_t{65536},
          std::int64_t{4294967295}, std::int64_t{4294967296}, L64::max(), std::int64_t{-1},
          L64::min()})
        values.push_back(CFType::SInt64(value));
    for (const char* text : {"", "fifteen chars..", "<&> \"quoted\" 'single'\ttab\nline  ",
                             "Gr\xC3\xBC\xC3\x9F"
                             "e \xE2\x82\xAC \xF0\x9F\x8E\xB9"}) // Grüße € 🎹
        values.push_back(CFType::String(text));
    return CFType::Dictionary(
        {{"values", CFType::Array(std::move(values))},
         {"false", CFType::Boolean(false)},
         {"data", CFType::Data({0x00, 0xFF, 0x10, 0x80, 0x7F})},
         {"", CFType::Array({CFType::Array(), CFType::Dictionary(), CFType::Data({})})},
         {"\xC3\xA9t\xC3\xA9",
          CFType::Array({CFType::Dictionary({{"t", CFType::Boolean(true)}})})}});
}
