#pragma once
// A small MIDI-controlled effect that makes what the LV2 wrapper does visible in its audio:
// one stereo input bus, four stereo output buses, five parameters and Tova's custom
// properties, each render call writing what it was told.
//
// Every render call fills its frames of
// - bus 0: left input × "Gain"; right 0 except the note number at each note on's offset;
// - bus 1: the host's beat and tempo (−1 both when the callback fails);
// - bus 2: the transport's playing flag (−1 when it fails) and the call's frame count;
// - bus 3: the time signature's numerator (−1 when it fails) and the call's sample time.
// Parameters: 0 "Gain" (0 … 2, default 1), 1 "Mode" (indexed 0 … 2: "Slow", "Medium",
// "Fast"), 2 "Armed" (boolean), 3 "Lock" (indexed 0 … 1): while it is on the unit switches
// "Armed" off and keeps it off; 4 "Learned" (0 … 1), which controller 7 sets to value / 127
// while sending note 60 with that velocity on the unit's virtual source.
// Properties: 64000 memory use (100 per imported file), 64001 erase (forgets the imports),
// 64002 stopped (1 while "Gain" is 0, announced when that changes), 64003 and 64004 import
// (a path; refused with kAudioUnitErr_InvalidFile when no file is there), 100000 the learn
// parameter. The state carries the import count under "test-imports".

#include "platform/CoreMIDI.h"
#include "support/HostTestComponent.h"

#include <array>
#include <atomic>

extern const AudioComponentRegistration kLV2TestComponent;

class LV2TestComponent : public HostTestComponent
{
public:
    explicit LV2TestComponent(AudioComponentInstance instance);
    ~LV2TestComponent() override;

    OSStatus GetParameterValueStrings(AudioUnitScope scope, AudioUnitParameterID id,
                                      CFType* outStrings) override;
    OSStatus SetParameter(AudioUnitParameterID id, AudioUnitScope scope, AudioUnitElement element,
                          AudioUnitParameterValue value, UInt32 bufferOffsetInFrames) override;
    OSStatus GetPropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                             UInt32& outDataSize, Boolean& outWritable) override;
    OSStatus GetProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                         void* outData) override;
    OSStatus SetProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                         const void* inData, UInt32 inDataSize) override;
    OSStatus SaveState(CFType* outData) override;
    OSStatus RestoreState(const CFType& plist) override;
    OSStatus RenderBus(AudioUnitRenderActionFlags& ioActionFlags, const AudioTimeStamp& timeStamp,
                       UInt32 bus, UInt32 frames) override;
    OSStatus HandleNoteOn(UInt8 channel, UInt8 note, UInt8 velocity,
                          UInt32 offsetSampleFrame) override;
    OSStatus HandleControlChange(UInt8 channel, UInt8 controller, UInt8 value,
                                 UInt32 offsetSampleFrame) override;

private:
    struct Note
    {
        UInt8 note;
        UInt32 offset;
    };

    std::array<Note, 64> mNotes{};
    std::size_t mNoteCount = 0;
    std::atomic<SInt32> mImports{0};
    std::atomic<SInt32> mLearn{-1};
    MIDIClientRef mClient = 0;
    MIDIEndpointRef mSource = 0;
};
