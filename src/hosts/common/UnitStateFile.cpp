#include "hosts/common/UnitStateFile.h"

#include "platform/AudioUnitProperties.h"

namespace
{
std::string Status(OSStatus status)
{
    return " (status " + std::to_string(status) + ")";
}
} // namespace

bool UnitStateFile::Restore(AudioUnit unit, const CFType& state, std::string& error)
{
    const OSStatus status = AudioUnitSetProperty(unit, kAudioUnitProperty_ClassInfo,
                                                 kAudioUnitScope_Global, 0, &state, sizeof state);
    if (status != noErr)
    {
        error = "the component refused this state" + Status(status);
        return false;
    }
    return true;
}

bool UnitStateFile::Capture(AudioUnit unit, CFType& outState, std::string& error)
{
    UInt32 size = sizeof outState;
    const OSStatus status = AudioUnitGetProperty(unit, kAudioUnitProperty_ClassInfo,
                                                 kAudioUnitScope_Global, 0, &outState, &size);
    if (status != noErr)
    {
        error = "the component did not hand over its state" + Status(status);
        return false;
    }
    return true;
}

bool UnitStateFile::Write(const std::string& path, const CFType& state, std::string& error)
{
    return PropertyListFile::Write(path, state, FormatFor(path), error);
}

PropertyListFormat UnitStateFile::FormatFor(const std::string& path)
{
    static const std::string kBinarySuffix = ".bplist";
    const bool binary =
        path.size() >= kBinarySuffix.size() &&
        path.compare(path.size() - kBinarySuffix.size(), kBinarySuffix.size(), kBinarySuffix) == 0;
    return binary ? PropertyListFormat::Binary : PropertyListFormat::XML;
}
