// Restores states whose parameter blob and element names come from the fuzzer: whatever the
// bytes, a restore stays inside its buffers and ends with a status.
#include "TestPlugin.h"

#include "platform/cf/CACFDictionary.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static AudioUnit unit = []
    {
        AudioUnit opened = nullptr;
        AudioComponentInstanceNew(&kTestPluginRegistration, &opened);
        return opened;
    }();
    if (size == 0) return 0;
    const AudioComponentDescription& identity = kTestPluginRegistration.description;
    CACFDictionary state;
    state.AddSInt32("version", 0);
    state.AddSInt32("type", static_cast<SInt32>(identity.componentType));
    state.AddSInt32("subtype", static_cast<SInt32>(identity.componentSubType));
    state.AddSInt32("manufacturer", static_cast<SInt32>(identity.componentManufacturer));
    // The first byte splits the rest into a blob and the text of an element-name entry.
    const std::size_t split = 1 + data[0] % size;
    state.AddData("data", CFDataStorage(data + 1, data + split));
    const std::string text(reinterpret_cast<const char*>(data + split), size - split);
    CACFDictionary names, scopeNames;
    scopeNames.AddString(text.substr(0, text.size() / 2), text.substr(text.size() / 2));
    names.AddDictionary(text.substr(0, 1), scopeNames);
    state.AddDictionary("element-name", names);
    const CFType plist = state.GetCFType();
    AudioUnitSetProperty(unit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &plist,
                         sizeof(plist));
    return 0;
}
