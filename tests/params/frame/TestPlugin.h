#pragma once
// A small MIDI-controlled effect for exercising the frame through the host-side calls. It
// records what reaches its virtual operations so that tests can check the routing.
//
// Global parameters 0, 1, 2 (defaults 0.5, 1, 0); parameter 7 on output bus 1; three output
// buses, one input bus, 2 in / 2 out channels. Bus b renders b + 0.25 × channel into every
// frame; bus 0 adds the input when a source is connected. Custom property 64000 (UInt32)
// reads and writes a counter, and setting it announces property 64002.

#include "params/frame/AUMIDIEffectBase.h"

#include <string>
#include <vector>

extern const AudioComponentRegistration kTestPluginRegistration;

class TestPlugin : public AUMIDIEffectBase
{
public:
    static constexpr AudioUnitPropertyID kCounterProperty = 64000;
    static constexpr AudioUnitPropertyID kAnnouncedProperty = 64002;
    static constexpr UInt32 kOutputBuses = 3;

    enum class Fault
    {
        None,
        Status32,    // throws OSStatus kAudioUnitErr_FailedInitialization
        Status16,    // throws SInt16(-2)
        OutOfMemory, // throws std::bad_alloc
        Other        // throws a std::string
    };

    struct Event
    {
        std::string what;
        int channel = 0;
        int data1 = 0;
        int data2 = 0;
        UInt32 offset = 0;
        bool operator==(const Event&) const = default;
    };
    struct SetCall
    {
        AudioUnitParameterID id;
        AudioUnitScope scope;
        AudioUnitElement element;
        AudioUnitParameterValue value;
        UInt32 offset;
        bool operator==(const SetCall&) const = default;
    };

    explicit TestPlugin(AudioComponentInstance instance);

    void PostConstructor() override;
    OSStatus Reset(AudioUnitScope scope, AudioUnitElement element) override;
    OSStatus GetPropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                             UInt32& outDataSize, Boolean& outWritable) override;
    OSStatus GetProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                         void* outData) override;
    OSStatus SetProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                         const void* inData, UInt32 inDataSize) override;
    OSStatus SetParameter(AudioUnitParameterID id, AudioUnitScope scope, AudioUnitElement element,
                          AudioUnitParameterValue value, UInt32 bufferOffsetInFrames) override;
    OSStatus GetParameterInfo(AudioUnitScope scope, AudioUnitParameterID id,
                              AudioUnitParameterInfo& outInfo) override;
    OSStatus GetParameterValueStrings(AudioUnitScope scope, AudioUnitParameterID id,
                                      CFType* outStrings) override;
    OSStatus RenderBus(AudioUnitRenderActionFlags& ioActionFlags, const AudioTimeStamp& timeStamp,
                       UInt32 bus, UInt32 frames) override;
    void Cleanup() override;
    UInt32 SupportedNumChannels(const AUChannelInfo** outInfo) override;
    int GetNumCustomUIComponents() override;
    void GetUIComponentDescs(ComponentDescription* inDescArray) override;

    OSStatus HandleNoteOn(UInt8 channel, UInt8 note, UInt8 velocity, UInt32 offset) override;
    OSStatus HandleNoteOff(UInt8 channel, UInt8 note, UInt8 velocity, UInt32 offset) override;
    OSStatus HandleControlChange(UInt8 channel, UInt8 controller, UInt8 value,
                                 UInt32 offset) override;
    OSStatus HandlePitchWheel(UInt8 channel, UInt8 lsb, UInt8 msb, UInt32 offset) override;
    OSStatus HandleResetAllControllers(UInt8 channel) override;
    OSStatus HandleAllNotesOff(UInt8 channel) override;
    OSStatus HandleAllSoundOff(UInt8 channel) override;

    Fault mFault = Fault::None;     // what Reset and RenderBus throw
    OSStatus mRenderResult = noErr; // what RenderBus returns when it does not throw
    std::vector<Event> mEvents;
    std::vector<SetCall> mSetCalls;
    std::vector<bool> mNewCycles; // NeedsToRender per RenderBus call
    UInt32 mCounter = 0;
    static inline int sCleanups = 0; // Cleanup calls in this process

private:
    void ThrowFault() const;
};

// The plug-in object behind an open instance, for inspection.
inline TestPlugin& PluginOf(AudioUnit unit)
{
    return *static_cast<TestPlugin*>(unit->storage);
}
