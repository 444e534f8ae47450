#include "TovaHost.h"

#include "engine/CTovaEntry.h"
#include "platform/MusicDevice.h"

#include <stdexcept>

namespace
{
void SetProperty(AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope, UInt32 element,
                 const void* data, UInt32 size)
{
    if (const OSStatus status = AudioUnitSetProperty(unit, id, scope, element, data, size))
        throw std::runtime_error("property " + std::to_string(id) + ": " + std::to_string(status));
}
} // namespace

TovaHost::TovaHost(double sampleRate, UInt32 maxFrames)
    : mSampleRate(sampleRate), mScratchL(maxFrames), mScratchR(maxFrames)
{
    if (AudioComponentInstanceNew(&kTovaRegistration, &mUnit) != noErr)
        throw std::runtime_error("open");
    const AudioStreamBasicDescription format = CanonicalStreamFormat(sampleRate, 2);
    SetProperty(mUnit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0, &format,
                sizeof format);
    for (UInt32 bus = 0; bus < CTova::kNumOutputBuses; ++bus)
        SetProperty(mUnit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, bus, &format,
                    sizeof format);
    SetProperty(mUnit, kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0,
                &maxFrames, sizeof maxFrames);
    HostCallbackInfo info;
    info.hostUserData = this;
    info.beatAndTempoProc = BeatAndTempo;
    info.transportStateProc = Transport;
    SetProperty(mUnit, kAudioUnitProperty_HostCallbacks, kAudioUnitScope_Global, 0, &info,
                sizeof info);
    if (AudioUnitInitialize(mUnit) != noErr) throw std::runtime_error("initialise");
}

TovaHost::~TovaHost()
{
    AudioComponentInstanceDispose(mUnit);
}

void TovaHost::SetInput(Stereo input)
{
    mInput = std::move(input);
    const AURenderCallbackStruct callback{Input, this};
    SetProperty(mUnit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, &callback,
                sizeof callback);
}

OSStatus TovaHost::Midi(UInt8 status, UInt8 data1, UInt8 data2, UInt32 offset)
{
    return MusicDeviceMIDIEvent(mUnit, status, data1, data2, offset);
}

OSStatus TovaHost::Set(AudioUnitParameterID id, float value)
{
    return AudioUnitSetParameter(mUnit, id, kAudioUnitScope_Global, 0, value, 0);
}

float TovaHost::Get(AudioUnitParameterID id) const
{
    AudioUnitParameterValue value = -1;
    AudioUnitGetParameter(mUnit, id, kAudioUnitScope_Global, 0, &value);
    return value;
}

OSStatus TovaHost::Render(UInt32 frames, std::initializer_list<UInt32> buses)
{
    OSStatus result = noErr;
    for (const UInt32 bus : buses)
    {
        const OSStatus status = RenderBus(bus, frames);
        if (result == noErr) result = status;
    }
    mSampleTime += frames;
    if (clock.playing) clock.beat += frames / mSampleRate * clock.tempo / 60.0;
    return result;
}

OSStatus TovaHost::RenderBus(UInt32 bus, UInt32 frames)
{
    AudioTimeStamp ts;
    ts.mSampleTime = mSampleTime;
    ts.mFlags = kAudioTimeStampSampleTimeValid;
    AudioBufferList list;
    list.mNumberBuffers = 2;
    list.mBuffers[0] = {1, frames * UInt32(sizeof(float)), mScratchL.data()};
    list.mBuffers[1] = {1, frames * UInt32(sizeof(float)), mScratchR.data()};
    AudioUnitRenderActionFlags flags = 0;
    const OSStatus status = AudioUnitRender(mUnit, &flags, &ts, bus, frames, &list);
    if (collect && bus < CTova::kNumOutputBuses)
    {
        Stereo& out = mOutput[bus];
        out.left.insert(out.left.end(), mScratchL.begin(), mScratchL.begin() + frames);
        out.right.insert(out.right.end(), mScratchR.begin(), mScratchR.begin() + frames);
    }
    return status;
}

OSStatus TovaHost::RenderFrames(UInt32 frames, UInt32 block)
{
    for (UInt32 done = 0; done < frames; done += block)
        if (const OSStatus status = Render(block)) return status;
    return noErr;
}

OSStatus TovaHost::BeatAndTempo(void* user, Float64* beat, Float64* tempo)
{
    const Clock& clock = static_cast<TovaHost*>(user)->clock;
    if (beat != nullptr) *beat = clock.beat;
    if (tempo != nullptr) *tempo = clock.tempo;
    return noErr;
}

OSStatus TovaHost::Transport(void* user, Boolean* playing, Boolean* changed, Float64* sample,
                             Boolean* cycling, Float64* cycleStart, Float64* cycleEnd)
{
    auto* host = static_cast<TovaHost*>(user);
    if (playing != nullptr) *playing = host->clock.playing;
    if (changed != nullptr) *changed = host->clock.transportChanged;
    host->clock.transportChanged = false;
    if (sample != nullptr) *sample = host->mSampleTime;
    if (cycling != nullptr) *cycling = false;
    if (cycleStart != nullptr) *cycleStart = 0;
    if (cycleEnd != nullptr) *cycleEnd = 0;
    return noErr;
}

OSStatus TovaHost::Input(void* user, AudioUnitRenderActionFlags*, const AudioTimeStamp* ts, UInt32,
                         UInt32 frames, AudioBufferList* data)
{
    const auto* host = static_cast<const TovaHost*>(user);
    const auto start = static_cast<std::size_t>(ts->mSampleTime);
    const std::vector<float>* channels[2] = {&host->mInput.left, &host->mInput.right};
    for (UInt32 c = 0; c < data->mNumberBuffers && c < 2; ++c)
    {
        auto* out = static_cast<float*>(data->mBuffers[c].mData);
        const std::vector<float>& in = *channels[c];
        for (UInt32 i = 0; i < frames; ++i)
            out[i] = start + i < in.size() ? in[start + i] : 0.0f;
    }
    return noErr;
}
