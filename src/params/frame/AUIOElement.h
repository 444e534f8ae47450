#pragma once
// An input or output bus: an element with a stream format and the bus's own audio buffers.
//
// The buffers are allocated outside render (when the unit is initialised or its maximum
// frames change) for the bus's channel count. During render the buffer list either points at
// that memory (PrepareBuffer) or at the host's memory (SetBufferList); asking for it before
// either is an error (−1), as is asking for a channel the bus does not have.

#include "params/frame/AUElement.h"

#include <vector>

class AUIOElement : public AUElement
{
public:
    AUIOElement();

    const AudioStreamBasicDescription& GetStreamFormat() const { return mStreamFormat; } // [any]
    // [ui] Only while the unit is uninitialised; the next initialisation sizes the buffers.
    void SetStreamFormat(const AudioStreamBasicDescription& format);
    UInt32 NumberChannelStreams() const { return mStreamFormat.mChannelsPerFrame; } // [any]

    void AllocateBuffer(UInt32 maxFrames); // [ui]

    AudioBufferList& PrepareBuffer(UInt32 frames);               // [render]
    AudioBufferList& SetBufferList(const AudioBufferList& list); // [render]
    AudioBufferList& GetBufferList();                            // [render]
    Float32* GetChannelData(UInt32 channel);                     // [render]
    // [render] Copies the samples into the host's buffers (each at least as large).
    void CopyBufferContentsTo(AudioBufferList& destination) const;
    // [render] Points the host's buffers at this bus's memory.
    void CopyBufferListTo(AudioBufferList& destination) const;
    // [render] Zeroes the prepared buffers.
    void ClearBuffers();

private:
    AudioStreamBasicDescription mStreamFormat;
    std::vector<Float32> mMemory;
    UInt32 mAllocatedFrames = 0;
    UInt32 mAllocatedChannels = 0;
    AudioBufferList mBufferList;
    bool mPrepared = false;
};
