#pragma once
// The binary property-list form ("bplist00"), as written and read by Core Foundation and
// by Python's plistlib.  Integers take the fewest of 1, 2, 4 or 8 bytes (negative ones 8),
// reals keep their width (4 or 8 bytes), strings are ASCII when they can be and UTF-16
// big-endian otherwise, equal strings are stored once.
//
// Read accepts any file those writers produce (references and offsets of any width) and is
// built for hostile input: every read is bounds-checked, counts are checked against the
// bytes that could hold them before anything is allocated, and cycles, nesting deeper than
// kMaxDepth and trees of more than kMaxValues values are refused.  Dates, UIDs and sets have
// no place in the model and are refused too, as are integers beyond 64 bits.

#include "platform/cf/CFType.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class BinaryPropertyList
{
public:
    static constexpr std::size_t kMaxDepth = 512;
    static constexpr std::size_t kMaxValues = std::size_t{1} << 22;

    // A Null value is written as the format's null object; every other kind has its own.
    static std::vector<std::uint8_t> Write(const CFType& root);

    // Replaces out only on success; on failure error says what is wrong and where.
    static bool Read(const std::uint8_t* bytes, std::size_t size, CFType& out, std::string& error);
};
