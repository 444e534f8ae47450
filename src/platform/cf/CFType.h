#pragma once
// A property-list value: what Core Foundation's CFPropertyListRef holds, as a plain
// value type.  Copying copies the containers but shares the bytes of strings and Data
// values, which never change once made: a preset holding 40 MB of audio copies in
// microseconds.  Moving is cheap and leaves a Null behind.  Dictionaries keep their keys
// sorted, so every writer produces the same bytes for the same tree.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class CFType;
using CFArrayStorage = std::vector<CFType>;
using CFDictionaryStorage = std::map<std::string, CFType, std::less<>>;
using CFDataStorage = std::vector<std::uint8_t>;

// Numbers remember the width they were made with: the state format writes 32-bit integers
// and 64-bit floats, and readers accept any numeric kind and convert.  Integers read from a
// file come back as SInt64 (neither file form records the width a number was made with).
enum class CFNumberType
{
    SInt8,
    SInt16,
    SInt32,
    SInt64,
    Float32,
    Float64
};

class CFType
{
public:
    enum class Kind
    {
        Null,
        Boolean,
        Number,
        String,
        Data,
        Array,
        Dictionary
    };

    CFType(); // Null
    static CFType Boolean(bool value);
    static CFType SInt16(std::int16_t value);
    static CFType SInt32(std::int32_t value);
    static CFType SInt64(std::int64_t value);
    static CFType Float32(float value);
    static CFType Float64(double value);
    static CFType String(std::string utf8); // invalid UTF-8 sequences become U+FFFD
    static CFType Data(CFDataStorage bytes);
    static CFType Array(CFArrayStorage items = {});
    static CFType Dictionary(CFDictionaryStorage entries = {});

    Kind GetKind() const;
    bool IsNumber() const { return GetKind() == Kind::Number; }

    // Numeric access converts from whatever width was stored: integers to narrower integers
    // by the C rules (modulo 2^n), floats to integers truncated toward zero and saturated at
    // the ends of the target range (NaN gives 0), doubles beyond the float range to
    // +-infinity.  Numbers and booleans (as 0/1) convert; every other kind gives 0.
    CFNumberType GetNumberType() const; // numbers only (see the container access below)
    bool IsFloatNumber() const;         // Float32 or Float64
    std::int16_t AsSInt16() const;
    std::int32_t AsSInt32() const;
    std::int64_t AsSInt64() const;
    float AsFloat32() const;
    double AsFloat64() const;
    bool AsBoolean() const; // booleans; false otherwise

    // Container access; calling these on the wrong kind is a programming error and throws
    // std::bad_variant_access.
    const std::string& AsString() const;
    const CFDataStorage& AsData() const;
    const CFArrayStorage& AsArray() const;
    CFArrayStorage& AsArray();
    const CFDictionaryStorage& AsDictionary() const;
    CFDictionaryStorage& AsDictionary();

    // Same kind and value.  Integers compare with integers and floats with floats whatever
    // their width; NaN equals NaN, so a tree always equals its own round trip.
    friend bool operator==(const CFType& a, const CFType& b);

    ~CFType();
    CFType(const CFType&);
    CFType(CFType&&) noexcept;
    CFType& operator=(const CFType&);
    CFType& operator=(CFType&&) noexcept;

private:
    struct Impl;
    explicit CFType(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> mImpl;
};
