#pragma once
// The small MIDI effects the host tests open instead of Tova: stereo in, four stereo outputs,
// and global parameters from a table, each starting at its default.

#include "params/frame/AUMIDIEffectBase.h"

#include <span>

class HostTestComponent : public AUMIDIEffectBase
{
public:
    static constexpr UInt32 kOutputBuses = 4;

    // Its id is its place in the table.
    struct Parameter
    {
        const char* name;
        AudioUnitParameterUnit unit;
        AudioUnitParameterValue minValue;
        AudioUnitParameterValue maxValue;
        AudioUnitParameterValue defaultValue;
    };

    // `parameters` must outlive the component.
    HostTestComponent(AudioComponentInstance instance, std::span<const Parameter> parameters);

    void PostConstructor() override;
    UInt32 SupportedNumChannels(const AUChannelInfo** outInfo) override;
    OSStatus GetParameterInfo(AudioUnitScope scope, AudioUnitParameterID id,
                              AudioUnitParameterInfo& outInfo) override;

private:
    std::span<const Parameter> mParameters;
};
