#include "hosts/jack/LiveHost.h"

#include "hosts/common/StatusText.h"
#include "hosts/common/UnitStreamFormats.h"
#include "platform/MusicDevice.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

LiveHost::LiveHost(AudioUnit unit, UInt32 buses, const HostCallbackInfo& clock)
    : mUnit(unit), mBuses(buses), mClock(clock)
{
}

LiveHost::Cycle::Cycle(LiveHost& host, UInt32 frames) : mHost(host)
{
    host.mBusy.store(true, std::memory_order_seq_cst);
    mAdmitted = host.mEnabled.load(std::memory_order_seq_cst) &&
                frames <= host.mMaxFrames.load(std::memory_order_relaxed);
    if (!mAdmitted) host.mBusy.store(false, std::memory_order_release);
}

LiveHost::Cycle::~Cycle()
{
    if (mAdmitted) mHost.mBusy.store(false, std::memory_order_release);
}

void LiveHost::Suspend()
{
    mEnabled.store(false, std::memory_order_seq_cst);
    // A cycle lasts one buffer of the server at most.
    while (mBusy.load(std::memory_order_seq_cst))
        std::this_thread::sleep_for(std::chrono::microseconds(100));
}

bool LiveHost::Configure(double sampleRate, UInt32 maxFrames, std::string& error)
{
    Suspend();
    if (mInitialized)
    {
        AudioUnitUninitialize(mUnit);
        mInitialized = false;
    }
    if (!UnitStreamFormats::Set(mUnit, sampleRate, kChannels,
                                UnitStreamFormats::Count(mUnit, kAudioUnitScope_Input),
                                UnitStreamFormats::Count(mUnit, kAudioUnitScope_Output), error))
        return false;
    const AURenderCallbackStruct input{&InputProc, this};
    OSStatus status = AudioUnitSetProperty(mUnit, kAudioUnitProperty_SetRenderCallback,
                                           kAudioUnitScope_Input, 0, &input, sizeof input);
    // A unit without an input bus has nothing to pull.
    if (status != noErr && status != kAudioUnitErr_InvalidElement)
    {
        error = StatusText::Failed("setting the input callback", status);
        return false;
    }
    if ((status = AudioUnitSetProperty(mUnit, kAudioUnitProperty_HostCallbacks,
                                       kAudioUnitScope_Global, 0, &mClock, sizeof mClock)))
    {
        error = StatusText::Failed("setting the host callbacks", status);
        return false;
    }
    if ((status = AudioUnitSetProperty(mUnit, kAudioUnitProperty_MaximumFramesPerSlice,
                                       kAudioUnitScope_Global, 0, &maxFrames, sizeof maxFrames)))
    {
        error = StatusText::Failed("setting the maximum frames per render call", status);
        return false;
    }
    if ((status = AudioUnitInitialize(mUnit)))
    {
        error = StatusText::Failed("initialising the unit", status);
        return false;
    }
    mInitialized = true;
    mInput.assign(std::size_t{kChannels} * maxFrames, 0.0f);
    mSampleRate.store(sampleRate, std::memory_order_relaxed);
    mMaxFrames.store(maxFrames, std::memory_order_relaxed);
    mEnabled.store(true, std::memory_order_seq_cst);
    return true;
}

void LiveHost::Midi(UInt8 status, UInt8 data1, UInt8 data2, UInt32 offset)
{
    MusicDeviceMIDIEvent(mUnit, status, data1, data2, offset);
}

void LiveHost::Render(UInt32 frames, const float* inL, const float* inR, float* const* outputs)
{
    mInL = inL;
    mInR = inR;
    AudioTimeStamp timeStamp;
    timeStamp.mSampleTime = mSampleTime;
    timeStamp.mFlags = kAudioTimeStampSampleTimeValid;
    const auto bytes = frames * static_cast<UInt32>(sizeof(float));
    for (UInt32 bus = 0; bus < mBuses; ++bus)
    {
        float* const* channels = outputs + bus * kChannels;
        AudioBufferList buffers;
        buffers.mNumberBuffers = kChannels;
        for (UInt32 c = 0; c < kChannels; ++c)
            buffers.mBuffers[c] = {1, bytes, channels[c]};
        AudioUnitRenderActionFlags flags = 0;
        if (AudioUnitRender(mUnit, &flags, &timeStamp, bus, frames, &buffers) != noErr)
        {
            mFailures.fetch_add(1, std::memory_order_relaxed);
            Silence(frames, channels, kChannels);
            continue;
        }
        // A unit may answer with memory of its own instead of filling ours.
        for (UInt32 c = 0; c < kChannels; ++c)
            if (buffers.mBuffers[c].mData != channels[c])
                std::memcpy(channels[c], buffers.mBuffers[c].mData, bytes);
    }
    mSampleTime += frames;
}

void LiveHost::Silence(UInt32 frames, float* const* buffers, UInt32 count)
{
    for (UInt32 i = 0; i < count; ++i)
        std::fill_n(buffers[i], frames, 0.0f);
}

OSStatus LiveHost::InputProc(void* refCon, AudioUnitRenderActionFlags*, const AudioTimeStamp*,
                             UInt32, UInt32 frames, AudioBufferList* ioData)
{
    auto* host = static_cast<LiveHost*>(refCon);
    if (ioData == nullptr || frames > host->mMaxFrames.load(std::memory_order_relaxed))
        return kAudio_ParamError;
    const auto bytes = frames * static_cast<UInt32>(sizeof(float));
    for (UInt32 c = 0; c < ioData->mNumberBuffers && c < kAudioBufferListCapacity; ++c)
    {
        const float* source = c == 0 ? host->mInL : host->mInR;
        AudioBuffer& buffer = ioData->mBuffers[c];
        // The server's input buffers may be another client's output: the unit gets a copy.
        if (buffer.mData == nullptr)
            buffer.mData = host->mInput.data() +
                           std::min(c, kChannels - 1) * (host->mInput.size() / kChannels);
        std::memcpy(buffer.mData, source, bytes);
        buffer.mDataByteSize = bytes;
    }
    return noErr;
}
