#pragma once
// Bit-for-bit comparison of rendered frames against the reference implementations.

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>

namespace reference
{
// Passes when both runs of floats are identical byte for byte; otherwise names the first
// frame that differs, with both values and their bit patterns.
inline ::testing::AssertionResult SameBits(const float* actual, const float* expected, long frames)
{
    if (frames <= 0 ||
        std::memcmp(actual, expected, static_cast<std::size_t>(frames) * sizeof(float)) == 0)
        return ::testing::AssertionSuccess();
    long i = 0;
    while (std::bit_cast<std::uint32_t>(actual[i]) == std::bit_cast<std::uint32_t>(expected[i]))
        ++i;
    return ::testing::AssertionFailure()
           << "frame " << i << " of " << frames << ": " << actual[i] << " (0x" << std::hex
           << std::bit_cast<std::uint32_t>(actual[i]) << ") instead of " << std::dec << expected[i]
           << " (0x" << std::hex << std::bit_cast<std::uint32_t>(expected[i]) << ")";
}

inline bool SameBits(float a, float b)
{
    return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
}

inline bool SameBits(double a, double b)
{
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// Test signals: noise at several levels, silence, denormal-sized noise and loud noise, so that
// every arithmetic path (including subnormal results) is compared.
inline void FillSignal(std::mt19937& rng, float* left, float* right, int frames)
{
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    const int kind = static_cast<int>(rng() % 8);
    float scale = 1.0f;
    switch (kind)
    {
    case 0:
        scale = 0.0f;
        break;
    case 1:
        scale = 1e-39f; // subnormal
        break;
    case 2:
        scale = 1000.0f;
        break;
    case 3:
        scale = 1e-3f;
        break;
    default:
        break;
    }
    for (int i = 0; i < frames; ++i)
    {
        left[i] = unit(rng) * scale;
        right[i] = kind == 7 ? -left[i] : unit(rng) * scale;
    }
}
// A signal with an infinity now and then, so that the NaNs that arise from inf - inf and
// 0 * inf travel through both implementations alike.  (NaNs fed in from outside are left out:
// which of two NaNs an addition passes on is not fixed by the language, and the compiler may
// order the operands of either implementation either way.)
inline void FillWithInfinities(std::mt19937& rng, float* left, float* right, int frames)
{
    constexpr float kInf = std::numeric_limits<float>::infinity();
    FillSignal(rng, left, right, frames);
    for (int i = 0; i < frames; ++i)
    {
        if (rng() % 200 == 0) left[i] = rng() % 2 ? kInf : -kInf;
        if (rng() % 200 == 0) right[i] = rng() % 2 ? kInf : -kInf;
    }
}
} // namespace reference
