#pragma once
// A small MIDI-controlled effect for exercising the frame through the host-side calls.
// Global parameter 0 and parameter 7 on output bus 1; three stereo output buses, one input;
// bus b renders b + 0.25 × channel, plus the input on bus 0.

#include "params/frame/AUMIDIEffectBase.h"

#include <functional>

extern const AudioComponentRegistration kTestPluginRegistration;

class TestPlugin : public AUMIDIEffectBase
{
public:
    static constexpr UInt32 kOutputBuses = 3;

    explicit TestPlugin(AudioComponentInstance instance);
    void PostConstructor() override;
    OSStatus Reset(AudioUnitScope scope, AudioUnitElement element) override;
    OSStatus RenderBus(AudioUnitRenderActionFlags& ioActionFlags, const AudioTimeStamp& timeStamp,
                       UInt32 bus, UInt32 frames) override;

    std::function<void()> mFault = [] {}; // called by Reset and RenderBus
    OSStatus mRenderResult = noErr;       // what RenderBus returns when it does not throw
    int mRenders = 0;
};
