#pragma once
// The common ground of the small MIDI-controlled effects that the host tests open instead of
// Tova: one stereo input bus, four stereo output buses, and global parameters described by a
// table (readable, writable, named), each starting at its default.

#include "params/frame/AUMIDIEffectBase.h"

#include <span>

class HostTestComponent : public AUMIDIEffectBase
{
public:
    static constexpr UInt32 kOutputBuses = 4;

    // A global parameter; its id is its place in the table.
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
