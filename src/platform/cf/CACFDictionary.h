#pragma once
// Typed access to a property-list dictionary, after the Core Audio helper of the same
// name.  Adding to a key that exists replaces its value.  Every Get reports whether the key
// was present with a usable kind and leaves the output untouched otherwise; numeric gets
// accept any number (and convert, see CFType) but not booleans.

#include "platform/cf/CFType.h"

class CACFArray;

class CACFDictionary
{
public:
    CACFDictionary();                           // a new empty dictionary
    explicit CACFDictionary(CFType dictionary); // takes a Dictionary value (else starts empty)

    const CFType& GetCFType() const { return mValue; } // always of kind Dictionary
    CFType& GetCFType() { return mValue; }
    std::size_t Size() const;

    void AddSInt32(std::string_view key, std::int32_t value);
    void AddFloat32(std::string_view key, float value);
    void AddFloat64(std::string_view key, double value);
    void AddString(std::string_view key, std::string_view value);
    void AddData(std::string_view key, CFDataStorage bytes);
    void AddArray(std::string_view key, const CACFArray& array);
    void AddDictionary(std::string_view key, const CACFDictionary& dictionary);
    void AddCFType(std::string_view key, CFType value);

    bool GetBool(std::string_view key, bool& out) const; // booleans only
    bool GetSInt32(std::string_view key, std::int32_t& out) const;
    bool GetFloat64(std::string_view key, double& out) const;
    bool GetData(std::string_view key, const CFDataStorage*& out) const; // no copy
    bool GetArray(std::string_view key, CACFArray& out) const;
    bool GetDictionary(std::string_view key, CACFDictionary& out) const;
    bool GetCFType(std::string_view key, const CFType*& out) const;

private:
    // The value under key when it has the given kind, else null.
    const CFType* Find(std::string_view key, CFType::Kind kind) const;

    CFType mValue;
};
