#pragma once
// Bit-for-bit comparison against the reference implementations, and their test signals.

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <random>

namespace reference
{
template <typename T> bool SameBits(T a, T b)
{
    return std::memcmp(&a, &b, sizeof(T)) == 0;
}

inline ::testing::AssertionResult SameBits(const float* actual, const float* expected, long frames)
{
    for (long i = 0; i < frames; ++i)
        if (!SameBits(actual[i], expected[i]))
            return ::testing::AssertionFailure()
                   << "frame " << i << ": " << actual[i] << " instead of " << expected[i];
    return ::testing::AssertionSuccess();
}

// Silent, subnormal, loud, quiet, full-scale or anti-phase noise; with `infinities` an infinity
// now and then (not NaNs: which of two an addition passes on is not fixed).
inline void FillSignal(std::mt19937& rng, float* left, float* right, int frames,
                       bool infinities = false)
{
    constexpr float kScales[8] = {0.0f, 1e-39f, 1000.0f, 1e-3f, 1.0f, 1.0f, 1.0f, 1.0f};
    constexpr float kInf = std::numeric_limits<float>::infinity();
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    const unsigned kind = rng() % 8;
    for (int i = 0; i < frames; ++i)
    {
        left[i] = unit(rng) * kScales[kind];
        right[i] = kind == 7 ? -left[i] : unit(rng) * kScales[kind];
        if (infinities && rng() % 200 == 0) left[i] = rng() % 2 ? kInf : -kInf;
        if (infinities && rng() % 200 == 0) right[i] = rng() % 2 ? kInf : -kInf;
    }
}
} // namespace reference
