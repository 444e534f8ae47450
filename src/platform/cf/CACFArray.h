#pragma once
// Typed access to a property-list array, after the Core Audio helper of the same name.
// Gets report presence and kind and leave the output untouched on failure (an index past
// the end counts as missing); numeric gets accept any number, as in CACFDictionary.

#include "platform/cf/CFType.h"

class CACFDictionary;

class CACFArray
{
public:
    CACFArray();                      // a new empty array
    explicit CACFArray(CFType array); // takes an Array value (else starts empty)

    const CFType& GetCFType() const { return mValue; } // always of kind Array

    void AppendBool(bool value);
    void AppendSInt16(std::int16_t value);
    void AppendDictionary(const CACFDictionary& dictionary);
    void AppendCFType(CFType value);

    bool GetBool(std::size_t index, bool& out) const;
    bool GetSInt32(std::size_t index, std::int32_t& out) const;
    bool GetFloat64(std::size_t index, double& out) const;
    bool GetDictionary(std::size_t index, CACFDictionary& out) const;
    bool GetCFType(std::size_t index, const CFType*& out) const;

private:
    // The item at index when it exists with the given kind, else null.
    const CFType* Find(std::size_t index, CFType::Kind kind) const;

    CFType mValue;
};
