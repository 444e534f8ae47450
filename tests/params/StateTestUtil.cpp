#include "StateTestUtil.h"

#include <bit>

CFType SaveState(const TovaHost& host)
{
    CFType state;
    UInt32 size = sizeof state;
    const OSStatus status = AudioUnitGetProperty(host.Unit(), kAudioUnitProperty_ClassInfo,
                                                 kAudioUnitScope_Global, 0, &state, &size);
    return status == noErr ? state : CFType();
}

OSStatus RestoreState(const TovaHost& host, const CFType& state)
{
    return AudioUnitSetProperty(host.Unit(), kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global,
                                0, &state, sizeof state);
}

CFType WithEntry(CFType state, const char* key, std::size_t i, const Edit& edit)
{
    CFType& item = state.AsDictionary().at(key).AsDictionary().at("data").AsArray().at(i);
    CACFDictionary entry(item);
    edit(entry);
    item = entry.GetCFType();
    return state;
}

CFType WithParameter(CFType state, AudioUnitParameterID id, float value)
{
    // One record of scope 0, element 0: a 12-byte header, then 8 bytes per (id, value).
    CFDataStorage blob = state.AsDictionary().at("data").AsData();
    const std::uint32_t bits = std::bit_cast<std::uint32_t>(value);
    for (int b = 0; b < 4; ++b)
        blob[12 + 8 * std::size_t{id} + 4 + b] = static_cast<std::uint8_t>(bits >> (24 - 8 * b));
    state.AsDictionary()["data"] = CFType::Data(std::move(blob));
    return state;
}
