#include "PlistSamples.h"

#include "platform/cf/BinaryPropertyList.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

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

// A bplist00 file made by hand from raw objects, so that widths and references can be
// anything a file may hold, including what our writer never produces.
Bytes Assemble(const std::vector<Bytes>& objects, unsigned offsetSize, unsigned refSize,
               std::uint64_t root = 0)
{
    Bytes file{'b', 'p', 'l', 'i', 's', 't', '0', '0'};
    Bytes offsets;
    for (const Bytes& object : objects)
    {
        const Bytes offset = BigEndian(file.size(), offsetSize);
        offsets.insert(offsets.end(), offset.begin(), offset.end());
        file.insert(file.end(), object.begin(), object.end());
    }
    const std::uint64_t table = file.size();
    return Concat({file, offsets, Bytes(6, 0),
                   Bytes{static_cast<std::uint8_t>(offsetSize), static_cast<std::uint8_t>(refSize)},
                   BigEndian(objects.size(), 8), BigEndian(root, 8), BigEndian(table, 8)});
}

bool Read(const Bytes& file, CFType& out, std::string& error)
{
    return BinaryPropertyList::Read(file.data(), file.size(), out, error);
}

CFType RoundTrip(const CFType& value)
{
    const Bytes file = BinaryPropertyList::Write(value);
    CFType back;
    std::string error;
    EXPECT_TRUE(Read(file, back, error)) << error;
    return back;
}

// Trailer fields, counted back from the end of the file.
unsigned OffsetSizeOf(const Bytes& file)
{
    return file[file.size() - 26];
}
unsigned RefSizeOf(const Bytes& file)
{
    return file[file.size() - 25];
}

// Fails with an error mentioning what, and leaves out alone.
void ExpectRefused(const Bytes& file, const std::string& what)
{
    CFType out = CFType::String("untouched");
    std::string error;
    EXPECT_FALSE(Read(file, out, error));
    EXPECT_NE(error.find(what), std::string::npos) << error;
    EXPECT_EQ(out, CFType::String("untouched"));
}
} // namespace

TEST(BinaryPropertyList, WritesTheSmallestFormOfEachValue)
{
    // Header (8), the integer 1 as marker 0x10 and one byte (2), a 1-byte offset table
    // holding 8 (1), then the trailer: 6 zero bytes, offset width 1, reference width 1,
    // 1 object, root object 0, offset table at 8 + 2 = 10.
    EXPECT_EQ(BinaryPropertyList::Write(CFType::SInt32(1)),
              Concat({{'b', 'p', 'l', 'i', 's', 't', '0', '0', 0x10, 0x01, 0x08},
                      Bytes(6, 0),
                      {1, 1},
                      BigEndian(1, 8),
                      BigEndian(0, 8),
                      BigEndian(10, 8)}));
    const auto object = [](const CFType& value, std::size_t bytes)
    {
        const Bytes file = BinaryPropertyList::Write(value);
        return Bytes(file.begin() + 8, file.begin() + 8 + static_cast<std::ptrdiff_t>(bytes));
    };
    // Integers: marker 0x10 | log2(bytes); negative numbers always take 8 bytes.
    EXPECT_EQ(object(CFType::SInt64(255), 2), (Bytes{0x10, 0xFF}));
    EXPECT_EQ(object(CFType::SInt64(256), 3), (Bytes{0x11, 0x01, 0x00}));
    EXPECT_EQ(object(CFType::SInt64(65536), 1), (Bytes{0x12}));
    EXPECT_EQ(object(CFType::SInt64(4294967296), 1), (Bytes{0x13}));
    EXPECT_EQ(object(CFType::SInt64(-1), 9), Concat({{0x13}, Bytes(8, 0xFF)}));
    // Reals keep their width: 0.1f is 0x3DCCCCCD, 0.1 is 0x3FB999999999999A.
    EXPECT_EQ(object(CFType::Float32(0.1f), 5), (Bytes{0x22, 0x3D, 0xCC, 0xCC, 0xCD}));
    EXPECT_EQ(object(CFType::Float64(0.1), 9),
              (Bytes{0x23, 0x3F, 0xB9, 0x99, 0x99, 0x99, 0x99, 0x99, 0x9A}));
    // Strings: ASCII, or UTF-16 big-endian ("é€" is U+00E9 U+20AC); fifteen characters no
    // longer fit the marker's nibble: 0x5F, then the count as 0x10 15.
    EXPECT_EQ(object(CFType::String("ab"), 3), (Bytes{0x52, 'a', 'b'}));
    EXPECT_EQ(object(CFType::String("\xC3\xA9\xE2\x82\xAC"), 5),
              (Bytes{0x62, 0x00, 0xE9, 0x20, 0xAC}));
    EXPECT_EQ(object(CFType::String("fifteen chars.."), 3), (Bytes{0x5F, 0x10, 15}));
}

TEST(BinaryPropertyList, RoundTripsEveryKindAndWidth)
{
    for (const CFType& value : {PlistSamples::EveryKind(), PlistSamples::StateLike(1000), CFType(),
                                CFType::Array(), CFType::Dictionary(), CFType::String("")})
        EXPECT_EQ(RoundTrip(value), value);
    EXPECT_EQ(RoundTrip(CFType::Float32(0.1f)).GetNumberType(), CFNumberType::Float32);
    EXPECT_EQ(RoundTrip(CFType::SInt64(std::numeric_limits<std::int64_t>::min())).AsSInt64(),
              std::numeric_limits<std::int64_t>::min());
    const CFType negativeZero = RoundTrip(CFType::Float64(-0.0));
    EXPECT_TRUE(std::signbit(negativeZero.AsFloat64()));

    struct Case
    {
        std::size_t items;     // distinct integers in an array
        std::size_t dataBytes; // one Data value before them
        unsigned refSize;
        unsigned offsetSize;
    };
    // items + 2 objects; the widest offset is the last integer's, after the data.
    const Case cases[] = {{10, 10, 1, 1},
                          {300, 10, 2, 2},    // 302 objects; offsets near 8 + 600 + 300 * 3
                          {10, 70000, 1, 4},  // offsets beyond 65535
                          {70000, 10, 4, 4}}; // 70002 objects
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.items);
        CFArrayStorage items{CFType::Data(CFDataStorage(c.dataBytes, 1))};
        for (std::size_t i = 0; i < c.items; ++i)
            items.push_back(CFType::SInt64(static_cast<std::int64_t>(i)));
        const CFType tree = CFType::Array(std::move(items));
        const Bytes file = BinaryPropertyList::Write(tree);
        EXPECT_EQ(RefSizeOf(file), c.refSize);
        EXPECT_EQ(OffsetSizeOf(file), c.offsetSize);
        EXPECT_EQ(RoundTrip(tree), tree);
    }
}

TEST(BinaryPropertyList, BigDataBytesAreStoredVerbatim)
{
    const CFDataStorage frames = PlistSamples::BigEndianFrames(1000000);
    const CFType tree = CFType::Dictionary({{"samples", CFType::Data(frames)}});
    const Bytes file = BinaryPropertyList::Write(tree);
    // The dictionary at 8 (0xD1 and two 1-byte references: 3 bytes), the key at 11 (0x57
    // "samples": 8 bytes), the data at 19 (0x4F, then 8000000 as 0x12 and 4 bytes), so its
    // bytes start at 25.
    ASSERT_GE(file.size(), 25 + frames.size());
    EXPECT_EQ(Bytes(file.begin() + 19, file.begin() + 25),
              (Bytes{0x4F, 0x12, 0x00, 0x7A, 0x12, 0x00}));
    EXPECT_EQ(std::memcmp(file.data() + 25, frames.data(), frames.size()), 0);
    EXPECT_EQ(RoundTrip(tree), tree);
}

TEST(BinaryPropertyList, ReadsWhatOtherWritersMayProduce)
{
    for (unsigned offsetSize = 1; offsetSize <= 8; ++offsetSize)
        for (unsigned refSize = 1; refSize <= 8; ++refSize)
        {
            SCOPED_TRACE(testing::Message() << offsetSize << " " << refSize);
            // ["x", 5] as object 0, "x" as object 1, 5 as object 2.
            const Bytes array = Concat({{0xA2}, BigEndian(1, refSize), BigEndian(2, refSize)});
            CFType out;
            std::string error;
            ASSERT_TRUE(
                Read(Assemble({array, {0x51, 'x'}, {0x10, 5}}, offsetSize, refSize), out, error))
                << error;
            EXPECT_EQ(out, CFType::Array({CFType::String("x"), CFType::SInt64(5)}));
        }
    // -2 sign-extended to 16 bytes; shared (not cyclic) children: [x, x] with x = [].
    CFType out;
    std::string error;
    ASSERT_TRUE(Read(Assemble({Concat({{0x14}, Bytes(15, 0xFF), {0xFE}})}, 1, 1), out, error));
    EXPECT_EQ(out.AsSInt64(), -2);
    ASSERT_TRUE(Read(Assemble({{0xA2, 1, 1}, {0xA0}}, 1, 1), out, error)) << error;
    EXPECT_EQ(out, CFType::Array({CFType::Array(), CFType::Array()}));
}

TEST(BinaryPropertyList, RefusesTruncatedAndSurvivesCorruptedFiles)
{
    const Bytes file = BinaryPropertyList::Write(PlistSamples::EveryKind());
    CFType out;
    std::string error;
    for (std::size_t size = 0; size < file.size(); ++size)
    {
        error.clear();
        EXPECT_FALSE(BinaryPropertyList::Read(file.data(), size, out, error)) << size;
        EXPECT_FALSE(error.empty()) << size;
    }
    // Any corrupted byte gives an answer without a crash or undefined behaviour (the sanitizer
    // builds check that); the fuzzer goes further.
    for (std::size_t i = 0; i < file.size(); ++i)
        for (const std::uint8_t value :
             {std::uint8_t{0x00}, std::uint8_t{0xFF}, static_cast<std::uint8_t>(file[i] ^ 0x80)})
        {
            Bytes broken = file;
            broken[i] = value;
            error.clear();
            EXPECT_TRUE(Read(broken, out, error) || !error.empty()) << i;
        }
}

TEST(BinaryPropertyList, RefusesBadTrailersOffsetsAndObjects)
{
    const Bytes good = Assemble({{0x10, 5}}, 1, 1);
    const std::size_t t = good.size() - 32; // trailer start
    const auto with = [&](std::size_t at, Bytes bytes)
    {
        Bytes file = good;
        std::copy(bytes.begin(), bytes.end(), file.begin() + static_cast<std::ptrdiff_t>(at));
        return file;
    };
    const auto nested = [](std::size_t depth)
    {
        CFType value = CFType::SInt32(1);
        for (std::size_t i = 0; i < depth; ++i)
            value = CFType::Array({std::move(value)});
        return value;
    };
    EXPECT_EQ(RoundTrip(nested(BinaryPropertyList::kMaxDepth)),
              nested(BinaryPropertyList::kMaxDepth));
    // 40 arrays, each holding the next one twice: 2^40 values from a 150-byte file.
    std::vector<Bytes> doubling;
    for (std::uint8_t i = 0; i < 40; ++i)
        doubling.push_back(
            {0xA2, static_cast<std::uint8_t>(i + 1), static_cast<std::uint8_t>(i + 1)});
    doubling.push_back({0x09});
    const std::pair<Bytes, const char*> cases[] = {
        {Bytes(good.begin() + 1, good.end()), "header"},
        {with(0, {'b', 'p', 'l', 'i', 's', 't', '1', '5'}), "header"},
        {with(t + 6, {0}), "width"},
        {with(t + 6, {9}), "width"},
        {with(t + 7, {0}), "width"},
        {with(t + 8, BigEndian(0, 8)), "object count"},
        {with(t + 8, BigEndian(~std::uint64_t{0}, 8)), "object count"},
        {with(t + 16, BigEndian(1, 8)), "root"},
        {with(t + 24, BigEndian(t + 1, 8)), "offset table"},
        {with(t + 24, BigEndian(~std::uint64_t{0} - 4, 8)), "offset table"},
        {with(10, {3}), "offset"},  // object inside the header
        {with(10, {10}), "offset"}, // object on the offset table itself
        {Assemble({{0xA1, 7}}, 1, 1), "reference 7 out of range"},
        // Huge counts are refused before anything is allocated.
        {Assemble({Concat({{0x4F, 0x13}, BigEndian(std::uint64_t{1} << 62, 8)})}, 1, 1),
         "truncated"},
        {Assemble({Concat({{0xAF, 0x13}, BigEndian(std::uint64_t{1} << 40, 8)})}, 1, 1),
         "truncated"},
        {Assemble({Concat({{0xDF, 0x13}, BigEndian(~std::uint64_t{0}, 8)})}, 1, 1), "truncated"},
        {Assemble({Concat({{0x6F, 0x13}, BigEndian(~std::uint64_t{0} / 2 + 1, 8)})}, 1, 1),
         "truncated"},
        {Assemble({{0x4F, 0x14, 0}}, 1, 1), "count"}, // a 16-byte count
        {Assemble({{0xA1, 0}}, 1, 1), "contains itself"},
        {Assemble({{0xA1, 1}, {0xA1, 0}}, 1, 1), "contains itself"},
        {Assemble({{0xD1, 1, 0}, {0x51, 'k'}}, 1, 1), "contains itself"},
        {BinaryPropertyList::Write(nested(BinaryPropertyList::kMaxDepth + 1)), "nested too deeply"},
        {Assemble(doubling, 1, 1), "too many values"},
        // 2^63 (other writers' form for large unsigned values) does not fit an SInt64.
        {Assemble({Concat({{0x14}, Bytes(8, 0), {0x80}, Bytes(7, 0)})}, 1, 1), "beyond 64 bits"},
        {Assemble({{0xD1, 1, 1}, {0x10, 1}}, 1, 1), "key is not a string"},
        {Assemble({Concat({{0x33}, Bytes(8, 0)})}, 1, 1), "dates"},
        {Assemble({{0x80, 1}}, 1, 1), "unsupported"},   // UID
        {Assemble({{0xC0}}, 1, 1), "unsupported"},      // set
        {Assemble({{0x0F}}, 1, 1), "unknown"},          // fill byte
        {Assemble({{0x21, 0, 0}}, 1, 1), "real width"}, // 2-byte real
        {Assemble({{0x15}}, 1, 1), "integer width"},
        {Assemble({{0x51, 0xE9}}, 1, 1), "non-ASCII"},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i)
    {
        SCOPED_TRACE(i);
        ExpectRefused(cases[i].first, cases[i].second);
    }
}
