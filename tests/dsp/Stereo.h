#pragma once
// A stereo test signal for the DSP tests: two channels of the same length, and deterministic
// noise to fill them.

#include <cstddef>
#include <cstdint>
#include <vector>

struct Stereo
{
    std::vector<float> left;
    std::vector<float> right;

    explicit Stereo(std::size_t frames, float l = 0.0f, float r = 0.0f)
        : left(frames, l), right(frames, r)
    {
    }
    std::size_t Frames() const { return left.size(); }

    // Noise in -1 ... 1 from a linear congruential generator, different per channel.
    static Stereo Noise(std::size_t frames, std::uint32_t seed)
    {
        Stereo s(frames);
        for (std::size_t i = 0; i < frames; ++i)
        {
            seed = seed * 1664525u + 1013904223u;
            s.left[i] = static_cast<float>(seed >> 8) / 8388608.0f - 1.0f;
            seed = seed * 1664525u + 1013904223u;
            s.right[i] = static_cast<float>(seed >> 8) / 8388608.0f - 1.0f;
        }
        return s;
    }
};
