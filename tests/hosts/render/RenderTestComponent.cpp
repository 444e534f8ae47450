#include "RenderTestComponent.h"

#include "params/frame/ComponentEntryPoint.h"

namespace
{
ComponentResult RenderTestEntry(ComponentParameters* params, void* storage)
{
    return ComponentEntryPoint<RenderTestComponent>::Dispatch(params, storage);
}

constexpr AudioUnitParameterID kGain = 0;
constexpr AudioUnitParameterID kSync = 1;
constexpr AudioUnitParameterID kBackInTime = 3;

constexpr HostTestComponent::Parameter kParameters[] = {
    {"Gain", kAudioUnitParameterUnit_Generic, 0, 2, 1},
    {"Sync", kAudioUnitParameterUnit_Indexed, 0, 2, 1},
    {"Reverb:Wet", kAudioUnitParameterUnit_Generic, 0, 3, 2.1f},
    {"Back In Time", kAudioUnitParameterUnit_Indexed, 0, 64, 0},
};
} // namespace

const AudioComponentRegistration kRenderTestComponent{
    {kAudioUnitType_MusicEffect, FourCharCode("Rndr"), FourCharCode("Qzpt")},
    "Render test component",
    0x00010000,
    RenderTestEntry};

RenderTestComponent::RenderTestComponent(AudioComponentInstance instance)
    : HostTestComponent(instance, kParameters)
{
}

RenderTestComponent& RenderTestComponent::Of(AudioUnit unit)
{
    return *static_cast<RenderTestComponent*>(unit->storage);
}

OSStatus RenderTestComponent::GetParameterValueStrings(AudioUnitScope scope,
                                                       AudioUnitParameterID id, CFType* outStrings)
{
    if (scope != kAudioUnitScope_Global || (id != kSync && id != kBackInTime))
        return HostTestComponent::GetParameterValueStrings(scope, id, outStrings);
    if (outStrings == nullptr) return noErr;
    CFArrayStorage strings;
    if (id == kSync)
        strings = {CFType::String("No Sync"), CFType::String("To Beat"), CFType::String("To Bar")};
    else
    {
        strings.push_back(CFType::String("none"));
        for (int i = 1; i <= 64; ++i)
            strings.push_back(CFType::String(std::to_string(32 * i)));
    }
    *outStrings = CFType::Array(std::move(strings));
    return noErr;
}

void RenderTestComponent::AskClock(Float64 sampleTime)
{
    Clock clock;
    clock.sampleTime = sampleTime;
    clock.beatStatus = CallHostBeatAndTempo(&clock.beat, &clock.tempo);
    clock.locationStatus = CallHostMusicalTimeLocation(&clock.toNextBeat, &clock.numerator,
                                                       &clock.denominator, &clock.downBeat);
    Float64 cycleStart = 0;
    Float64 cycleEnd = 0;
    Boolean cycling = 0;
    clock.transportStatus = CallHostTransportState(
        &clock.playing, &clock.changed, &clock.sampleInTimeLine, &cycling, &cycleStart, &cycleEnd);
    mClocks.push_back(clock);
}

OSStatus RenderTestComponent::RenderBus(AudioUnitRenderActionFlags& ioActionFlags,
                                        const AudioTimeStamp& timeStamp, UInt32 bus, UInt32 frames)
{
    const AudioUnitParameterValue gain = Globals()->GetParameter(kGain);
    mRenderCalls.push_back({bus, timeStamp.mSampleTime, frames, gain});
    if (NeedsToRender(timeStamp))
    {
        AskClock(timeStamp.mSampleTime);
        GetInput(0)->PullInput(ioActionFlags, timeStamp, 0, frames);
    }
    AUInputElement* input = GetInput(0);
    AUOutputElement* output = GetOutput(bus);
    for (UInt32 c = 0; c < 2; ++c)
    {
        const Float32* in = input->GetChannelData(c);
        Float32* out = output->GetChannelData(c);
        for (UInt32 i = 0; i < frames; ++i)
            out[i] = in[i] * gain + static_cast<Float32>(bus) + 0.5f * static_cast<Float32>(c);
    }
    return noErr;
}

OSStatus RenderTestComponent::HandleMidiEvent(UInt8 status, UInt8 channel, UInt8 data1, UInt8 data2,
                                              UInt32 offsetSampleFrame)
{
    std::size_t cycles = 0;
    for (const RenderCall& call : mRenderCalls)
        cycles += call.bus == 0 ? 1 : 0;
    mMidi.push_back(
        {static_cast<UInt8>(status | channel), data1, data2, offsetSampleFrame, cycles});
    return noErr;
}
