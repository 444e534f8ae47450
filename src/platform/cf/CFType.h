#pragma once
// A property-list value: what Core Foundation's CFPropertyListRef holds, as a plain
// value type (copying copies the tree; moving is cheap).  Dictionaries keep their keys
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
// and 64-bit floats, and readers accept any numeric kind and convert.
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
    static CFType String(std::string utf8);
    static CFType Data(CFDataStorage bytes);
    static CFType Array(CFArrayStorage items = {});
    static CFType Dictionary(CFDictionaryStorage entries = {});

    Kind GetKind() const;
    bool IsNumber() const { return GetKind() == Kind::Number; }

    // Numeric access converts from whatever width was stored (C conversion rules, with
    // out-of-range floats saturating rather than being undefined).
    CFNumberType GetNumberType() const; // only for numbers
    bool IsFloatNumber() const;         // Float32 or Float64
    std::int64_t AsSInt64() const;      // numbers and booleans; 0 otherwise
    double AsFloat64() const;           // numbers and booleans; 0 otherwise
    bool AsBoolean() const;             // booleans; false otherwise

    // Container access; calling these on the wrong kind is a programming error (asserts).
    const std::string& AsString() const;
    const CFDataStorage& AsData() const;
    const CFArrayStorage& AsArray() const;
    CFArrayStorage& AsArray();
    const CFDictionaryStorage& AsDictionary() const;
    CFDictionaryStorage& AsDictionary();

    friend bool operator==(const CFType& a, const CFType& b);

    ~CFType();
    CFType(const CFType&);
    CFType(CFType&&) noexcept;
    CFType& operator=(const CFType&);
    CFType& operator=(CFType&&) noexcept;

private:
    struct Impl;
    std::unique_ptr<Impl> mImpl;
};
