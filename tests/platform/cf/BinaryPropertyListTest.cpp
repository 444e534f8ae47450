#include "PlistSamples.h"

#include "platform/cf/BinaryPropertyList.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

namespace
{
using Bytes = std::vector<std::uint8_t>;

Bytes BigEndian(std::uint64_t value, unsigned width)
{
    Bytes out;
    for (unsigned i = width; i-- > 0;)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    return out;
}

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

// A file made by hand from raw objects, so that widths and references can be anything a file
// may hold, including what our writer never produces.
Bytes Assemble(const std::vector<Bytes>& objects, unsigned offsetSize = 1, unsigned refSize = 1)
{
    Bytes file{'b', 'p', 'l', 'i', 's', 't', '0', '0'};
    Bytes offsets;
    for (const Bytes& object : objects)
    {
        offsets = Concat({offsets, BigEndian(file.size(), offsetSize)});
        file = Concat({file, object});
    }
    return Concat({file,
                   offsets,
                   Bytes(6, 0),
                   {static_cast<std::uint8_t>(offsetSize), static_cast<std::uint8_t>(refSize)},
                   BigEndian(objects.size(), 8),
                   BigEndian(0, 8),
                   BigEndian(file.size(), 8)});
}

bool Read(const Bytes& file, CFType& out, std::string& error)
{
    return BinaryPropertyList::Read(file.data(), file.size(), out, error);
}

CFType RoundTrip(const CFType& value)
{
    CFType back;
    std::string error;
    EXPECT_TRUE(Read(BinaryPropertyList::Write(value), back, error)) << error;
    return back;
}

CFType Nested(std::size_t depth)
{
    CFType value = CFType::SInt32(1);
    for (std::size_t i = 0; i < depth; ++i)
        value = CFType::Array({std::move(value)});
    return value;
}
} // namespace

TEST(BinaryPropertyList, WritesTheSmallestFormOfEachValue)
{
    // Header (8), the integer 1 as marker 0x10 and one byte (2), a 1-byte offset table holding
    // 8 (1), then the trailer: 6 zero bytes, offset and reference widths 1, 1 object, root 0,
    // offset table at 8 + 2 = 10; Assemble lays out exactly that.
    EXPECT_EQ(BinaryPropertyList::Write(CFType::SInt32(1)), Assemble({{0x10, 0x01}}));
    const std::pair<CFType, Bytes> cases[] = {
        // Integers: marker 0x10 | log2(bytes); negative numbers always take 8 bytes.
        {CFType::SInt64(255), {0x10, 0xFF}},
        {CFType::SInt64(256), {0x11, 0x01, 0x00}},
        {CFType::SInt64(65536), {0x12, 0x00, 0x01, 0x00, 0x00}},
        {CFType::SInt64(-1), Concat({{0x13}, Bytes(8, 0xFF)})},
        // Reals keep their width: 0.1f is 0x3DCCCCCD, 0.1 is 0x3FB999999999999A.
        {CFType::Float32(0.1f), {0x22, 0x3D, 0xCC, 0xCC, 0xCD}},
        {CFType::Float64(0.1), {0x23, 0x3F, 0xB9, 0x99, 0x99, 0x99, 0x99, 0x99, 0x9A}},
        // ASCII, or UTF-16 big-endian ("é€" is U+00E9 U+20AC); fifteen characters no longer
        // fit the marker's nibble: 0x5F, then the count as 0x10 15.
        {CFType::String("ab"), {0x52, 'a', 'b'}},
        {CFType::String("\xC3\xA9\xE2\x82\xAC"), {0x62, 0x00, 0xE9, 0x20, 0xAC}},
        {CFType::String("fifteen chars.."), {0x5F, 0x10, 15, 'f'}},
        // 70000 data bytes: 0x4F, the count 0x00011170 as 0x12 and 4 bytes, the bytes verbatim.
        {CFType::Data(CFDataStorage(70000, 7)), {0x4F, 0x12, 0x00, 0x01, 0x11, 0x70, 7, 7}},
    };
    for (const auto& [value, head] : cases)
    {
        const Bytes file = BinaryPropertyList::Write(value);
        EXPECT_EQ(Bytes(file.begin() + 8, file.begin() + 8 + std::ssize(head)), head);
    }
}

TEST(BinaryPropertyList, RoundTripsEveryKindAndWidth)
{
    for (const CFType& value : {EveryKindPlist(), CFType(), Nested(BinaryPropertyList::kMaxDepth)})
        EXPECT_EQ(RoundTrip(value), value);
    EXPECT_EQ(RoundTrip(CFType::Float32(0.1f)).GetNumberType(), CFNumberType::Float32);
    EXPECT_TRUE(std::signbit(RoundTrip(CFType::Float64(-0.0)).AsFloat64()));
    // Distinct integers after one Data value, so that the widest offset is the last integer's.
    for (const auto& [count, dataBytes, offsetSize, refSize] :
         {std::array<std::size_t, 4>{10, 10, 1, 1},
          {300, 10, 2, 2},
          {10, 70000, 4, 1},
          {70000, 10, 4, 4}})
    {
        SCOPED_TRACE(count);
        CFArrayStorage items{CFType::Data(CFDataStorage(dataBytes, 1))};
        for (std::size_t i = 0; i < count; ++i)
            items.push_back(CFType::SInt64(static_cast<std::int64_t>(i)));
        const CFType tree = CFType::Array(std::move(items));
        const Bytes file = BinaryPropertyList::Write(tree);
        EXPECT_EQ(file[file.size() - 26], offsetSize); // trailer fields, from the end
        EXPECT_EQ(file[file.size() - 25], refSize);
        EXPECT_EQ(RoundTrip(tree), tree);
    }
    // Other writers' widths, and a shared child that is no cycle: [x, x] with x = [].
    CFType out;
    std::string error;
    for (const unsigned w : {1u, 3u, 8u})
    {
        const Bytes array = Concat({{0xA2}, BigEndian(1, w), BigEndian(1, w)});
        ASSERT_TRUE(Read(Assemble({array, {0xA0}}, w, w), out, error)) << error;
        EXPECT_EQ(out, CFType::Array({CFType::Array(), CFType::Array()}));
    }
}

TEST(BinaryPropertyList, RefusesTruncationsAndBadTrailersOffsetsAndObjectsUntouched)
{
    const Bytes good = Assemble({{0x10, 5}});
    const std::size_t t = good.size() - 32; // trailer start
    const auto with = [&](std::size_t at, const Bytes& bytes)
    {
        Bytes file = good;
        std::copy(bytes.begin(), bytes.end(), file.begin() + static_cast<std::ptrdiff_t>(at));
        return file;
    };
    // 40 arrays, each holding the next one twice: 2^40 values from a 150-byte file.
    std::vector<Bytes> doubling;
    for (std::uint8_t i = 1; i <= 40; ++i)
        doubling.push_back({0xA2, i, i});
    doubling.push_back({0x09});
    const std::pair<Bytes, const char*> cases[] = {
        {Bytes(good.begin() + 1, good.end()), "header"},
        {with(t + 6, {9}), "width"},
        {with(t + 8, BigEndian(~std::uint64_t{0}, 8)), "object count"},
        {with(t + 16, BigEndian(1, 8)), "root"},
        {with(t + 24, BigEndian(~std::uint64_t{0} - 4, 8)), "offset table"},
        {with(10, {3}), "offset"},  // object inside the header
        {with(10, {10}), "offset"}, // object on the offset table itself
        {Assemble({{0xA1, 7}}), "reference 7 out of range"},
        // Huge counts are refused before anything is allocated.
        {Assemble({Concat({{0x4F, 0x13}, BigEndian(std::uint64_t{1} << 62, 8)})}), "truncated"},
        {Assemble({Concat({{0xDF, 0x13}, BigEndian(~std::uint64_t{0}, 8)})}), "truncated"},
        {Assemble({{0xA1, 1}, {0xA1, 0}}), "contains itself"},
        {BinaryPropertyList::Write(Nested(BinaryPropertyList::kMaxDepth + 1)), "nested too deeply"},
        {Assemble(doubling), "too many values"},
        // 2^63 (other writers' form for large unsigned values) does not fit an SInt64.
        {Assemble({Concat({{0x14}, Bytes(8, 0), {0x80}, Bytes(7, 0)})}), "beyond 64 bits"},
        {Assemble({{0xD1, 1, 1}, {0x10, 1}}), "key is not a string"},
        {Assemble({Concat({{0x33}, Bytes(8, 0)})}), "dates"},
        {Assemble({{0x80, 1}}), "unsupported"}, // UID
        {Assemble({{0x0F}}), "unknown"},        // fill byte
        {Assemble({{0x51, 0xE9}}), "non-ASCII"},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i)
    {
        SCOPED_TRACE(i);
        CFType out = CFType::String("untouched");
        std::string error;
        EXPECT_FALSE(Read(cases[i].first, out, error));
        EXPECT_NE(error.find(cases[i].second), std::string::npos) << error;
        EXPECT_EQ(out, CFType::String("untouched"));
    }
    const Bytes file = BinaryPropertyList::Write(EveryKindPlist());
    for (std::size_t size = 0; size < file.size(); ++size)
    {
        CFType out;
        std::string error;
        EXPECT_FALSE(BinaryPropertyList::Read(file.data(), size, out, error) || error.empty());
    }
}
