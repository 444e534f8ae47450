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
std::uint64_t ObjectCountOf(const Bytes& file)
{
    std::uint64_t count = 0;
    for (std::size_t i = file.size() - 24; i < file.size() - 16; ++i)
        count = count << 8 | file[i];
    return count;
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

TEST(BinaryPropertyList, ExactBytesOfASmallFile)
{
    // Header (8), the integer 1 as marker 0x10 and one byte (2), a 1-byte offset table
    // holding 8 (1), then the trailer: 6 zero bytes, offset width 1, reference width 1,
    // 1 object, root object 0, offset table at 8 + 2 = 10.
    const Bytes expected = Concat({{'b', 'p', 'l', 'i', 's', 't', '0', '0', 0x10, 0x01, 0x08},
                                   Bytes(6, 0),
                                   {1, 1},
                                   BigEndian(1, 8),
                                   BigEndian(0, 8),
                                   BigEndian(10, 8)});
    EXPECT_EQ(BinaryPropertyList::Write(CFType::SInt32(1)), expected);
}

TEST(BinaryPropertyList, RoundTripsEveryKind)
{
    const CFType tree = PlistSamples::EveryKind();
    EXPECT_EQ(RoundTrip(tree), tree);
    EXPECT_EQ(RoundTrip(CFType()), CFType());
    EXPECT_EQ(RoundTrip(CFType::Array()), CFType::Array());
    EXPECT_EQ(RoundTrip(CFType::Dictionary()), CFType::Dictionary());
    EXPECT_EQ(RoundTrip(CFType::String("")), CFType::String(""));
    const CFType state = PlistSamples::StateLike(1000);
    EXPECT_EQ(RoundTrip(state), state);
}

TEST(BinaryPropertyList, IntegersTakeTheSmallestWidth)
{
    struct Case
    {
        std::int64_t value;
        std::uint8_t marker; // 0x10 | log2(bytes)
    };
    const Case cases[] = {{0, 0x10},
                          {255, 0x10},
                          {256, 0x11},
                          {65535, 0x11},
                          {65536, 0x12},
                          {4294967295, 0x12},
                          {4294967296, 0x13},
                          {std::numeric_limits<std::int64_t>::max(), 0x13},
                          {-1, 0x13}, // negative numbers are always 8 bytes
                          {std::numeric_limits<std::int64_t>::min(), 0x13}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.value);
        const Bytes file = BinaryPropertyList::Write(CFType::SInt64(c.value));
        EXPECT_EQ(file[8], c.marker);
        const CFType back = RoundTrip(CFType::SInt64(c.value));
        EXPECT_EQ(back.GetNumberType(), CFNumberType::SInt64);
        EXPECT_EQ(back.AsSInt64(), c.value);
    }
}

TEST(BinaryPropertyList, RealsKeepTheirWidthAndBits)
{
    // 0.1f is 0x3DCCCCCD; 0.1 is 0x3FB999999999999A.
    Bytes file = BinaryPropertyList::Write(CFType::Float32(0.1f));
    EXPECT_EQ(Bytes(file.begin() + 8, file.begin() + 13), (Bytes{0x22, 0x3D, 0xCC, 0xCC, 0xCD}));
    file = BinaryPropertyList::Write(CFType::Float64(0.1));
    EXPECT_EQ(Bytes(file.begin() + 8, file.begin() + 17),
              (Bytes{0x23, 0x3F, 0xB9, 0x99, 0x99, 0x99, 0x99, 0x99, 0x9A}));
    EXPECT_EQ(RoundTrip(CFType::Float32(0.1f)).GetNumberType(), CFNumberType::Float32);
    for (const double value :
         {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(), -0.0,
          std::numeric_limits<double>::denorm_min()})
    {
        SCOPED_TRACE(value);
        const CFType back = RoundTrip(CFType::Float64(value));
        EXPECT_EQ(back, CFType::Float64(value));
        EXPECT_EQ(std::signbit(back.AsFloat64()), std::signbit(value));
    }
}

TEST(BinaryPropertyList, StringsAreASCIIOrUTF16BigEndian)
{
    Bytes file = BinaryPropertyList::Write(CFType::String("ab"));
    EXPECT_EQ(Bytes(file.begin() + 8, file.begin() + 11), (Bytes{0x52, 'a', 'b'}));
    // "é€" is U+00E9 U+20AC: two UTF-16 units.
    file = BinaryPropertyList::Write(CFType::String("\xC3\xA9\xE2\x82\xAC"));
    EXPECT_EQ(Bytes(file.begin() + 8, file.begin() + 13), (Bytes{0x62, 0x00, 0xE9, 0x20, 0xAC}));
    // Fifteen characters no longer fit the marker's nibble: 0x5F, then the count as 0x10 15.
    file = BinaryPropertyList::Write(CFType::String("fifteen chars.."));
    EXPECT_EQ(Bytes(file.begin() + 8, file.begin() + 11), (Bytes{0x5F, 0x10, 15}));
}

TEST(BinaryPropertyList, EqualStringsAreStoredOnce)
{
    const CFType tree = CFType::Array({CFType::Dictionary({{"id", CFType::String("id")}}),
                                       CFType::Dictionary({{"id", CFType::SInt32(1)}})});
    const Bytes file = BinaryPropertyList::Write(tree);
    // The array, two dictionaries, one "id" string and the integer.
    EXPECT_EQ(ObjectCountOf(file), 5u);
    EXPECT_EQ(RoundTrip(tree), tree);
}

TEST(BinaryPropertyList, ReferenceAndOffsetWidthsGrowWithTheFile)
{
    struct Case
    {
        std::size_t items;     // distinct integers in an array
        std::size_t dataBytes; // one Data value before them
        unsigned refSize;
        unsigned offsetSize;
    };
    // items + 2 objects (array, data); the widest offset is the last integer's, just after
    // the data and the array's references.
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

TEST(BinaryPropertyList, ReadsReferencesAndOffsetsOfAnyWidth)
{
    for (unsigned offsetSize = 1; offsetSize <= 8; ++offsetSize)
    {
        for (unsigned refSize = 1; refSize <= 8; ++refSize)
        {
            SCOPED_TRACE(testing::Message() << offsetSize << " " << refSize);
            // ["x", 5] as object 0, "x" as object 1, 5 as object 2.
            const Bytes array = Concat({{0xA2}, BigEndian(1, refSize), BigEndian(2, refSize)});
            const Bytes file = Assemble({array, {0x51, 'x'}, {0x10, 5}}, offsetSize, refSize);
            CFType out;
            std::string error;
            ASSERT_TRUE(Read(file, out, error)) << error;
            EXPECT_EQ(out, CFType::Array({CFType::String("x"), CFType::SInt64(5)}));
        }
    }
}

TEST(BinaryPropertyList, BigDataBytesAreStoredVerbatim)
{
    const CFDataStorage frames = PlistSamples::BigEndianFrames(1000000);
    const CFType tree = CFType::Dictionary({{"samples", CFType::Data(frames)}});
    const Bytes file = BinaryPropertyList::Write(tree);
    // Objects: the dictionary at 8 (0xD1 and two 1-byte references: 3 bytes), the key at 11
    // (0x57 "samples": 8 bytes), the data at 19 (0x4F, then 8000000 as 0x12 and 4 bytes:
    // 6 bytes), so its bytes start at 25.
    ASSERT_GE(file.size(), 25 + frames.size());
    EXPECT_EQ(Bytes(file.begin() + 19, file.begin() + 25),
              (Bytes{0x4F, 0x12, 0x00, 0x7A, 0x12, 0x00}));
    EXPECT_EQ(std::memcmp(file.data() + 25, frames.data(), frames.size()), 0);
    EXPECT_EQ(RoundTrip(tree), tree);
}

TEST(BinaryPropertyList, SixteenByteIntegersOnlyWithinSixtyFourBits)
{
    // -2 sign-extended to 16 bytes, as some writers store it.
    const Bytes minusTwo = Concat({{0x14}, Bytes(15, 0xFF), {0xFE}});
    CFType out;
    std::string error;
    ASSERT_TRUE(Read(Assemble({minusTwo}, 1, 1), out, error)) << error;
    EXPECT_EQ(out.AsSInt64(), -2);
    // 2^63 (other writers' form for large unsigned values) does not fit an SInt64.
    ExpectRefused(Assemble({Concat({{0x14}, Bytes(8, 0), {0x80}, Bytes(7, 0)})}, 1, 1),
                  "beyond 64 bits");
}

TEST(BinaryPropertyList, RefusesEveryTruncation)
{
    const Bytes file = BinaryPropertyList::Write(PlistSamples::EveryKind());
    for (std::size_t size = 0; size < file.size(); ++size)
    {
        SCOPED_TRACE(size);
        CFType out;
        std::string error;
        EXPECT_FALSE(BinaryPropertyList::Read(file.data(), size, out, error));
        EXPECT_FALSE(error.empty());
    }
}

TEST(BinaryPropertyList, SurvivesAnyCorruptedByte)
{
    // Whatever the answer, it must come without a crash or undefined behaviour (the
    // sanitizer builds check that); the fuzzer goes further.
    const Bytes file = BinaryPropertyList::Write(PlistSamples::EveryKind());
    for (std::size_t i = 0; i < file.size(); ++i)
    {
        for (const std::uint8_t value : {std::uint8_t{0x00}, std::uint8_t{0xFF}, std::uint8_t{0x0F},
                                         static_cast<std::uint8_t>(file[i] ^ 0x80)})
        {
            Bytes broken = file;
            broken[i] = value;
            CFType out;
            std::string error;
            if (!Read(broken, out, error))
            {
                EXPECT_FALSE(error.empty());
            }
        }
    }
}

TEST(BinaryPropertyList, RefusesBadTrailersAndOffsets)
{
    const Bytes good = Assemble({{0x10, 5}}, 1, 1);
    const std::size_t t = good.size() - 32; // trailer start
    const auto with = [&](std::size_t at, Bytes bytes)
    {
        Bytes file = good;
        std::copy(bytes.begin(), bytes.end(), file.begin() + static_cast<std::ptrdiff_t>(at));
        return file;
    };
    ExpectRefused(Bytes(good.begin() + 1, good.end()), "header");
    ExpectRefused(with(0, {'b', 'p', 'l', 'i', 's', 't', '1', '5'}), "header");
    ExpectRefused(with(t + 6, {0}), "width");
    ExpectRefused(with(t + 6, {9}), "width");
    ExpectRefused(with(t + 7, {0}), "width");
    ExpectRefused(with(t + 8, BigEndian(0, 8)), "object count");
    ExpectRefused(with(t + 8, BigEndian(~std::uint64_t{0}, 8)), "object count");
    ExpectRefused(with(t + 16, BigEndian(1, 8)), "root");
    ExpectRefused(with(t + 24, BigEndian(t + 1, 8)), "offset table");
    ExpectRefused(with(t + 24, BigEndian(~std::uint64_t{0} - 4, 8)), "offset table");
    ExpectRefused(with(t + 24, BigEndian(3, 8)), "offset table");
    ExpectRefused(with(10, {3}), "offset");  // object inside the header
    ExpectRefused(with(10, {10}), "offset"); // object on the offset table itself
    ExpectRefused(Assemble({{0xA1, 7}}, 1, 1), "reference 7 out of range");
}

TEST(BinaryPropertyList, RefusesHugeCountsBeforeAllocating)
{
    const Bytes hugeData = Concat({{0x4F, 0x13}, BigEndian(std::uint64_t{1} << 62, 8)});
    ExpectRefused(Assemble({hugeData}, 1, 1), "truncated");
    const Bytes hugeArray = Concat({{0xAF, 0x13}, BigEndian(std::uint64_t{1} << 40, 8)});
    ExpectRefused(Assemble({hugeArray}, 1, 1), "truncated");
    const Bytes hugeDict = Concat({{0xDF, 0x13}, BigEndian(~std::uint64_t{0}, 8)});
    ExpectRefused(Assemble({hugeDict}, 1, 1), "truncated");
    const Bytes hugeString = Concat({{0x6F, 0x13}, BigEndian(~std::uint64_t{0} / 2 + 1, 8)});
    ExpectRefused(Assemble({hugeString}, 1, 1), "truncated");
    ExpectRefused(Assemble({{0x4F, 0x14, 0}}, 1, 1), "count"); // a 16-byte count
}

TEST(BinaryPropertyList, RefusesCycles)
{
    ExpectRefused(Assemble({{0xA1, 0}}, 1, 1), "contains itself");
    ExpectRefused(Assemble({{0xA1, 1}, {0xA1, 0}}, 1, 1), "contains itself");
    ExpectRefused(Assemble({{0xD1, 1, 0}, {0x51, 'k'}}, 1, 1), "contains itself");
    // Shared (not cyclic) children are fine: [x, x] with x = [].
    CFType out;
    std::string error;
    ASSERT_TRUE(Read(Assemble({{0xA2, 1, 1}, {0xA0}}, 1, 1), out, error)) << error;
    EXPECT_EQ(out, CFType::Array({CFType::Array(), CFType::Array()}));
}

TEST(BinaryPropertyList, NestingLimit)
{
    const auto nested = [](std::size_t depth)
    {
        CFType value = CFType::SInt32(1);
        for (std::size_t i = 0; i < depth; ++i)
            value = CFType::Array({std::move(value)});
        return value;
    };
    const CFType deepest = nested(BinaryPropertyList::kMaxDepth);
    EXPECT_EQ(RoundTrip(deepest), deepest);
    ExpectRefused(BinaryPropertyList::Write(nested(BinaryPropertyList::kMaxDepth + 1)),
                  "nested too deeply");
}

TEST(BinaryPropertyList, RefusesExponentialSharing)
{
    // 40 arrays, each holding the next one twice: 2^40 values from a 150-byte file.
    std::vector<Bytes> objects;
    for (std::uint8_t i = 0; i < 40; ++i)
        objects.push_back(
            {0xA2, static_cast<std::uint8_t>(i + 1), static_cast<std::uint8_t>(i + 1)});
    objects.push_back({0x09});
    ExpectRefused(Assemble(objects, 1, 1), "too many values");
}

TEST(BinaryPropertyList, RefusesWhatTheModelCannotHold)
{
    ExpectRefused(Assemble({{0xD1, 1, 1}, {0x10, 1}}, 1, 1), "key is not a string");
    ExpectRefused(Assemble({Concat({{0x33}, Bytes(8, 0)})}, 1, 1), "dates");
    ExpectRefused(Assemble({{0x80, 1}}, 1, 1), "unsupported");   // UID
    ExpectRefused(Assemble({{0xC0}}, 1, 1), "unsupported");      // set
    ExpectRefused(Assemble({{0x0F}}, 1, 1), "unknown");          // fill byte
    ExpectRefused(Assemble({{0x21, 0, 0}}, 1, 1), "real width"); // 2-byte real
    ExpectRefused(Assemble({{0x15}}, 1, 1), "integer width");
    ExpectRefused(Assemble({{0x51, 0xE9}}, 1, 1), "non-ASCII");
}
