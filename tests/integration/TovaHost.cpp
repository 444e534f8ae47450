#include "TovaHost.h"

#include "engine/CTovaEntry.h"
#include "platform/MusicDevice.h"

#include <algorithm>
#include <stdexcept>

namespace
{
void Check(OSStatus status, const char* what)
{
    if (status != noErr)
        throw std::runtime_error(std::string(what) + " failed: " + std::to_string(status));
}
} // namespace

TovaHost::TovaHost(double sampleRate, UInt32 maxFrames)
    : mSampleRate(sampleRate), mScratchL(maxFrames), mScratchR(maxFrames)
{
    Check(AudioComponentInstanceNew(&kTovaRegistration, &mUnit), "open");
    const AudioStreamBasicDescription format = CanonicalStreamFormat(sampleRate, 2);
    Check(AudioUnitSetProperty(mUnit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0,
                               &format, sizeof format),
          "input format");
    for (UInt32 bus = 0; bus < CTova::kNumOutputBuses; ++bus)
        Check(AudioUnitSetProperty(mUnit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output,
                                   bus, &format, sizeof format),
              "output format");
    Check(AudioUnitSetProperty(mUnit, kAudioUnitProperty_MaximumFramesPerSlice,
                               kAudioUnitScope_Global, 0, &maxFrames, sizeof maxFrames),
          "maximum frames");
    ApplyClock();
    Check(AudioUnitInitialize(mUnit), "initialise");
}

TovaHost::~TovaHost()
{
    AudioComponentInstanceDispose(mUnit);
}

void TovaHost::ApplyClock()
{
    HostCallbackInfo info;
    info.hostUserData = this;
    if (clock.beatCallback) info.beatAndTempoProc = BeatAndTempo;
    if (clock.timeLocationCallback) info.musicalTimeLocationProc = TimeLocation;
    if (clock.transportCallback) info.transportStateProc = Transport;
    Check(AudioUnitSetProperty(mUnit, kAudioUnitProperty_HostCallbacks, kAudioUnitScope_Global, 0,
                               &info, sizeof info),
          "host callbacks");
}

void TovaHost::SetPlaying(bool playing)
{
    clock.transportChanged = clock.playing != playing;
    clock.playing = playing;
}

void TovaHost::SetInput(Stereo input)
{
    mInput = std::move(input);
    const AURenderCallbackStruct callback{Input, this};
    Check(AudioUnitSetProperty(mUnit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input,
                               0, &callback, sizeof callback),
          "input callback");
}

TovaHost::Stereo TovaHost::Constant(std::size_t frames, float value)
{
    return {std::vector<float>(frames, value), std::vector<float>(frames, value)};
}

TovaHost::Stereo TovaHost::Ramp(std::size_t frames)
{
    Stereo ramp{std::vector<float>(frames), std::vector<float>(frames)};
    for (std::size_t i = 0; i < frames; ++i)
        ramp.left[i] = ramp.right[i] = static_cast<float>(i) / static_cast<float>(frames);
    return ramp;
}

OSStatus TovaHost::Midi(UInt8 status, UInt8 data1, UInt8 data2, UInt32 offset)
{
    return MusicDeviceMIDIEvent(mUnit, status, data1, data2, offset);
}

OSStatus TovaHost::NoteOn(UInt8 key, UInt8 velocity, UInt32 offset)
{
    return Midi(0x90, key, velocity, offset);
}

OSStatus TovaHost::NoteOff(UInt8 key, UInt32 offset)
{
    return Midi(0x80, key, 0, offset);
}

OSStatus TovaHost::Set(AudioUnitParameterID id, float value)
{
    return AudioUnitSetParameter(mUnit, id, kAudioUnitScope_Global, 0, value, 0);
}

float TovaHost::Get(AudioUnitParameterID id) const
{
    AudioUnitParameterValue value = 0;
    Check(AudioUnitGetParameter(mUnit, id, kAudioUnitScope_Global, 0, &value), "get parameter");
    return value;
}

void TovaHost::SetBypass(bool bypass)
{
    const UInt32 value = bypass ? 1 : 0;
    Check(AudioUnitSetProperty(mUnit, kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0,
                               &value, sizeof value),
          "bypass");
}

OSStatus TovaHost::Render(UInt32 frames, std::initializer_list<UInt32> buses)
{
    OSStatus result = noErr;
    for (const UInt32 bus : buses)
    {
        const OSStatus status = RenderBus(bus, frames);
        if (status != noErr && result == noErr) result = status;
    }
    Advance(frames);
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
        mOutput[bus].left.insert(mOutput[bus].left.end(), mScratchL.begin(),
                                 mScratchL.begin() + frames);
        mOutput[bus].right.insert(mOutput[bus].right.end(), mScratchR.begin(),
                                  mScratchR.begin() + frames);
    }
    return status;
}

void TovaHost::Advance(UInt32 frames)
{
    mSampleTime += frames;
    if (clock.playing) clock.beat += frames / mSampleRate * clock.tempo / 60.0;
}

OSStatus TovaHost::RenderFrames(UInt32 frames, UInt32 block, std::initializer_list<UInt32> buses)
{
    for (UInt32 done = 0; done < frames; done += block)
        if (const OSStatus status = Render(block, buses)) return status;
    return noErr;
}

OSStatus TovaHost::RenderTo(Float64 frame, UInt32 block, std::initializer_list<UInt32> buses)
{
    while (mSampleTime < frame)
    {
        const auto frames = static_cast<UInt32>(std::min<Float64>(block, frame - mSampleTime));
        if (const OSStatus status = Render(frames, buses)) return status;
    }
    return noErr;
}

void TovaHost::ClearOutput()
{
    for (Stereo& bus : mOutput)
    {
        bus.left.clear();
        bus.right.clear();
    }
}

OSStatus TovaHost::BeatAndTempo(void* user, Float64* beat, Float64* tempo)
{
    const Clock& clock = static_cast<TovaHost*>(user)->clock;
    if (beat != nullptr) *beat = clock.beat;
    if (tempo != nullptr) *tempo = clock.tempo;
    return noErr;
}

OSStatus TovaHost::TimeLocation(void* user, UInt32* deltaToNextBeat, Float32* numerator,
                                UInt32* denominator, Float64* downBeat)
{
    const Clock& clock = static_cast<TovaHost*>(user)->clock;
    if (deltaToNextBeat != nullptr) *deltaToNextBeat = 0;
    if (numerator != nullptr) *numerator = clock.beatsPerBar;
    if (denominator != nullptr) *denominator = 4;
    if (downBeat != nullptr) *downBeat = 0;
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
