#include "hosts/common/HostInput.h"

#include <algorithm>
#include <cstring>

void HostInput::Provide(AudioBufferList& buffers, float* first, UInt32 channels, std::size_t stride,
                        UInt32 frames)
{
    for (UInt32 c = 0; c < buffers.mNumberBuffers && c < kAudioBufferListCapacity; ++c)
    {
        float* source = first + std::min(c, channels - 1) * stride;
        AudioBuffer& buffer = buffers.mBuffers[c];
        if (buffer.mData == nullptr)
            buffer.mData = source;
        else
            std::memcpy(buffer.mData, source, frames * sizeof(float));
        buffer.mDataByteSize = frames * static_cast<UInt32>(sizeof(float));
    }
}
