#include "params/frame/TestPlugin.h"

#include "params/frame/ComponentEntryPoint.h"

#include <new>
#include <string>

namespace
{
ComponentResult TestPluginEntry(ComponentParameters* params, void* storage)
{
    return ComponentEntryPoint<TestPlugin>::Dispatch(params, storage);
}
} // namespace

const AudioComponentRegistration kTestPluginRegistration{
    {kAudioUnitType_MusicEffect, FourCharCode("Test"), FourCharCode("Qzpt")},
    "Test plug-in",
    0x00010100,
    TestPluginEntry};

TestPlugin::TestPlugin(AudioComponentInstance instance) : AUMIDIEffectBase(instance)
{
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
    return noErr;
}

OSStatus TestPlugin::SetParameter(AudioUnitParameterID id, AudioUnitScope scope,
                                  AudioUnitElement element, AudioUnitParameterValue value,
                                  UInt32 bufferOffsetInFrames)
{
    ++mSetCalls;
    return AUMIDIEffectBase::SetParameter(id, scope, element, value, bufferOffsetInFrames);
}

OSStatus TestPlugin::RenderBus(AudioUnitRenderActionFlags& ioActionFlags,
                               const AudioTimeStamp& timeStamp, UInt32 bus, UInt32 frames)
{
    ++mRenders;
    ThrowFault();
    if (mRenderResult != noErr) return mRenderResult;
    const bool input = bus == 0 && GetInput(0)->IsActive();
    if (input) GetInput(0)->PullInput(ioActionFlags, timeStamp, 0, frames);
    for (UInt32 c = 0; c < 2; ++c)
    {
        Float32* out = GetOutput(bus)->GetChannelData(c);
        for (UInt32 i = 0; i < frames; ++i)
            out[i] = static_cast<Float32>(bus) + 0.25f * static_cast<Float32>(c) +
                     (input ? GetInput(0)->GetChannelData(c)[i] : 0.0f);
    }
    return noErr;
}
