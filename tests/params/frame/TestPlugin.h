#pragma once
// A small MIDI-controlled effect for exercising the frame through the host-side calls.
// Global parameters 0, 1, 2 (0.5, 1, 0) and parameter 7 on output bus 1 (0.25); three output
// buses, 2 in / 2 out; bus b renders b + 0.25 × channel, plus the input on bus 0.

#include "params/frame/AUMIDIEffectBase.h"

extern const AudioComponentRegistration kTestPluginRegistration;

class TestPlugin : public AUMIDIEffectBase
{
public:
    static constexpr UInt32 kOutputBuses = 3;

    // What Reset and RenderBus throw.
    enum class Fault
    {
        None,
        Status32,    // kAudioUnitErr_FailedInitialization
        Status16,    // SInt16(-2)
        OutOfMemory, // std::bad_alloc
        Other        // a std::string
    };

    explicit TestPlugin(AudioComponentInstance instance);

    void PostConstructor() override;
    OSStatus Reset(AudioUnitScope scope, AudioUnitElement element) override;
    OSStatus SetParameter(AudioUnitParameterID id, AudioUnitScope scope, AudioUnitElement element,
                          AudioUnitParameterValue value, UInt32 bufferOffsetInFrames) override;
    OSStatus RenderBus(AudioUnitRenderActionFlags& ioActionFlags, const AudioTimeStamp& timeStamp,
                       UInt32 bus, UInt32 frames) override;

    Fault mFault = Fault::None;
    OSStatus mRenderResult = noErr; // what RenderBus returns when it does not throw
    int mSetCalls = 0;
    int mRenders = 0;

private:
    void ThrowFault() const;
};

inline TestPlugin& PluginOf(AudioUnit unit)
{
    return *static_cast<TestPlugin*>(unit->storage);
}
