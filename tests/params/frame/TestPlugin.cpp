#include "params/frame/TestPlugin.h"

#include "params/frame/ComponentEntryPoint.h"

#include <cstring>
#include <new>

namespace
{

ComponentResult TestPluginEntry(ComponentParameters* params, void* storage)
{
    return ComponentEntryPoint<TestPlugin>::Dispatch(params, storage);
}

const AUChannelInfo kChannels[] = {{2, 2}};

} // namespace

const AudioComponentRegistration kTestPluginRegistration{
    {kAudioUnitType_MusicEffect, FourCharCode("Test"), FourCharCode("Qzpt")},
    "Test plug-in",
    0x00010100,
    TestPluginEntry};

TestPlugin::TestPlugin(AudioComponentInstance instance) : AUMIDIEffectBase(instance)
{
    SetWantsRenderThreadID(true);
    SetMaxFramesPerSlice(64);
    Globals()->SetParameter(0, 0.5f);
    Globals()->SetParameter(1, 1.0f);
    Globals()->SetParameter(2, 0.0f);
}

void TestPlugin::PostConstructor()
{
    AUMIDIEffectBase::PostConstructor();
    SetBusCount(kAudioUnitScope_Output, kOutputBuses);
    Outputs().GetElement(1)->SetParameter(7, 0.25f);
}

void TestPlugin::ThrowFault() const
{
    switch (mFault)
    {
    case Fault::None:
        return;
    case Fault::Status32:
        throw kAudioUnitErr_FailedInitialization;
    case Fault::Status16:
        throw SInt16(-2);
    case Fault::OutOfMemory:
        throw std::bad_alloc();
    case Fault::Other:
        throw std::string("neither a status nor memory");
    }
}

OSStatus TestPlugin::Reset(AudioUnitScope, AudioUnitElement)
{
    ThrowFault();
    mEvents.push_back({"Reset"});
    return noErr;
}

OSStatus TestPlugin::GetPropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope,
                                     AudioUnitElement element, UInt32& outDataSize,
                                     Boolean& outWritable)
{
    if (id == kCounterProperty)
    {
        outDataSize = sizeof(UInt32);
        outWritable = true;
        return noErr;
    }
    // Hidden, as the plug-in this frame serves hides it.
    if (id == kAudioUnitProperty_InPlaceProcessing) return kAudioUnitErr_InvalidProperty;
    return AUMIDIEffectBase::GetPropertyInfo(id, scope, element, outDataSize, outWritable);
}

OSStatus TestPlugin::GetProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                                 AudioUnitElement element, void* outData)
{
    if (id == kCounterProperty)
    {
        std::memcpy(outData, &mCounter, sizeof(mCounter));
        return noErr;
    }
    return AUMIDIEffectBase::GetProperty(id, scope, element, outData);
}

OSStatus TestPlugin::SetProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                                 AudioUnitElement element, const void* inData, UInt32 inDataSize)
{
    if (id == kCounterProperty)
    {
        std::memcpy(&mCounter, inData, sizeof(mCounter));
        PropertyChanged(kAnnouncedProperty, kAudioUnitScope_Global, 0);
        return noErr;
    }
    return AUMIDIEffectBase::SetProperty(id, scope, element, inData, inDataSize);
}

OSStatus TestPlugin::SetParameter(AudioUnitParameterID id, AudioUnitScope scope,
                                  AudioUnitElement element, AudioUnitParameterValue value,
                                  UInt32 bufferOffsetInFrames)
{
    mSetCalls.push_back({id, scope, element, value, bufferOffsetInFrames});
    return AUMIDIEffectBase::SetParameter(id, scope, element, value, bufferOffsetInFrames);
}

OSStatus TestPlugin::GetParameterInfo(AudioUnitScope scope, AudioUnitParameterID id,
                                      AudioUnitParameterInfo& outInfo)
{
    static const char* const kNames[] = {"Level", "Ratio", "Mode"};
    if (scope != kAudioUnitScope_Global || id > 2)
        return AUMIDIEffectBase::GetParameterInfo(scope, id, outInfo);
    std::strncpy(outInfo.name, kNames[id], sizeof(outInfo.name) - 1);
    outInfo.cfNameString = kNames[id];
    outInfo.flags = kAudioUnitParameterFlag_IsReadable | kAudioUnitParameterFlag_IsWritable |
                    kAudioUnitParameterFlag_HasCFNameString;
    outInfo.unit = id == 2 ? kAudioUnitParameterUnit_Indexed : kAudioUnitParameterUnit_Generic;
    outInfo.minValue = 0;
    outInfo.maxValue = id == 0 ? 1.0f : id == 1 ? 10.0f : 2.0f;
    outInfo.defaultValue = id == 0 ? 0.5f : id == 1 ? 1.0f : 0.0f;
    return noErr;
}

OSStatus TestPlugin::GetParameterValueStrings(AudioUnitScope scope, AudioUnitParameterID id,
                                              CFType* outStrings)
{
    if (scope != kAudioUnitScope_Global || id != 2)
        return AUMIDIEffectBase::GetParameterValueStrings(scope, id, outStrings);
    if (outStrings != nullptr)
        *outStrings =
            CFType::Array({CFType::String("Off"), CFType::String("Half"), CFType::String("Full")});
    return noErr;
}

OSStatus TestPlugin::RenderBus(AudioUnitRenderActionFlags& ioActionFlags,
                               const AudioTimeStamp& timeStamp, UInt32 bus, UInt32 frames)
{
    mNewCycles.push_back(NeedsToRender(timeStamp));
    ThrowFault();
    if (mRenderResult != noErr) return mRenderResult;
    const Float32* input[2] = {nullptr, nullptr};
    if (bus == 0 && GetInput(0)->IsActive())
    {
        GetInput(0)->PullInput(ioActionFlags, timeStamp, 0, frames);
        input[0] = GetInput(0)->GetChannelData(0);
        input[1] = GetInput(0)->GetChannelData(1);
    }
    AUOutputElement* output = GetOutput(bus);
    for (UInt32 c = 0; c < 2; ++c)
    {
        Float32* out = output->GetChannelData(c);
        for (UInt32 i = 0; i < frames; ++i)
            out[i] = static_cast<Float32>(bus) + 0.25f * static_cast<Float32>(c) +
                     (input[c] != nullptr ? input[c][i] : 0.0f);
    }
    return noErr;
}

void TestPlugin::Cleanup()
{
    ++sCleanups;
}

UInt32 TestPlugin::SupportedNumChannels(const AUChannelInfo** outInfo)
{
    if (outInfo != nullptr) *outInfo = kChannels;
    return 1;
}

int TestPlugin::GetNumCustomUIComponents()
{
    return 1;
}

void TestPlugin::GetUIComponentDescs(ComponentDescription* inDescArray)
{
    inDescArray[0] = {kAudioUnitCarbonViewComponentType, FourCharCode("Test"), FourCharCode("Qzpt"),
                      0, 0};
}

OSStatus TestPlugin::HandleNoteOn(UInt8 channel, UInt8 note, UInt8 velocity, UInt32 offset)
{
    mEvents.push_back({"NoteOn", channel, note, velocity, offset});
    return noErr;
}

OSStatus TestPlugin::HandleNoteOff(UInt8 channel, UInt8 note, UInt8 velocity, UInt32 offset)
{
    mEvents.push_back({"NoteOff", channel, note, velocity, offset});
    return noErr;
}

OSStatus TestPlugin::HandleControlChange(UInt8 channel, UInt8 controller, UInt8 value,
                                         UInt32 offset)
{
    mEvents.push_back({"ControlChange", channel, controller, value, offset});
    return noErr;
}

OSStatus TestPlugin::HandlePitchWheel(UInt8 channel, UInt8 lsb, UInt8 msb, UInt32 offset)
{
    mEvents.push_back({"PitchWheel", channel, lsb, msb, offset});
    return noErr;
}

OSStatus TestPlugin::HandleResetAllControllers(UInt8 channel)
{
    mEvents.push_back({"ResetAllControllers", channel});
    return noErr;
}

OSStatus TestPlugin::HandleAllNotesOff(UInt8 channel)
{
    mEvents.push_back({"AllNotesOff", channel});
    return noErr;
}

OSStatus TestPlugin::HandleAllSoundOff(UInt8 channel)
{
    mEvents.push_back({"AllSoundOff", channel});
    return noErr;
}
