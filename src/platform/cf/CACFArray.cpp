#include "platform/cf/CACFArray.h"

#include "platform/cf/CACFDictionary.h"

CACFArray::CACFArray() : mValue(CFType::Array()) {}

CACFArray::CACFArray(CFType array)
    : mValue(array.GetKind() == CFType::Kind::Array ? std::move(array) : CFType::Array())
{
}

void CACFArray::AppendBool(bool value)
{
    AppendCFType(CFType::Boolean(value));
}
void CACFArray::AppendSInt16(std::int16_t value)
{
    AppendCFType(CFType::SInt16(value));
}
void CACFArray::AppendDictionary(const CACFDictionary& dictionary)
{
    AppendCFType(dictionary.GetCFType());
}

void CACFArray::AppendCFType(CFType value)
{
    mValue.AsArray().push_back(std::move(value));
}

const CFType* CACFArray::Find(std::size_t index, CFType::Kind kind) const
{
    const CFArrayStorage& items = mValue.AsArray();
    if (index >= items.size() || items[index].GetKind() != kind) return nullptr;
    return &items[index];
}

bool CACFArray::GetBool(std::size_t index, bool& out) const
{
    const CFType* value = Find(index, CFType::Kind::Boolean);
    if (value) out = value->AsBoolean();
    return value != nullptr;
}

bool CACFArray::GetSInt32(std::size_t index, std::int32_t& out) const
{
    const CFType* value = Find(index, CFType::Kind::Number);
    if (value) out = value->AsSInt32();
    return value != nullptr;
}

bool CACFArray::GetFloat64(std::size_t index, double& out) const
{
    const CFType* value = Find(index, CFType::Kind::Number);
    if (value) out = value->AsFloat64();
    return value != nullptr;
}

bool CACFArray::GetDictionary(std::size_t index, CACFDictionary& out) const
{
    const CFType* value = Find(index, CFType::Kind::Dictionary);
    if (value) out = CACFDictionary(*value);
    return value != nullptr;
}

bool CACFArray::GetCFType(std::size_t index, const CFType*& out) const
{
    if (index >= mValue.AsArray().size()) return false;
    out = &mValue.AsArray()[index];
    return true;
}
