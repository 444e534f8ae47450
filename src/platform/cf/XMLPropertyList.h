#pragma once
// The XML property-list form: the <?xml?> declaration, the standard plist DOCTYPE and a
// <plist version="1.0"> root holding dict, array, key, string, integer, real, true, false
// and data (base64) elements.  Reading goes through pugixml and accepts what other tools
// write: comments, CDATA, entity and character references, any indentation, hexadecimal
// integers, "nan"/"inf"/"+infinity" reals, a bare value without the <plist> root.  It is
// built for hostile input like the binary reader: nesting deeper than kMaxDepth is refused,
// and dates, integers beyond 64 bits and reals beyond the double range are errors.

#include "platform/cf/CFType.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class XMLPropertyList
{
public:
    static constexpr std::size_t kMaxDepth = 512;

    // Fails (out untouched) for what XML cannot carry: a Null value, or a string or key that
    // holds a control character other than tab, line feed and carriage return, or is not
    // valid UTF-8.
    static bool Write(const CFType& root, std::vector<std::uint8_t>& out, std::string& error);

    // Replaces out only on success; on failure error says what is wrong.
    static bool Read(const std::uint8_t* bytes, std::size_t size, CFType& out, std::string& error);
};
