#include "support/HostTestComponent.h"

#include <cstring>

namespace
{
const AUChannelInfo kChannels[] = {{2, 2}};
} // namespace

HostTestComponent::HostTestComponent(AudioComponentInstance instance,
                                     std::span<const Parameter> parameters)
    : AUMIDIEffectBase(instance), mParameters(parameters)
{
    for (AudioUnitParameterID id = 0; id < mParameters.size(); ++id)
        Globals()->SetParameter(id, mParameters[id].defaultValue);
}

void HostTestComponent::PostConstructor()
{
    AUMIDIEffectBase::PostConstructor();
    SetBusCount(kAudioUnitScope_Output, kOutputBuses);
}

UInt32 HostTestComponent::SupportedNumChannels(const AUChannelInfo** outInfo)
{
    if (outInfo != nullptr) *outInfo = kChannels;
    return 1;
}

OSStatus HostTestComponent::GetParameterInfo(AudioUnitScope scope, AudioUnitParameterID id,
                                             AudioUnitParameterInfo& outInfo)
{
    if (scope != kAudioUnitScope_Global || id >= mParameters.size())
        return AUMIDIEffectBase::GetParameterInfo(scope, id, outInfo);
    const Parameter& parameter = mParameters[id];
    std::strncpy(outInfo.name, parameter.name, sizeof(outInfo.name) - 1);
    outInfo.cfNameString = parameter.name;
    outInfo.unit = parameter.unit;
    outInfo.minValue = parameter.minValue;
    outInfo.maxValue = parameter.maxValue;
    outInfo.defaultValue = parameter.defaultValue;
    outInfo.flags = kAudioUnitParameterFlag_IsReadable | kAudioUnitParameterFlag_IsWritable |
                    kAudioUnitParameterFlag_HasCFNameString;
    return noErr;
}
