// Restores Tova from arbitrary bytes read as a property list (either form). The frame's
// identity keys are put right, so that the fuzzer reaches the pool and the keys: whatever the
// rest holds, a restore stays inside its arrays and ends with a status, and a state it accepts
// saves as a state it accepts again.

#include "engine/CTovaEntry.h"
#include "platform/AudioUnitProperties.h"
#include "platform/cf/CACFDictionary.h"
#include "platform/cf/PropertyListFile.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace
{
AudioUnit Tova()
{
    static AudioUnit unit = []
    {
        AudioUnit opened = nullptr;
        AudioComponentInstanceNew(&kTovaRegistration, &opened);
        return opened;
    }();
    return unit;
}

OSStatus Restore(const CFType& plist)
{
    return AudioUnitSetProperty(Tova(), kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0,
                                &plist, sizeof plist);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFType plist;
    std::string error;
    if (!PropertyListFile::Decode(data, size, plist, error)) return 0;
    if (plist.GetKind() == CFType::Kind::Dictionary)
    {
        const AudioComponentDescription& identity = kTovaRegistration.description;
        CACFDictionary state(plist);
        state.AddSInt32("version", 0);
        state.AddSInt32("type", static_cast<SInt32>(identity.componentType));
        state.AddSInt32("subtype", static_cast<SInt32>(identity.componentSubType));
        state.AddSInt32("manufacturer", static_cast<SInt32>(identity.componentManufacturer));
        state.GetCFType().AsDictionary().erase("part");
        plist = state.GetCFType();
    }
    if (Restore(plist) != noErr) return 0;
    CFType saved;
    UInt32 bytes = sizeof saved;
    if (AudioUnitGetProperty(Tova(), kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0,
                             &saved, &bytes) != noErr ||
        Restore(saved) != noErr)
        __builtin_trap();
    return 0;
}
