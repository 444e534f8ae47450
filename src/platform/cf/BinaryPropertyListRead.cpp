// Reading the binary form.  The file is trusted for nothing: the trailer, every offset, every
// reference and every count is checked before it is used.
#include "platform/cf/BinaryPropertyList.h"

#include "platform/cf/CFUnicode.h"

#include <bit>
#include <cstring>
#include <unordered_map>

namespace
{
constexpr std::size_t kHeaderSize = 8;
constexpr std::size_t kTrailerSize = 32;

class Reader
{
public:
    Reader(const std::uint8_t* bytes, std::size_t size) : mBytes(bytes), mSize(size) {}

    bool Read(CFType& out)
    {
        std::uint64_t root = 0;
        if (!ReadTrailer(root)) return false;
        mBudget = std::min<std::uint64_t>(BinaryPropertyList::kMaxValues, mSize);
        mOnPath.assign(mObjectCount, false);
        return ReadObject(root, 0, out);
    }

    const std::string& Error() const { return mError; }

private:
    bool Fail(std::string text)
    {
        mError = std::move(text);
        return false;
    }

    // Objects sit between the header and the offset table; nothing may reach outside.
    bool Has(std::uint64_t pos, std::uint64_t count) const
    {
        return pos <= mObjectsEnd && count <= mObjectsEnd - pos;
    }

    std::uint64_t BigEndian(std::uint64_t pos, unsigned width) const
    {
        std::uint64_t value = 0;
        for (unsigned i = 0; i < width; ++i)
            value = value << 8 | mBytes[pos + i];
        return value;
    }

    bool ReadTrailer(std::uint64_t& root)
    {
        if (mSize < kHeaderSize + 1 + kTrailerSize || std::memcmp(mBytes, "bplist00", 8) != 0)
            return Fail("not a binary property list (no bplist00 header)");
        const std::uint64_t trailer = mSize - kTrailerSize;
        mOffsetSize = mBytes[trailer + 6];
        mRefSize = mBytes[trailer + 7];
        mObjectCount = BigEndian(trailer + 8, 8);
        root = BigEndian(trailer + 16, 8);
        mObjectsEnd = BigEndian(trailer + 24, 8);
        if (mOffsetSize < 1 || mOffsetSize > 8 || mRefSize < 1 || mRefSize > 8)
            return Fail("bad offset or reference width in the trailer");
        if (mObjectsEnd < kHeaderSize + 1 || mObjectsEnd > trailer)
            return Fail("offset table outside the file");
        if (mObjectCount == 0 || mObjectCount > (trailer - mObjectsEnd) / mOffsetSize)
            return Fail("object count does not fit the offset table");
        if (root >= mObjectCount) return Fail("root object out of range");
        return true;
    }

    // Reads a count stored in a marker's low nibble, or after it as an integer object.
    bool ReadCount(std::uint64_t& pos, std::uint8_t marker, std::uint64_t& count)
    {
        count = marker & 0x0F;
        if (count != 0x0F) return true;
        if (!Has(pos, 1) || (mBytes[pos] & 0xF0) != 0x10 || (mBytes[pos] & 0x0F) > 3)
            return Fail("bad count at offset " + std::to_string(pos));
        const unsigned width = 1u << (mBytes[pos] & 0x0F);
        if (!Has(pos + 1, width)) return Fail("truncated count at offset " + std::to_string(pos));
        count = BigEndian(pos + 1, width);
        pos += 1 + width;
        return true;
    }

    bool ReadObject(std::uint64_t ref, std::size_t depth, CFType& out)
    {
        if (ref >= mObjectCount)
            return Fail("object reference " + std::to_string(ref) + " out of range");
        if (mBudget == 0) return Fail("too many values");
        --mBudget;
        const std::uint64_t start = BigEndian(mObjectsEnd + ref * mOffsetSize, mOffsetSize);
        if (start < kHeaderSize || start >= mObjectsEnd)
            return Fail("offset of object " + std::to_string(ref) + " outside the file");
        const std::uint8_t marker = mBytes[start];
        std::uint64_t pos = start + 1;
        const auto where = [&] { return " (object " + std::to_string(ref) + ")"; };

        switch (marker >> 4)
        {
        case 0x0:
            if (marker == 0x00)
                out = CFType();
            else if (marker == 0x08 || marker == 0x09)
                out = CFType::Boolean(marker == 0x09);
            else
                return Fail("unknown object type" + where());
            return true;
        case 0x1:
            return ReadInteger(pos, marker, out) || Fail(mError + where());
        case 0x2:
            return ReadReal(pos, marker, out) || Fail(mError + where());
        case 0x4:
        case 0x5:
        case 0x6:
            return ReadBytes(ref, pos, marker, out) || Fail(mError + where());
        case 0xA:
        case 0xD:
            return ReadContainer(ref, pos, marker, depth, out);
        case 0x3:
            return Fail("dates are not supported" + where());
        default:
            return Fail("unsupported object type" + where());
        }
    }

    bool ReadInteger(std::uint64_t pos, std::uint8_t marker, CFType& out)
    {
        const unsigned exponent = marker & 0x0F;
        if (exponent > 4) return Fail("bad integer width");
        const unsigned width = 1u << exponent;
        if (!Has(pos, width)) return Fail("truncated integer");
        if (width == 16)
        {
            // Other writers use 16 bytes for unsigned values above 2^63 - 1, which the model
            // cannot hold; only a sign-extended 8-byte value is accepted.
            const std::uint64_t high = BigEndian(pos, 8);
            const std::uint64_t low = BigEndian(pos + 8, 8);
            const bool negative = (low >> 63) != 0;
            if (high != (negative ? ~std::uint64_t{0} : 0)) return Fail("integer beyond 64 bits");
            out = CFType::SInt64(static_cast<std::int64_t>(low));
            return true;
        }
        // 1, 2 and 4 bytes are unsigned; 8 bytes are two's complement.
        out = CFType::SInt64(static_cast<std::int64_t>(BigEndian(pos, width)));
        return true;
    }

    bool ReadReal(std::uint64_t pos, std::uint8_t marker, CFType& out)
    {
        const unsigned width = 1u << (marker & 0x0F);
        if ((marker & 0x0F) != 2 && (marker & 0x0F) != 3) return Fail("bad real width");
        if (!Has(pos, width)) return Fail("truncated real");
        if (width == 4)
            out = CFType::Float32(
                std::bit_cast<float>(static_cast<std::uint32_t>(BigEndian(pos, 4))));
        else
            out = CFType::Float64(std::bit_cast<double>(BigEndian(pos, 8)));
        return true;
    }

    // Data and strings.  An object referenced twice is read once and shared, so that many
    // references to one big object cost no more than one.
    bool ReadBytes(std::uint64_t ref, std::uint64_t pos, std::uint8_t marker, CFType& out)
    {
        const auto cached = mShared.find(ref);
        if (cached != mShared.end())
        {
            out = cached->second;
            return true;
        }
        std::uint64_t count = 0;
        if (!ReadCount(pos, marker, count)) return false;
        const std::uint64_t unit = (marker >> 4) == 0x6 ? 2 : 1;
        if (count > mObjectsEnd || !Has(pos, count * unit)) return Fail("truncated data or string");
        const std::uint8_t* first = mBytes + pos;
        switch (marker >> 4)
        {
        case 0x4:
            out = CFType::Data(CFDataStorage(first, first + count));
            break;
        case 0x5:
            for (std::uint64_t i = 0; i < count; ++i)
            {
                if (first[i] >= 0x80) return Fail("ASCII string holds a non-ASCII byte");
            }
            out = CFType::String(std::string(reinterpret_cast<const char*>(first), count));
            break;
        default:
            out = CFType::String(CFUnicode::Utf16BEToUtf8(first, count));
            break;
        }
        mShared.emplace(ref, out);
        return true;
    }

    bool ReadContainer(std::uint64_t ref, std::uint64_t pos, std::uint8_t marker, std::size_t depth,
                       CFType& out)
    {
        const bool isDict = (marker >> 4) == 0xD;
        std::uint64_t count = 0;
        if (!ReadCount(pos, marker, count))
            return Fail(mError + " (object " + std::to_string(ref) + ")");
        const std::uint64_t slots = isDict ? 2 : 1;
        // Refuse what could not fit before reserving anything for it.
        if (count > mObjectsEnd / slots / mRefSize || !Has(pos, count * slots * mRefSize))
            return Fail("truncated container (object " + std::to_string(ref) + ")");
        if (count > mBudget) return Fail("too many values");
        if (depth >= BinaryPropertyList::kMaxDepth) return Fail("containers nested too deeply");
        if (mOnPath[ref])
            return Fail("container contains itself (object " + std::to_string(ref) + ")");
        mOnPath[ref] = true;
        const bool ok =
            isDict ? ReadDictionary(pos, count, depth, out) : ReadArray(pos, count, depth, out);
        mOnPath[ref] = false;
        return ok;
    }

    bool ReadArray(std::uint64_t pos, std::uint64_t count, std::size_t depth, CFType& out)
    {
        CFArrayStorage items(count);
        for (std::uint64_t i = 0; i < count; ++i)
        {
            if (!ReadObject(BigEndian(pos + i * mRefSize, mRefSize), depth + 1, items[i]))
                return false;
        }
        out = CFType::Array(std::move(items));
        return true;
    }

    bool ReadDictionary(std::uint64_t pos, std::uint64_t count, std::size_t depth, CFType& out)
    {
        CFDictionaryStorage entries;
        const std::uint64_t values = pos + count * mRefSize;
        for (std::uint64_t i = 0; i < count; ++i)
        {
            CFType key;
            if (!ReadObject(BigEndian(pos + i * mRefSize, mRefSize), depth + 1, key)) return false;
            if (key.GetKind() != CFType::Kind::String)
                return Fail("dictionary key is not a string");
            CFType value;
            if (!ReadObject(BigEndian(values + i * mRefSize, mRefSize), depth + 1, value))
                return false;
            entries.insert_or_assign(key.AsString(), std::move(value));
        }
        out = CFType::Dictionary(std::move(entries));
        return true;
    }

    const std::uint8_t* mBytes;
    std::size_t mSize;
    unsigned mOffsetSize = 0;
    unsigned mRefSize = 0;
    std::uint64_t mObjectCount = 0;
    std::uint64_t mObjectsEnd = 0; // where the offset table starts
    std::uint64_t mBudget = 0;     // values that may still be made
    std::vector<bool> mOnPath;     // containers being read, to catch cycles
    std::unordered_map<std::uint64_t, CFType> mShared;
    std::string mError;
};
} // namespace

bool BinaryPropertyList::Read(const std::uint8_t* bytes, std::size_t size, CFType& out,
                              std::string& error)
{
    Reader reader(bytes, size);
    CFType root;
    if (!reader.Read(root))
    {
        error = "binary property list: " + reader.Error();
        return false;
    }
    out = std::move(root);
    return true;
}
