#include "dsp/CShifter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <numeric>
#include <vector>

namespace
{
void Shift(CShifter& shifter, std::vector<float>& left, std::vector<float>& right)
{
    shifter.GetSamples(left.data(), right.data(), left.data(), right.data(),
                       static_cast<int>(left.size()));
}
} // namespace

TEST(CShifter, UnityRatioFromConstructionIsAnExactCopy)
{
    CShifter copy;
    std::vector<float> in(40000), left, right;
    std::iota(in.begin(), in.end(), 0.5f); // more than two laps of the line, in uneven blocks
    left = right = in;
    for (std::size_t at = 0, block = 1; at < in.size(); at += block, block = block * 3 + 7)
    {
        block = std::min(block, in.size() - at);
        copy.GetSamples(&left[at], &right[at], &left[at], &right[at], static_cast<int>(block));
    }
    EXPECT_EQ(left, in);
    EXPECT_EQ(right, in);
}

TEST(CShifter, ModeChangesCrossfadeOverSixteenFramesFromThePreviousLastFrame)
{
    CShifter shifter;
    // A DC history ending in -0.5 and 0.25; the heads start 425 frames either side of the
    // writer, so the shifted signal is 1.0 up to rounding.
    std::vector<float> left(2000, 1.0f), right = left;
    left.back() = -0.5f;
    right.back() = 0.25f;
    Shift(shifter, left, right);
    shifter.SetShifting(1.5);
    left.assign(16, 1.0f);
    right = left;
    Shift(shifter, left, right);
    // Frame k: (last * (16 - k) + shifted * k) / 16; frame 0 is the old last frame exactly.
    EXPECT_EQ(left[0], -0.5f);
    EXPECT_EQ(right[0], 0.25f);
    for (std::size_t k = 0; k < 16; ++k)
        EXPECT_NEAR(right[k], (0.25f * (16 - k) + k) / 16, 1e-6f) << k;
    left.assign(16, 1.0f);
    right = left;
    Shift(shifter, left, right);
    EXPECT_NEAR(left[0], 1.0f, 1e-6f); // fully shifted
    const float last = left.back();
    shifter.SetShifting(1.0); // back to bypass: from the last shifted frame into the input
    std::vector<float> dry(16);
    for (std::size_t k = 0; k < 16; ++k)
        dry[k] = 0.1f * k - 0.3f;
    left = right = dry;
    Shift(shifter, left, right);
    EXPECT_EQ(left[0], last);
    for (std::size_t k = 0; k < 16; ++k)
        EXPECT_NEAR(left[k], (last * (16 - k) + dry[k] * k) / 16, 1e-6f) << k;
    left = right = dry;
    Shift(shifter, left, right);
    EXPECT_EQ(left, dry);
}

TEST(CShifter, BufferLengthFollowsTheRatioWithHysteresisAndClamping)
{
    CShifter shifter;
    // 1700 * trunc(ratio), taken below ratio 5 only when more than 2500 away, from 5 upward
    // when more than 1000 away; 1700 for ratios up to 1; never above 17000.
    const std::pair<double, int> steps[] = {
        {0.5, 1700},  {1.0, 1700},   {2.5, 1700}, // |1700 - 3400| = 1700: kept
        {3.2, 5100},  {4.5, 5100},                // |5100 - 6800| = 1700: kept
        {6.3, 10200}, {12.0, 17000},              // 20400 clamped
        {0.9, 1700},  {5.2, 8500},                // |1700 - 8500| = 6800
    };
    for (const auto& [ratio, size] : steps)
    {
        shifter.SetShifting(ratio);
        EXPECT_EQ(shifter.Size(), size) << ratio;
    }
    EXPECT_EQ(shifter.ResetSize(), 1700); // only Reset records the length it ran with
    shifter.Reset();
    EXPECT_EQ(shifter.ResetSize(), 8500);
    for (const double bad : {0.0, -2.0, std::numeric_limits<double>::quiet_NaN(),
                             std::numeric_limits<double>::infinity()})
    {
        shifter.SetShifting(bad); // would step the heads backwards or nowhere: refused
        EXPECT_EQ(shifter.Shift(), 5.2) << bad;
    }
    shifter.SetBufferSize(20);
    EXPECT_EQ(shifter.Size(), 50);
    shifter.SetBufferSize(40000);
    EXPECT_EQ(shifter.Size(), 17000);
}

TEST(CShifter, OctaveUpDoublesTheFrequencyWithoutClicks)
{
    constexpr double kRate = 48000.0, kFreq = 440.0;
    constexpr float kAmp = 0.5f;
    constexpr std::size_t kFrames = 96000;
    CShifter shifter;
    shifter.SetShifting(2.0);
    std::vector<float> left(kFrames), right(kFrames);
    for (std::size_t i = 0; i < kFrames; ++i)
    {
        const double phase = 2.0 * std::numbers::pi * kFreq * static_cast<double>(i) / kRate;
        left[i] = kAmp * static_cast<float>(std::sin(phase));
        right[i] = kAmp * static_cast<float>(std::cos(phase));
    }
    for (std::size_t at = 0; at < kFrames; at += 256)
        shifter.GetSamples(&left[at], &right[at], &left[at], &right[at], 256);
    const std::size_t from = 2 * 1700; // the line starts out silent
    std::size_t crossings = 0;
    for (std::size_t i = from + 1; i < kFrames; ++i)
        crossings += (left[i - 1] < 0.0f) != (left[i] < 0.0f);
    // Two crossings per period of 880 Hz, give or take one per hand-over (every 850 frames).
    const auto span = static_cast<double>(kFrames - from);
    EXPECT_NEAR(static_cast<double>(crossings), 4.0 * kFreq * span / kRate, span / 850.0);
    // A step of (1 - g) s1 + g s2, sines of amplitude A and step w = 2 pi 880 / 48000, is at
    // most A w + |dg| 2A = A (w + pi / 850); a head heard crossing the writer jumps up to 2A.
    const double w = 2.0 * std::numbers::pi * 2.0 * kFreq / kRate;
    const double bound = kAmp * (w + std::numbers::pi / 850.0) + 1e-5;
    for (std::size_t i = from + 1; i < kFrames; ++i)
        ASSERT_LE(std::max(std::abs(left[i] - left[i - 1]), std::abs(right[i] - right[i - 1])),
                  bound)
            << i;
}
