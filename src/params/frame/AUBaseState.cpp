// AUBase: the class-info state, a property-list dictionary with the component's identity, the
// parameter values as a big-endian blob, the preset name and the element names.
//
// Blob: one record per element of the global, input and output scopes (in that order,
// elements ascending) that has parameters: scope, element, count n, then n pairs of id and
// value, ids ascending; every field 4 bytes, big-endian (values as IEEE-754 bit patterns).

#include "params/frame/AUBase.h"

#include "platform/cf/CACFDictionary.h"

#include <bit>
#include <charconv>
#include <limits>
#include <string>
#include <string_view>

namespace
{

constexpr SInt32 kStateVersion = 0;
constexpr std::size_t kRecordHeaderBytes = 12;
constexpr std::size_t kPairBytes = 8;

void AppendU32(CFDataStorage& blob, UInt32 value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        blob.push_back(static_cast<std::uint8_t>(value >> shift));
}

UInt32 ReadU32(const CFDataStorage& blob, std::size_t at)
{
    return (UInt32(blob[at]) << 24) | (UInt32(blob[at + 1]) << 16) | (UInt32(blob[at + 2]) << 8) |
           UInt32(blob[at + 3]);
}

const CFType* Find(const CFDictionaryStorage& dictionary, std::string_view key)
{
    const auto found = dictionary.find(key);
    return found == dictionary.end() ? nullptr : &found->second;
}

// A four-character code as saved: any number whose low 32 bits are the code, written either as
// a signed 32-bit integer (how the frame saves it) or as an unsigned one.
bool MatchesCode(const CFType* value, OSType code)
{
    if (value == nullptr || !value->IsNumber()) return false;
    const SInt64 n = value->AsSInt64();
    return n >= std::numeric_limits<SInt32>::min() && n <= std::numeric_limits<UInt32>::max() &&
           static_cast<UInt32>(n) == code;
}

// A whole decimal number, as the element-name keys are written.
bool ParseIndex(std::string_view text, UInt32& out)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    return error == std::errc{} && end == text.data() + text.size();
}

} // namespace

OSStatus AUBase::SaveState(CFType* outData)
{
    if (outData == nullptr) return kAudio_ParamError;
    const AudioComponentDescription& identity = GetComponentDescription();
    CACFDictionary state;
    state.AddSInt32("version", kStateVersion);
    state.AddSInt32("type", static_cast<SInt32>(identity.componentType));
    state.AddSInt32("subtype", static_cast<SInt32>(identity.componentSubType));
    state.AddSInt32("manufacturer", static_cast<SInt32>(identity.componentManufacturer));
    state.AddData("data", SaveParameters());
    state.AddString("name", GetPreset().presetName);

    // Only units that answer these properties save them.
    UInt32 size = 0;
    Boolean writable = false;
    UInt32 quality = 0;
    if (DispatchGetPropertyInfo(kAudioUnitProperty_RenderQuality, kAudioUnitScope_Global, 0, size,
                                writable) == noErr &&
        size == sizeof(quality) &&
        DispatchGetProperty(kAudioUnitProperty_RenderQuality, kAudioUnitScope_Global, 0, &quality,
                            sizeof(quality)) == noErr)
        state.AddSInt32("render-quality", static_cast<SInt32>(quality));
    Float32 load = 0;
    if (DispatchGetPropertyInfo(kAudioUnitProperty_CPULoad, kAudioUnitScope_Global, 0, size,
                                writable) == noErr &&
        size == sizeof(load) &&
        DispatchGetProperty(kAudioUnitProperty_CPULoad, kAudioUnitScope_Global, 0, &load,
                            sizeof(load)) == noErr)
        state.AddFloat32("cpu-load", load);

    CACFDictionary names;
    for (AudioUnitScope s = kAudioUnitScope_Global; s <= kAudioUnitScope_Group; ++s)
    {
        const AUScope& scope = GetScope(s);
        CACFDictionary scopeNames;
        for (UInt32 e = 0; e < scope.GetNumberOfElements(); ++e)
            if (scope.GetElement(e)->HasName())
                scopeNames.AddString(std::to_string(e), scope.GetElement(e)->GetName());
        if (scopeNames.Size() > 0) names.AddDictionary(std::to_string(s), scopeNames);
    }
    if (names.Size() > 0) state.AddDictionary("element-name", names);

    *outData = state.GetCFType();
    return noErr;
}

CFDataStorage AUBase::SaveParameters()
{
    CFDataStorage blob;
    for (AUScope* scope : {&mGlobalScope, &mInputScope, &mOutputScope})
        for (UInt32 e = 0; e < scope->GetNumberOfElements(); ++e)
        {
            const AUElement& element = *scope->GetElement(e);
            const std::vector<AudioUnitParameterID> ids = element.GetParameterIDs();
            if (ids.empty()) continue;
            AppendU32(blob, scope->GetScope());
            AppendU32(blob, e);
            AppendU32(blob, static_cast<UInt32>(ids.size()));
            for (const AudioUnitParameterID id : ids)
            {
                AppendU32(blob, id);
                AppendU32(blob, std::bit_cast<UInt32>(element.GetParameter(id)));
            }
        }
    return blob;
}

OSStatus AUBase::RestoreState(const CFType& plist)
{
    if (plist.GetKind() != CFType::Kind::Dictionary) return kAudioUnitErr_InvalidPropertyValue;
    const CFDictionaryStorage& state = plist.AsDictionary();
    if (Find(state, "part") != nullptr) return kAudioUnitErr_InvalidPropertyValue;
    const CFType* version = Find(state, "version");
    if (version == nullptr || !version->IsNumber() || version->AsSInt64() != kStateVersion)
        return kAudioUnitErr_InvalidPropertyValue;
    const AudioComponentDescription& identity = GetComponentDescription();
    if (!MatchesCode(Find(state, "type"), identity.componentType) ||
        !MatchesCode(Find(state, "subtype"), identity.componentSubType) ||
        !MatchesCode(Find(state, "manufacturer"), identity.componentManufacturer))
        return kAudioUnitErr_InvalidPropertyValue;
    const CFType* data = Find(state, "data");
    const bool hasData = data != nullptr && data->GetKind() == CFType::Kind::Data;
    // A state made by the plug-in's other format carries "vstdata" instead: accepted, with
    // the parameters left as they are.
    if (!hasData && Find(state, "vstdata") == nullptr) return kAudioUnitErr_InvalidPropertyValue;

    if (hasData) RestoreParameters(data->AsData());

    const CFType* name = Find(state, "name");
    AUPreset preset;
    preset.presetName = name != nullptr && name->GetKind() == CFType::Kind::String
                            ? name->AsString()
                            : std::string("Untitled");
    SetPreset(preset);
    PropertyChanged(kAudioUnitProperty_CurrentPreset, kAudioUnitScope_Global, 0);
    PropertyChanged(kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0);

    // Handed to the property path; a unit that does not answer them refuses, and that is fine.
    if (const CFType* quality = Find(state, "render-quality"); quality && quality->IsNumber())
    {
        const auto value = static_cast<UInt32>(quality->AsSInt64());
        DispatchSetProperty(kAudioUnitProperty_RenderQuality, kAudioUnitScope_Global, 0, &value,
                            sizeof(value));
    }
    if (const CFType* load = Find(state, "cpu-load"); load && load->IsNumber())
    {
        const auto value = static_cast<Float32>(load->AsFloat64());
        DispatchSetProperty(kAudioUnitProperty_CPULoad, kAudioUnitScope_Global, 0, &value,
                            sizeof(value));
    }
    if (const CFType* names = Find(state, "element-name")) RestoreElementNames(*names);
    return noErr;
}

void AUBase::RestoreParameters(const CFDataStorage& blob)
{
    std::size_t at = 0;
    while (blob.size() - at >= kRecordHeaderBytes)
    {
        const UInt32 scope = ReadU32(blob, at);
        const UInt32 element = ReadU32(blob, at + 4);
        const UInt32 count = ReadU32(blob, at + 8);
        at += kRecordHeaderBytes;
        AUElement* target = GetScope(scope).SafeGetElement(element);
        // A record cut short by the end of the blob restores what it holds.
        for (UInt32 i = 0; i < count && blob.size() - at >= kPairBytes; ++i, at += kPairBytes)
            // Values of parameters the element does not have are skipped: a state cannot add
            // parameters to a unit.
            target->TrySetParameter(ReadU32(blob, at),
                                    std::bit_cast<Float32>(ReadU32(blob, at + 4)));
    }
}

void AUBase::RestoreElementNames(const CFType& names)
{
    if (names.GetKind() != CFType::Kind::Dictionary) return;
    for (const auto& [scopeKey, scopeNames] : names.AsDictionary())
    {
        UInt32 scope = 0;
        if (!ParseIndex(scopeKey, scope) || scope > kAudioUnitScope_Group ||
            scopeNames.GetKind() != CFType::Kind::Dictionary)
            continue;
        for (const auto& [elementKey, name] : scopeNames.AsDictionary())
        {
            UInt32 element = 0;
            if (!ParseIndex(elementKey, element) || name.GetKind() != CFType::Kind::String)
                continue;
            if (AUElement* named = GetScope(scope).GetElement(element))
                named->SetName(name.AsString());
        }
    }
}
