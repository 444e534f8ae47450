#pragma once
// The base of effects: one input and one output bus to begin with, stream formats that change
// only while uninitialised, a check of the channel configuration at initialisation, and the
// bypass and in-place processing flags (global-scope properties).

#include "params/frame/AUBase.h"

class AUEffectBase : public AUBase
{
public:
    explicit AUEffectBase(AudioComponentInstance instance, bool processesInPlace = true);

    // [ui] Refuses (kAudioUnitErr_FormatNotSupported) unless every input bus has the same
    // channel count, every output bus too, and that pair is one SupportedNumChannels offers
    // (−1 on a side: any count; −1 on both: the same count; −2 with −1: any counts). Without
    // a table, inputs and outputs must match.
    OSStatus Initialize() override;
    // [any] Add the bypass and in-place flags to the frame's properties.
    OSStatus GetPropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                             UInt32& outDataSize, Boolean& outWritable) override;
    OSStatus GetProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                         void* outData) override;
    OSStatus SetProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                         const void* inData, UInt32 inDataSize) override;
    bool StreamFormatWritable(AudioUnitScope scope, AudioUnitElement element) override; // [ui]

    bool ShouldBypassEffect() const
    {
        return mBypassEffect.load(std::memory_order_relaxed);
    }                                          // [any]
    virtual void SetBypassEffect(bool bypass); // [any]
    bool ProcessesInPlace() const
    {
        return mProcessesInPlace.load(std::memory_order_relaxed);
    }                                       // [any]
    void SetProcessesInPlace(bool inPlace); // [any]

private:
    bool ChannelCountsUniform(AUScope& scope, UInt32& outChannels);

    std::atomic<bool> mBypassEffect{false};
    std::atomic<bool> mProcessesInPlace;
};
