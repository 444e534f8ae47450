#include "params/frame/AUIOElement.h"

#include <algorithm>
#include <cstring>

namespace
{
// The frame's buses start as stereo at the platform's default rate.
constexpr Float64 kDefaultSampleRate = 44100;
constexpr UInt32 kDefaultChannels = 2;
} // namespace

AUIOElement::AUIOElement()
    : mStreamFormat(CanonicalStreamFormat(kDefaultSampleRate, kDefaultChannels))
{
}

void AUIOElement::SetStreamFormat(const AudioStreamBasicDescription& format)
{
    mStreamFormat = format;
}

void AUIOElement::AllocateBuffer(UInt32 maxFrames)
{
    const UInt32 channels = NumberChannelStreams();
    mMemory.assign(static_cast<std::size_t>(channels) * maxFrames, 0.0f);
    mAllocatedFrames = maxFrames;
    mAllocatedChannels = channels;
    mPrepared = false;
}

AudioBufferList& AUIOElement::PrepareBuffer(UInt32 frames)
{
    const UInt32 channels = NumberChannelStreams();
    if (frames > mAllocatedFrames) throw kAudioUnitErr_TooManyFramesToProcess;
    if (channels != mAllocatedChannels || channels > kAudioBufferListCapacity) throw OSStatus(-1);
    mBufferList.mNumberBuffers = channels;
    for (UInt32 c = 0; c < channels; ++c)
    {
        AudioBuffer& buffer = mBufferList.mBuffers[c];
        buffer.mNumberChannels = 1;
        buffer.mDataByteSize = frames * sizeof(Float32);
        buffer.mData = mMemory.data() + static_cast<std::size_t>(c) * mAllocatedFrames;
    }
    mPrepared = true;
    return mBufferList;
}

AudioBufferList& AUIOElement::SetBufferList(const AudioBufferList& list)
{
    mBufferList = list;
    mBufferList.mNumberBuffers = std::min(list.mNumberBuffers, kAudioBufferListCapacity);
    mPrepared = true;
    return mBufferList;
}

AudioBufferList& AUIOElement::GetBufferList()
{
    if (!mPrepared) throw OSStatus(-1);
    return mBufferList;
}

Float32* AUIOElement::GetChannelData(UInt32 channel)
{
    AudioBufferList& list = GetBufferList();
    if (channel >= list.mNumberBuffers) throw kAudio_ParamError;
    return static_cast<Float32*>(list.mBuffers[channel].mData);
}

void AUIOElement::CopyBufferContentsTo(AudioBufferList& destination) const
{
    const UInt32 count = std::min(mBufferList.mNumberBuffers, destination.mNumberBuffers);
    for (UInt32 c = 0; c < count; ++c)
    {
        const AudioBuffer& from = mBufferList.mBuffers[c];
        AudioBuffer& to = destination.mBuffers[c];
        const UInt32 bytes = std::min(from.mDataByteSize, to.mDataByteSize);
        if (from.mData != to.mData) std::memcpy(to.mData, from.mData, bytes);
        to.mDataByteSize = bytes;
    }
}

void AUIOElement::CopyBufferListTo(AudioBufferList& destination) const
{
    destination = mBufferList;
}

void AUIOElement::ClearBuffers()
{
    AudioBufferList& list = GetBufferList();
    for (UInt32 c = 0; c < list.mNumberBuffers; ++c)
        if (list.mBuffers[c].mData != nullptr)
            std::memset(list.mBuffers[c].mData, 0, list.mBuffers[c].mDataByteSize);
}
