// Writes valid Tova states, in both property-list forms, into the restore fuzzer's corpus: a
// small pool of two samples on three keys, and an empty one.

#include "engine/CTovaEntry.h"
#include "platform/AudioUnitProperties.h"
#include "platform/cf/CACFArray.h"
#include "platform/cf/CACFDictionary.h"
#include "platform/cf/PropertyListFile.h"

#include <cstdio>
#include <string>

namespace
{
CFType SmallState(AudioUnit unit)
{
    CFType state;
    UInt32 size = sizeof state;
    AudioUnitGetProperty(unit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &state,
                         &size);
    CACFDictionary samples;
    samples.AddSInt32("version", 1);
    samples.AddSInt32("length", 6);
    samples.AddData("samples", CFDataStorage(48, 0x3E));
    CACFArray slots;
    for (int i = 0; i < 64; ++i)
    {
        CACFDictionary slot;
        slot.AddSInt32("size", i < 2 ? 3 : 0);
        if (i < 2)
        {
            slot.AddSInt32("start", 3 * i);
            slot.AddSInt32("last", 3 * i + 2);
            slot.AddFloat64("tempo", i == 0 ? 120.0 : -1.0);
            slot.AddFloat64("sr", 44100.0);
            slot.AddSInt32("sync", 2 * i);
            slot.AddSInt32("neverLoop", i);
            slot.AddSInt32("playAll", 0);
        }
        slots.AppendDictionary(slot);
    }
    samples.AddArray("data", slots);
    CACFArray keys;
    for (int k = 0; k < 128; ++k)
    {
        CACFDictionary key;
        key.AddSInt32("id", k == 60 || k == 61 ? 0 : k == 72 ? 1 : -1);
        if (k == 60 || k == 61 || k == 72)
        {
            key.AddFloat64("pitchshift", k == 61 ? 1.0594630943592953 : 1.0);
            key.AddFloat64("speed", 1.0);
            key.AddSInt32("auto", k == 61 ? 1 : 0);
            key.AddSInt32("looping", 1);
        }
        keys.AppendDictionary(key);
    }
    CACFDictionary keysInfo;
    keysInfo.AddSInt32("version", 1);
    keysInfo.AddArray("data", keys);
    CACFDictionary top(state);
    top.AddDictionary("tova-samples", samples);
    top.AddDictionary("tova-keysinfo", keysInfo);
    return top.GetCFType();
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: %s CORPUS-DIRECTORY\n", argv[0]);
        return 2;
    }
    const std::string corpus = argv[1];
    AudioUnit unit = nullptr;
    if (AudioComponentInstanceNew(&kTovaRegistration, &unit) != noErr) return 1;
    CFType empty;
    UInt32 size = sizeof empty;
    AudioUnitGetProperty(unit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &empty,
                         &size);
    const CFType small = SmallState(unit);
    std::string error;
    const bool written =
        PropertyListFile::Write(corpus + "/small.bplist", small, PropertyListFormat::Binary,
                                error) &&
        PropertyListFile::Write(corpus + "/small.plist", small, PropertyListFormat::XML, error) &&
        PropertyListFile::Write(corpus + "/empty.bplist", empty, PropertyListFormat::Binary, error);
    AudioComponentInstanceDispose(unit);
    if (!written) std::fprintf(stderr, "%s\n", error.c_str());
    return written ? 0 : 1;
}
