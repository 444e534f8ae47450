// Writing the binary form: the tree is first flattened into numbered objects (so that the
// width of an object reference is known), then each object is written once in number order,
// followed by the offset table and the trailer.
#include "platform/cf/BinaryPropertyList.h"

#include "platform/cf/CFUnicode.h"

#include <algorithm>
#include <bit>
#include <unordered_map>

namespace
{
constexpr std::uint8_t kMarkerNull = 0x00;
constexpr std::uint8_t kMarkerFalse = 0x08;
constexpr std::uint8_t kMarkerTrue = 0x09;
constexpr std::uint8_t kMarkerInt = 0x10;
constexpr std::uint8_t kMarkerReal = 0x20;
constexpr std::uint8_t kMarkerData = 0x40;
constexpr std::uint8_t kMarkerASCII = 0x50;
constexpr std::uint8_t kMarkerUTF16 = 0x60;
constexpr std::uint8_t kMarkerArray = 0xA0;
constexpr std::uint8_t kMarkerDict = 0xD0;

// Bytes needed for an unsigned value: 1, 2, 4 or 8.
unsigned WidthOf(std::uint64_t value)
{
    if (value <= 0xFF) return 1;
    if (value <= 0xFFFF) return 2;
    if (value <= 0xFFFFFFFF) return 4;
    return 8;
}

void AppendBigEndian(std::vector<std::uint8_t>& out, std::uint64_t value, unsigned width)
{
    for (unsigned i = width; i-- > 0;)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void AppendUnsignedInt(std::vector<std::uint8_t>& out, std::uint64_t value)
{
    const unsigned width = WidthOf(value);
    out.push_back(static_cast<std::uint8_t>(kMarkerInt | std::countr_zero(width)));
    AppendBigEndian(out, value, width);
}

// A marker whose low nibble holds the count, or 0xF followed by the count as an integer.
void AppendHeader(std::vector<std::uint8_t>& out, std::uint8_t marker, std::uint64_t count)
{
    if (count < 15)
    {
        out.push_back(static_cast<std::uint8_t>(marker | count));
        return;
    }
    out.push_back(static_cast<std::uint8_t>(marker | 0x0F));
    AppendUnsignedInt(out, count);
}

bool IsASCII(const std::string& text)
{
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

class Flattener
{
public:
    // One numbered object: a value of the tree, or a dictionary key.
    struct Object
    {
        const CFType* value;
        const std::string* key;
        std::size_t firstRef; // containers: their children's numbers in mRefs
    };

    std::uint64_t Add(const CFType& value)
    {
        if (value.GetKind() == CFType::Kind::String)
            return AddString(value.AsString(), &value, nullptr);
        const std::uint64_t number = Push(Object{&value, nullptr, 0});
        std::vector<std::uint64_t> children;
        if (value.GetKind() == CFType::Kind::Array)
        {
            children.reserve(value.AsArray().size());
            for (const CFType& item : value.AsArray())
                children.push_back(Add(item));
        }
        else if (value.GetKind() == CFType::Kind::Dictionary)
        {
            const CFDictionaryStorage& entries = value.AsDictionary();
            children.reserve(2 * entries.size());
            for (const auto& [key, item] : entries)
                children.push_back(AddString(key, nullptr, &key));
            for (const auto& entry : entries)
                children.push_back(Add(entry.second));
        }
        else if (value.GetKind() == CFType::Kind::Data)
        {
            mPayloadBytes += value.AsData().size();
        }
        mObjects[number].firstRef = mRefs.size();
        mRefs.insert(mRefs.end(), children.begin(), children.end());
        return number;
    }

    const std::vector<Object>& Objects() const { return mObjects; }
    const std::vector<std::uint64_t>& Refs() const { return mRefs; }
    std::size_t PayloadBytes() const { return mPayloadBytes; }

private:
    std::uint64_t Push(Object object)
    {
        mObjects.push_back(object);
        return mObjects.size() - 1;
    }

    std::uint64_t AddString(const std::string& text, const CFType* value, const std::string* key)
    {
        const auto [found, added] = mStrings.try_emplace(text, mObjects.size());
        if (added)
        {
            Push(Object{value, key, 0});
            mPayloadBytes += 2 * text.size();
        }
        return found->second;
    }

    std::vector<Object> mObjects;
    std::vector<std::uint64_t> mRefs;
    std::unordered_map<std::string_view, std::uint64_t> mStrings;
    std::size_t mPayloadBytes = 0;
};

void AppendString(std::vector<std::uint8_t>& out, const std::string& text)
{
    if (IsASCII(text))
    {
        AppendHeader(out, kMarkerASCII, text.size());
        out.insert(out.end(), text.begin(), text.end());
        return;
    }
    const std::u16string units = CFUnicode::Utf8ToUtf16(text);
    AppendHeader(out, kMarkerUTF16, units.size());
    for (const char16_t unit : units)
        AppendBigEndian(out, unit, 2);
}

void AppendNumber(std::vector<std::uint8_t>& out, const CFType& value)
{
    if (value.GetNumberType() == CFNumberType::Float32)
    {
        out.push_back(kMarkerReal | 2);
        AppendBigEndian(out, std::bit_cast<std::uint32_t>(value.AsFloat32()), 4);
    }
    else if (value.GetNumberType() == CFNumberType::Float64)
    {
        out.push_back(kMarkerReal | 3);
        AppendBigEndian(out, std::bit_cast<std::uint64_t>(value.AsFloat64()), 8);
    }
    else if (value.AsSInt64() < 0)
    {
        // 1, 2 and 4-byte integers are unsigned in this form; only 8 bytes carry a sign.
        out.push_back(kMarkerInt | 3);
        AppendBigEndian(out, static_cast<std::uint64_t>(value.AsSInt64()), 8);
    }
    else
    {
        AppendUnsignedInt(out, static_cast<std::uint64_t>(value.AsSInt64()));
    }
}

void AppendRefs(std::vector<std::uint8_t>& out, const std::uint64_t* refs, std::size_t count,
                unsigned refSize)
{
    for (std::size_t i = 0; i < count; ++i)
        AppendBigEndian(out, refs[i], refSize);
}
} // namespace

std::vector<std::uint8_t> BinaryPropertyList::Write(const CFType& root)
{
    Flattener flat;
    flat.Add(root);
    const std::vector<Flattener::Object>& objects = flat.Objects();
    const std::uint64_t* refs = flat.Refs().data();
    const unsigned refSize = WidthOf(objects.size() - 1);

    std::vector<std::uint8_t> out;
    // Generous: headers take at most 10 bytes, each offset at most 8, the trailer 32.
    out.reserve(8 + flat.PayloadBytes() + 18 * objects.size() + refSize * flat.Refs().size() + 32);
    for (const char c : std::string_view("bplist00"))
        out.push_back(static_cast<std::uint8_t>(c));

    std::vector<std::uint64_t> offsets;
    offsets.reserve(objects.size());
    for (const Flattener::Object& object : objects)
    {
        offsets.push_back(out.size());
        if (object.key)
        {
            AppendString(out, *object.key);
            continue;
        }
        const CFType& value = *object.value;
        switch (value.GetKind())
        {
        case CFType::Kind::Null:
            out.push_back(kMarkerNull);
            break;
        case CFType::Kind::Boolean:
            out.push_back(value.AsBoolean() ? kMarkerTrue : kMarkerFalse);
            break;
        case CFType::Kind::Number:
            AppendNumber(out, value);
            break;
        case CFType::Kind::String:
            AppendString(out, value.AsString());
            break;
        case CFType::Kind::Data:
            AppendHeader(out, kMarkerData, value.AsData().size());
            out.insert(out.end(), value.AsData().begin(), value.AsData().end());
            break;
        case CFType::Kind::Array:
            AppendHeader(out, kMarkerArray, value.AsArray().size());
            AppendRefs(out, refs + object.firstRef, value.AsArray().size(), refSize);
            break;
        case CFType::Kind::Dictionary:
            AppendHeader(out, kMarkerDict, value.AsDictionary().size());
            AppendRefs(out, refs + object.firstRef, 2 * value.AsDictionary().size(), refSize);
            break;
        }
    }

    const std::uint64_t offsetTable = out.size();
    const unsigned offsetSize = WidthOf(offsets.back());
    for (const std::uint64_t offset : offsets)
        AppendBigEndian(out, offset, offsetSize);
    // Trailer: 5 unused bytes, the sort version, the two widths, then three 8-byte numbers.
    out.insert(out.end(), 6, 0);
    out.push_back(static_cast<std::uint8_t>(offsetSize));
    out.push_back(static_cast<std::uint8_t>(refSize));
    AppendBigEndian(out, objects.size(), 8);
    AppendBigEndian(out, 0, 8); // the root is object 0
    AppendBigEndian(out, offsetTable, 8);
    return out;
}
