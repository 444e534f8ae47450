#pragma once
// A host's input frames of one cycle as a unit pulls them through its input callback.

#include "platform/CoreAudioTypes.h"

#include <cstddef>

class HostInput
{
public:
    // [render] Fills the buffers of a pull with `frames` frames of `channels` channels that lie
    // `stride` floats apart from `first` on; a buffer beyond the last channel gets the last
    // again. A buffer without memory of its own is pointed at the host's frames (which stay
    // put until the cycle ends), any other gets a copy.
    static void Provide(AudioBufferList& buffers, float* first, UInt32 channels, std::size_t stride,
                        UInt32 frames);
};
