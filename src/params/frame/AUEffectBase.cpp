#include "params/frame/AUEffectBase.h"

#include <cstring>

namespace
{

bool Matches(const AUChannelInfo& config, UInt32 in, UInt32 out)
{
    const SInt32 configIn = config.inChannels;
    const SInt32 configOut = config.outChannels;
    if (configIn < 0 && configOut < 0) return configIn == -1 && configOut == -1 ? in == out : true;
    return (configIn == -1 || UInt32(configIn) == in) &&
           (configOut == -1 || UInt32(configOut) == out);
}

} // namespace

AUEffectBase::AUEffectBase(AudioComponentInstance instance, bool processesInPlace)
    : AUBase(instance, 1, 1), mProcessesInPlace(processesInPlace)
{
}

bool AUEffectBase::ChannelCountsUniform(AUScope& scope, UInt32& outChannels)
{
    outChannels = 0;
    for (UInt32 i = 0; i < scope.GetNumberOfElements(); ++i)
    {
        const UInt32 channels = scope.GetIOElement(i)->NumberChannelStreams();
        if (i > 0 && channels != outChannels) return false;
        outChannels = channels;
    }
    return true;
}

OSStatus AUEffectBase::Initialize()
{
    UInt32 in = 0;
    UInt32 out = 0;
    if (!ChannelCountsUniform(Inputs(), in) || !ChannelCountsUniform(Outputs(), out))
        return kAudioUnitErr_FormatNotSupported;
    const AUChannelInfo* configs = nullptr;
    const UInt32 count = SupportedNumChannels(&configs);
    if (count == 0 || configs == nullptr)
        return in == out && out > 0 ? noErr : kAudioUnitErr_FormatNotSupported;
    for (UInt32 i = 0; i < count; ++i)
        if (Matches(configs[i], in, out)) return noErr;
    return kAudioUnitErr_FormatNotSupported;
}

bool AUEffectBase::StreamFormatWritable(AudioUnitScope, AudioUnitElement)
{
    return !IsInitialized();
}

void AUEffectBase::SetBypassEffect(bool bypass)
{
    mBypassEffect.store(bypass, std::memory_order_relaxed);
}

void AUEffectBase::SetProcessesInPlace(bool inPlace)
{
    mProcessesInPlace.store(inPlace, std::memory_order_relaxed);
}

OSStatus AUEffectBase::GetPropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope,
                                       AudioUnitElement element, UInt32& outDataSize,
                                       Boolean& outWritable)
{
    if (scope == kAudioUnitScope_Global &&
        (id == kAudioUnitProperty_BypassEffect || id == kAudioUnitProperty_InPlaceProcessing))
    {
        outDataSize = sizeof(UInt32);
        outWritable = true;
        return noErr;
    }
    return AUBase::GetPropertyInfo(id, scope, element, outDataSize, outWritable);
}

OSStatus AUEffectBase::GetProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                                   AudioUnitElement element, void* outData)
{
    if (scope == kAudioUnitScope_Global &&
        (id == kAudioUnitProperty_BypassEffect || id == kAudioUnitProperty_InPlaceProcessing))
    {
        const UInt32 value =
            id == kAudioUnitProperty_BypassEffect ? ShouldBypassEffect() : ProcessesInPlace();
        std::memcpy(outData, &value, sizeof(value));
        return noErr;
    }
    return AUBase::GetProperty(id, scope, element, outData);
}

OSStatus AUEffectBase::SetProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                                   AudioUnitElement element, const void* inData, UInt32 inDataSize)
{
    if (scope == kAudioUnitScope_Global &&
        (id == kAudioUnitProperty_BypassEffect || id == kAudioUnitProperty_InPlaceProcessing))
    {
        UInt32 value = 0;
        if (inDataSize < sizeof(value)) return kAudio_ParamError;
        std::memcpy(&value, inData, sizeof(value));
        if (id == kAudioUnitProperty_BypassEffect)
            SetBypassEffect(value != 0);
        else
            SetProcessesInPlace(value != 0);
        return noErr;
    }
    return AUBase::SetProperty(id, scope, element, inData, inDataSize);
}
