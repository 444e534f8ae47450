#include "hosts/common/UnitStateFile.h"

#include "hosts/common/StatusText.h"
#include "platform/AudioUnitProperties.h"

bool UnitStateFile::Restore(AudioUnit unit, const CFType& state, std::string& error)
{
    const OSStatus status = AudioUnitSetProperty(unit, kAudioUnitProperty_ClassInfo,
                                                 kAudioUnitScope_Global, 0, &state, sizeof state);
    if (status != noErr)
    {
        error = "the component refused this state" + StatusText::Of(status);
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
        error = "the component did not hand over its state" + StatusText::Of(status);
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
    return path.ends_with(".bplist") ? PropertyListFormat::Binary : PropertyListFormat::XML;
}
