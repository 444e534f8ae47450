#pragma once
// Deterministic noise for the benchmarks: a linear congruential generator with no library
// state, so that every run processes the same signal.

#include <cstddef>
#include <cstdint>

class BenchNoise
{
public:
    explicit BenchNoise(std::uint32_t seed) : mSeed(seed) {}

    // The next value, in -1 ... 1.
    float Next()
    {
        mSeed = mSeed * 1664525u + 1013904223u;
        return static_cast<float>(mSeed >> 8) / 8388608.0f - 1.0f;
    }

    // Noise at `level` on the left, the same at half the level on the right.
    void Fill(float* left, float* right, std::size_t frames, float level)
    {
        for (std::size_t i = 0; i < frames; ++i)
        {
            left[i] = level * Next();
            right[i] = 0.5f * left[i];
        }
    }

private:
    std::uint32_t mSeed;
};
