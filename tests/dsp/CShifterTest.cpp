#include "dsp/CShifter.h"

#include "Stereo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

namespace
{
Stereo Process(CShifter& shifter, const Stereo& in)
{
    Stereo out(in.Frames());
    shifter.GetSamples(in.left.data(), in.right.data(), out.left.data(), out.right.data(),
                       static_cast<int>(in.Frames()));
    return out;
}

Stereo Slice(const Stereo& in, std::size_t at, std::size_t frames)
{
    Stereo part(frames);
    const auto from = static_cast<std::ptrdiff_t>(at);
    std::copy_n(in.left.begin() + from, frames, part.left.begin());
    std::copy_n(in.right.begin() + from, frames, part.right.begin());
    return part;
}
} // namespace

TEST(CShifter, UnityRatioIsAnExactCopyAndInPlaceEqualsSeparateArrays)
{
    CShifter copy;
    EXPECT_EQ(copy.Size(), 1700);
    const Stereo in = Stereo::Noise(20000, 7);
    std::size_t at = 0;
    // Several laps of the delay line in uneven blocks.
    for (const int block : {1, 37, 2048, 17914})
    {
        const Stereo part = Slice(in, at, static_cast<std::size_t>(block));
        const Stereo out = Process(copy, part);
        EXPECT_EQ(out.left, part.left) << block;
        EXPECT_EQ(out.right, part.right) << block;
        at += static_cast<std::size_t>(block);
    }

    // Bypass, fades both ways and lengths changing with the ratio, in place and not.
    CShifter separate;
    CShifter inPlace;
    at = 0;
    for (const auto& [ratio, frames] : std::vector<std::pair<double, int>>{
             {1.0, 500}, {1.5, 16}, {0.7, 3007}, {1.0, 9}, {7.9, 4000}, {2.2, 12468}})
    {
        SCOPED_TRACE(ratio);
        Stereo part = Slice(in, at, static_cast<std::size_t>(frames));
        separate.SetShifting(ratio);
        inPlace.SetShifting(ratio);
        const Stereo out = Process(separate, part);
        EXPECT_EQ(inPlace.GetSamples(part.left.data(), part.right.data(), part.left.data(),
                                     part.right.data(), frames),
                  frames);
        EXPECT_EQ(part.left, out.left);
        EXPECT_EQ(part.right, out.right);
        at += static_cast<std::size_t>(frames);
    }
}

TEST(CShifter, ModeChangesCrossfadeFromThePreviousLastFrame)
{
    for (const int block : {16, 4})
    {
        SCOPED_TRACE(block);
        const auto n = static_cast<std::size_t>(block);
        const auto fade = static_cast<float>(block);
        CShifter shifter;
        // A DC history whose final frame stands out; the heads start 425 frames either side of
        // the writer, far from it, so the shifted signal is 1.0 up to rounding.
        Stereo history(2000, 1.0f, 1.0f);
        history.left.back() = -0.5f;
        history.right.back() = 0.25f;
        Process(shifter, history);

        shifter.SetShifting(1.5);
        const Stereo on = Process(shifter, Stereo(n, 1.0f, 1.0f));
        // Frame 0 is the old last frame exactly: (last * fade + s * 0) / fade.
        EXPECT_EQ(on.left[0], -0.5f);
        EXPECT_EQ(on.right[0], 0.25f);
        for (std::size_t i = 0; i < n; ++i)
        {
            const auto k = static_cast<float>(i);
            EXPECT_NEAR(on.left[i], (-0.5f * (fade - k) + k) / fade, 1e-6f) << i;
            EXPECT_NEAR(on.right[i], (0.25f * (fade - k) + k) / fade, 1e-6f) << i;
        }
        const Stereo shifted = Process(shifter, Stereo(n, 1.0f, 1.0f));
        for (std::size_t i = 0; i < n; ++i)
            EXPECT_NEAR(shifted.left[i], 1.0f, 1e-6f) << i;

        // Back to bypass: from the last shifted frame into the dry input.
        shifter.SetShifting(1.0);
        Stereo dry(n);
        for (std::size_t i = 0; i < n; ++i)
            dry.left[i] = dry.right[i] = 0.1f * static_cast<float>(i) - 0.3f;
        const float last = shifted.left.back();
        const Stereo off = Process(shifter, dry);
        EXPECT_EQ(off.left[0], last);
        for (std::size_t i = 0; i < n; ++i)
        {
            const auto k = static_cast<float>(i);
            EXPECT_NEAR(off.left[i], (last * (fade - k) + dry.left[i] * k) / fade, 1e-6f);
        }
        EXPECT_EQ(Process(shifter, dry).left, dry.left);
    }
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
    // Only Reset records the length it ran with.
    EXPECT_EQ(shifter.ResetSize(), 1700);
    shifter.Reset();
    EXPECT_EQ(shifter.ResetSize(), 8500);
    // Ratios that would step the heads backwards or nowhere are refused.
    for (const double bad : {0.0, -2.0, std::numeric_limits<double>::quiet_NaN(),
                             std::numeric_limits<double>::infinity()})
    {
        shifter.SetShifting(bad);
        EXPECT_EQ(shifter.Shift(), 5.2) << bad;
    }
    shifter.SetBufferSize(20);
    EXPECT_EQ(shifter.Size(), 50);
    shifter.SetBufferSize(40000);
    EXPECT_EQ(shifter.Size(), 17000);
}

TEST(CShifter, ARegrownLineIsSilent)
{
    // Fill all 17000 frames with 1.0, optionally shrink to 1700 and grow back, then listen at
    // ratio 10.5 (trunc 10 asks for 17000: no resize).  The writer is back at 425, so the heads
    // start at 425 - 4250 + 17000 = 13175 and 425 + 4250 = 4675 and over 360 frames advance
    // 10.5 * 360 = 3780: they read only the regrown part.
    const auto listen = [](bool regrow)
    {
        CShifter shifter;
        shifter.SetBufferSize(17000);
        Process(shifter, Stereo(17000, 1.0f, 1.0f));
        if (regrow)
        {
            shifter.SetBufferSize(1700);
            shifter.SetBufferSize(17000);
        }
        shifter.SetShifting(10.5);
        return Process(shifter, Stereo(360));
    };
    const Stereo kept = listen(false);
    const Stereo regrown = listen(true);
    for (std::size_t i = 16; i < 360; ++i)
    {
        ASSERT_NEAR(kept.left[i], 1.0f, 1e-6f) << i;
        ASSERT_EQ(regrown.left[i], 0.0f) << i;
    }
}

TEST(CShifter, SkipSamplesMovesTheHeadsModuloTheLength)
{
    // With the ratio a hair above 1 the shifter is a two-tap delay: the heads trail the writer
    // by 425 and 1700 - 425 = 1275 frames, so an impulse at 10 comes out at 435 and 1285.
    const auto echoes = [](int skip)
    {
        CShifter shifter;
        shifter.SetShifting(1.0 + 1e-9);
        Process(shifter, Stereo(100)); // leaves bypass, places the heads
        shifter.SkipSamples(skip);
        Stereo in(2000);
        in.left[10] = 1.0f;
        const Stereo out = Process(shifter, in);
        std::vector<std::size_t> at;
        for (std::size_t i = 0; i < out.Frames(); ++i)
            if (std::abs(out.left[i]) > 0.01f) at.push_back(i);
        return at;
    };
    EXPECT_EQ(echoes(0), (std::vector<std::size_t>{435, 1285}));
    EXPECT_EQ(echoes(1700 + 3), (std::vector<std::size_t>{432, 1282})); // 3 frames sooner
    EXPECT_EQ(echoes(1700), echoes(0));
    EXPECT_EQ(echoes(-3), echoes(0));
}

TEST(CShifter, OctaveUpDoublesTheFrequencyWithoutClicks)
{
    constexpr double kRate = 48000.0;
    constexpr double kFreq = 440.0;
    constexpr float kAmp = 0.5f;
    constexpr std::size_t kFrames = 96000;
    CShifter shifter;
    shifter.SetShifting(2.0);
    ASSERT_EQ(shifter.Size(), 1700); // |1700 - 3400| is within the hysteresis

    Stereo in(kFrames);
    for (std::size_t i = 0; i < kFrames; ++i)
    {
        const double phase = 2.0 * std::numbers::pi * kFreq * static_cast<double>(i) / kRate;
        in.left[i] = kAmp * static_cast<float>(std::sin(phase));
        in.right[i] = kAmp * static_cast<float>(std::cos(phase));
    }
    Stereo out(kFrames);
    for (std::size_t at = 0; at < kFrames; at += 256)
        shifter.GetSamples(in.left.data() + at, in.right.data() + at, out.left.data() + at,
                           out.right.data() + at, 256);

    const std::size_t from = 2 * 1700; // the line starts out silent
    const std::size_t span = kFrames - from;
    std::size_t crossings = 0;
    for (std::size_t i = from + 1; i < kFrames; ++i)
        if ((out.left[i - 1] < 0.0f) != (out.left[i] < 0.0f)) ++crossings;
    // Two crossings per period of 880 Hz.  Each hand-over between the heads (every half
    // buffer, 850 frames) may move the phase by up to one crossing.
    const double expected = 2.0 * 2.0 * kFreq * static_cast<double>(span) / kRate;
    const double slack = static_cast<double>(span) / 850.0;
    EXPECT_NEAR(static_cast<double>(crossings), expected, slack);
    EXPECT_LT(slack, 0.05 * expected); // the bound tells 2x from anything else

    // A step between frames of the blend (1 - g) s1 + g s2 of two sines of amplitude A and
    // angular step w = 2 pi 880 / 48000 is at most A w plus |dg| |s2 - s1| <= (pi / 2) / 850
    // * 2A.  A head heard crossing the writer would jump by up to 2A = 1.0.
    const double w = 2.0 * std::numbers::pi * 2.0 * kFreq / kRate;
    const double bound = kAmp * (w + std::numbers::pi / 850.0) + 1e-5;
    double worst = 0.0;
    for (std::size_t i = from + 1; i < kFrames; ++i)
        worst = std::max({worst, static_cast<double>(std::abs(out.left[i] - out.left[i - 1])),
                          static_cast<double>(std::abs(out.right[i] - out.right[i - 1]))});
    EXPECT_LE(worst, bound);
}

TEST(CShifter, CrossfadeTableEndsAndDegenerateCalls)
{
    const CShifter::Table& table = CShifter::CrossfadeTable();
    // k = 0: 17000 * float(1/17000) rounds to exactly 1.0f, and cos of the double nearest
    // pi/2 is the gap between the two, 6.123233995736766e-17.
    EXPECT_EQ(table[0], static_cast<float>(6.123233995736766e-17));
    // k = 16999: cos(5.8823531e-05 * pi/2) = 1 - 4.3e-09, which rounds to 1.0f.
    EXPECT_EQ(table[16999], 1.0f);
    EXPECT_EQ(table[8500], static_cast<float>(std::sqrt(0.5))); // cos(pi/4)
    EXPECT_TRUE(std::is_sorted(table.begin(), table.end()));

    CShifter shifter;
    float sample[1] = {0.5f};
    EXPECT_EQ(shifter.GetSamples(sample, sample, sample, sample, 0), 0);
    EXPECT_EQ(shifter.GetSamples(sample, sample, sample, sample, -5), 0);
    EXPECT_EQ(sample[0], 0.5f);
    // A ratio far above the shortest length steps the heads around the line many times per
    // frame; they must still land inside it.
    shifter.SetShifting(50000.0);
    shifter.SetBufferSize(50);
    const Stereo out = Process(shifter, Stereo::Noise(5000, 3));
    for (std::size_t i = 0; i < out.Frames(); ++i)
        ASSERT_LE(std::abs(out.left[i]), 1.0f) << i;
}
