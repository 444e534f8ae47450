#include "TestPlugin.h"

#include "params/frame/ComponentEntryPoint.h"

namespace
{
ComponentResult Entry(ComponentParameters* params, void* storage)
{
    return ComponentEntryPoint<TestPlugin>::Dispatch(params, storage);
}

} // namespace

const AudioComponentRegistration kTestPluginRegistration{
    {kAudioUnitType_MusicEffect, FourCharCode("Test"), FourCharCode("Qzpt")},
    "Test plug-in",
    0x00010100,
    Entry};

TestPlugin::TestPlugin(AudioComponentInstance instance) : AUMIDIEffectBase(instance)
{
    SetMaxFramesPerSlice(64);
    Globals()->SetParameter(0, 0.5f);
}

void TestPlugin::PostConstructor()
{
    AUMIDIEffectBase::PostConstructor();
    SetBusCount(kAudioUnitScope_Output, kOutputBuses);
    Outputs().GetElement(1)->SetParameter(7, 0.25f);
}

OSStatus TestPlugin::Reset(AudioUnitScope, AudioUnitElement)
{
    mFault();
    return noErr;
}

OSStatus TestPlugin::RenderBus(AudioUnitRenderActionFlags& ioActionFlags,
                               const AudioTimeStamp& timeStamp, UInt32 bus, UInt32 frames)
{
    ++mRenders;
    mFault();
    if (mRenderResult != noErr) return mRenderResult;
    const bool input = bus == 0 && GetInput(0)->IsActive();
    if (input) GetInput(0)->PullInput(ioActionFlags, timeStamp, 0, frames);
    for (UInt32 c = 0; c < 2; ++c)
        for (UInt32 i = 0; i < frames; ++i)
            GetOutput(bus)->GetChannelData(c)[i] =
                static_cast<Float32>(bus) + 0.25f * static_cast<Float32>(c) +
                (input ? GetInput(0)->GetChannelData(c)[i] : 0.0f);
    return noErr;
}
