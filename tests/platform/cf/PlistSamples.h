#pragma once
// Trees shared by the property-list tests, the fuzzers' seed writer and the benchmark.

#include "platform/cf/CFType.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class PlistSamples
{
public:
    // Every kind a file can carry, nested, with empty containers, unicode strings, the edges
    // of every integer width and NaN/infinite reals.  No Null (XML has no form for it) and
    // no carriage return (other writers turn it into a line feed).
    static CFType EveryKind();

    // Shaped like a preset: identity keys, a 292-byte parameter blob, a pool of frames
    // (big-endian floats, left then right) and 64 slot plus 128 key dictionaries.
    static CFType StateLike(std::size_t frames);

    // Frames 0, 1, 2, ... of a ramp as big-endian floats, left channel then right channel.
    static CFDataStorage BigEndianFrames(std::size_t frames);
};
