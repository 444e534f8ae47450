#include "platform/cf/CACFDictionary.h"

#include "platform/cf/CACFArray.h"

CACFDictionary::CACFDictionary() : mValue(CFType::Dictionary()) {}

CACFDictionary::CACFDictionary(CFType dictionary)
    : mValue(dictionary.GetKind() == CFType::Kind::Dictionary ? std::move(dictionary)
                                                              : CFType::Dictionary())
{
}

std::size_t CACFDictionary::Size() const
{
    return mValue.AsDictionary().size();
}

void CACFDictionary::AddSInt32(std::string_view key, std::int32_t value)
{
    AddCFType(key, CFType::SInt32(value));
}

void CACFDictionary::AddFloat32(std::string_view key, float value)
{
    AddCFType(key, CFType::Float32(value));
}

void CACFDictionary::AddFloat64(std::string_view key, double value)
{
    AddCFType(key, CFType::Float64(value));
}

void CACFDictionary::AddString(std::string_view key, std::string_view value)
{
    AddCFType(key, CFType::String(std::string(value)));
}

void CACFDictionary::AddData(std::string_view key, CFDataStorage bytes)
{
    AddCFType(key, CFType::Data(std::move(bytes)));
}

void CACFDictionary::AddArray(std::string_view key, const CACFArray& array)
{
    AddCFType(key, array.GetCFType());
}

void CACFDictionary::AddDictionary(std::string_view key, const CACFDictionary& dictionary)
{
    AddCFType(key, dictionary.GetCFType());
}

void CACFDictionary::AddCFType(std::string_view key, CFType value)
{
    CFDictionaryStorage& entries = mValue.AsDictionary();
    const auto found = entries.find(key);
    if (found != entries.end())
        found->second = std::move(value);
    else
        entries.emplace(std::string(key), std::move(value));
}

const CFType* CACFDictionary::Find(std::string_view key, CFType::Kind kind) const
{
    const CFDictionaryStorage& entries = mValue.AsDictionary();
    const auto found = entries.find(key);
    if (found == entries.end() || found->second.GetKind() != kind) return nullptr;
    return &found->second;
}

bool CACFDictionary::GetBool(std::string_view key, bool& out) const
{
    const CFType* value = Find(key, CFType::Kind::Boolean);
    if (value) out = value->AsBoolean();
    return value != nullptr;
}

bool CACFDictionary::GetSInt32(std::string_view key, std::int32_t& out) const
{
    const CFType* value = Find(key, CFType::Kind::Number);
    if (value) out = value->AsSInt32();
    return value != nullptr;
}

bool CACFDictionary::GetFloat64(std::string_view key, double& out) const
{
    const CFType* value = Find(key, CFType::Kind::Number);
    if (value) out = value->AsFloat64();
    return value != nullptr;
}

bool CACFDictionary::GetData(std::string_view key, const CFDataStorage*& out) const
{
    const CFType* value = Find(key, CFType::Kind::Data);
    if (value) out = &value->AsData();
    return value != nullptr;
}

bool CACFDictionary::GetArray(std::string_view key, CACFArray& out) const
{
    const CFType* value = Find(key, CFType::Kind::Array);
    if (value) out = CACFArray(*value);
    return value != nullptr;
}

bool CACFDictionary::GetDictionary(std::string_view key, CACFDictionary& out) const
{
    const CFType* value = Find(key, CFType::Kind::Dictionary);
    if (value) out = CACFDictionary(*value);
    return value != nullptr;
}

bool CACFDictionary::GetCFType(std::string_view key, const CFType*& out) const
{
    const auto found = mValue.AsDictionary().find(key);
    if (found == mValue.AsDictionary().end()) return false;
    out = &found->second;
    return true;
}
