#include "hosts/common/UnitParameterList.h"

#include "hosts/common/StatusText.h"
#include "platform/cf/CFType.h"

#include <cstring>

bool UnitParameterList::Read(AudioUnit unit, std::string& error)
{
    mParameters.clear();
    UInt32 size = 0;
    OSStatus status = AudioUnitGetPropertyInfo(unit, kAudioUnitProperty_ParameterList,
                                               kAudioUnitScope_Global, 0, &size, nullptr);
    std::vector<AudioUnitParameterID> ids(size / sizeof(AudioUnitParameterID));
    if (status == noErr && !ids.empty())
        status = AudioUnitGetProperty(unit, kAudioUnitProperty_ParameterList,
                                      kAudioUnitScope_Global, 0, ids.data(), &size);
    if (status != noErr)
    {
        error = "the unit does not list its parameters" + StatusText::Of(status);
        return false;
    }
    for (const AudioUnitParameterID id : ids)
    {
        AudioUnitParameterInfo info;
        size = sizeof info;
        status = AudioUnitGetProperty(unit, kAudioUnitProperty_ParameterInfo,
                                      kAudioUnitScope_Global, id, &info, &size);
        if (status != noErr)
        {
            error = "the unit does not describe parameter " + std::to_string(id) +
                    StatusText::Of(status);
            return false;
        }
        Parameter parameter;
        parameter.id = id;
        parameter.name = info.cfNameString != nullptr
                             ? std::string(info.cfNameString)
                             : std::string(info.name, strnlen(info.name, sizeof info.name));
        parameter.unit = info.unit;
        parameter.minValue = info.minValue;
        parameter.maxValue = info.maxValue;
        parameter.defaultValue = info.defaultValue;
        parameter.flags = info.flags;
        CFType strings;
        size = sizeof strings;
        // Most parameters have no value strings; the unit says so with an error status.
        if (AudioUnitGetProperty(unit, kAudioUnitProperty_ParameterValueStrings,
                                 kAudioUnitScope_Global, id, &strings, &size) == noErr &&
            strings.GetKind() == CFType::Kind::Array)
        {
            for (const CFType& item : strings.AsArray())
                parameter.valueStrings.push_back(
                    item.GetKind() == CFType::Kind::String ? item.AsString() : std::string());
        }
        mParameters.push_back(std::move(parameter));
    }
    return true;
}
