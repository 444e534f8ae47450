#include "dsp/CShifter.h"

#include "Stereo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
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

// Frames of a mono signal whose magnitude exceeds a threshold.
std::vector<std::size_t> Peaks(const std::vector<float>& signal, float threshold)
{
    std::vector<std::size_t> at;
    for (std::size_t i = 0; i < signal.size(); ++i)
        if (std::abs(signal[i]) > threshold) at.push_back(i);
    return at;
}
} // namespace

TEST(CShifter, UnityRatioFromConstructionIsAnExactCopy)
{
    CShifter shifter;
    EXPECT_EQ(shifter.Shift(), 1.0);
    EXPECT_EQ(shifter.Size(), 1700);
    EXPECT_EQ(shifter.ResetSize(), 1700);

    // Several laps of the delay line, in blocks of uneven sizes.
    const Stereo in = Stereo::Noise(20000, 7);
    std::size_t done = 0;
    for (const int block : {1, 16, 37, 2048, 5000, 12898})
    {
        SCOPED_TRACE(block);
        Stereo part(static_cast<std::size_t>(block));
        std::copy_n(in.left.begin() + static_cast<std::ptrdiff_t>(done), block, part.left.begin());
        std::copy_n(in.right.begin() + static_cast<std::ptrdiff_t>(done), block,
                    part.right.begin());
        const Stereo out = Process(shifter, part);
        EXPECT_EQ(out.left, part.left);
        EXPECT_EQ(out.right, part.right);
        done += static_cast<std::size_t>(block);
    }
    EXPECT_EQ(done, in.Frames());
}

TEST(CShifter, ModeChangesCrossfadeFromThePreviousLastFrame)
{
    for (const int block : {16, 4})
    {
        SCOPED_TRACE(block);
        const auto n = static_cast<std::size_t>(block);
        const float fade = static_cast<float>(std::min(block, 16));
        CShifter shifter;

        // A DC history whose final frame stands out.  The shifter's heads start a quarter
        // buffer (425 frames) either side of the writer, well away from that frame, so the
        // shifted signal is 1.0 up to rounding of the head blend.
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
            const float k = static_cast<float>(i);
            EXPECT_NEAR(on.left[i], (-0.5f * (fade - k) + k) / fade, 1e-6f) << i;
            EXPECT_NEAR(on.right[i], (0.25f * (fade - k) + k) / fade, 1e-6f) << i;
        }
        // The next block is the shifted signal alone.
        const Stereo shifted = Process(shifter, Stereo(n, 1.0f, 1.0f));
        for (std::size_t i = 0; i < n; ++i)
        {
            EXPECT_NEAR(shifted.left[i], 1.0f, 1e-6f) << i;
            EXPECT_NEAR(shifted.right[i], 1.0f, 1e-6f) << i;
        }

        // Back to bypass: from the last shifted frame into the dry input.
        shifter.SetShifting(1.0);
        Stereo dry(n);
        for (std::size_t i = 0; i < n; ++i)
        {
            dry.left[i] = 0.1f * static_cast<float>(i) - 0.3f;
            dry.right[i] = -dry.left[i];
        }
        const float lastL = shifted.left.back();
        const float lastR = shifted.right.back();
        const Stereo off = Process(shifter, dry);
        EXPECT_EQ(off.left[0], lastL);
        EXPECT_EQ(off.right[0], lastR);
        for (std::size_t i = 0; i < n; ++i)
        {
            const float k = static_cast<float>(i);
            EXPECT_NEAR(off.left[i], (lastL * (fade - k) + dry.left[i] * k) / fade, 1e-6f);
            EXPECT_NEAR(off.right[i], (lastR * (fade - k) + dry.right[i] * k) / fade, 1e-6f);
        }
        const Stereo after = Process(shifter, dry);
        EXPECT_EQ(after.left, dry.left);
        EXPECT_EQ(after.right, dry.right);
    }
}

TEST(CShifter, BufferLengthFollowsTheRatioWithHysteresis)
{
    CShifter shifter;
    struct Step
    {
        double ratio;
        int size;
    };
    // 1700 * trunc(ratio), taken below ratio 5 only when more than 2500 away, from 5 upward
    // when more than 1000 away; 1700 for ratios up to 1; never above 17000.
    const Step steps[] = {
        {0.5, 1700},    {1.0, 1700},   {2.5, 1700}, // |1700 - 3400| = 1700: kept
        {3.2, 5100},    {4.5, 5100},                // |5100 - 6800| = 1700: kept
        {6.3, 10200},   {12.0, 17000},              // 20400 clamped
        {1e300, 17000}, {0.9, 1700},   {5.2, 8500}, // |1700 - 8500| = 6800
    };
    for (const Step& step : steps)
    {
        SCOPED_TRACE(step.ratio);
        shifter.SetShifting(step.ratio);
        EXPECT_EQ(shifter.Shift(), step.ratio);
        EXPECT_EQ(shifter.Size(), step.size);
    }

    // Only Reset records the length it ran with.
    EXPECT_EQ(shifter.ResetSize(), 1700);
    shifter.Reset();
    EXPECT_EQ(shifter.ResetSize(), 8500);
    EXPECT_EQ(shifter.Shift(), 5.2);

    // Ratios that would step the heads backwards or nowhere are refused.
    for (const double bad : {0.0, -2.0, std::numeric_limits<double>::quiet_NaN(),
                             std::numeric_limits<double>::infinity()})
    {
        SCOPED_TRACE(bad);
        shifter.SetShifting(bad);
        EXPECT_EQ(shifter.Shift(), 5.2);
        EXPECT_EQ(shifter.Size(), 8500);
    }
}

TEST(CShifter, BufferSizeIsClampedAndGrownRegionIsSilent)
{
    {
        CShifter shifter;
        shifter.SetBufferSize(20);
        EXPECT_EQ(shifter.Size(), 50);
        shifter.SetBufferSize(40000);
        EXPECT_EQ(shifter.Size(), 17000);
    }

    // Fill the whole 17000-frame line with 1.0, optionally shrink it to 1700 and grow it back,
    // then listen at ratio 10.5 (trunc 10 asks for 17000: no resize).  The writer is back at
    // 425 after a full lap, so the heads start at 425 - 4250 + 17000 = 13175 and
    // 425 + 4250 = 4675; over 360 frames they advance 10.5 * 360 = 3780 and read only
    // indices 13175 ... 16956 and 4675 ... 8456, all in the regrown part.
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
        EXPECT_EQ(shifter.Size(), 17000);
        return Process(shifter, Stereo(360));
    };
    const Stereo kept = listen(false);
    const Stereo regrown = listen(true);
    for (std::size_t i = 16; i < 360; ++i)
    {
        ASSERT_NEAR(kept.left[i], 1.0f, 1e-6f) << i;
        ASSERT_EQ(regrown.left[i], 0.0f) << i;
        ASSERT_EQ(regrown.right[i], 0.0f) << i;
    }
}

TEST(CShifter, SkipSamplesMovesTheHeadsModuloTheLength)
{
    // With the ratio a hair above 1 the heads keep their distance to the writer, so the
    // shifter is a two-tap delay and an impulse comes out twice.  Heads start at
    // write - 425 and write + 425; after the write index steps past a frame, the first head
    // trails it by 425 frames and the second by 1700 - 425 - 1 + 1 = 1275.
    const auto echoes = [](int skip)
    {
        CShifter shifter;
        shifter.SetShifting(1.0 + 1e-9);
        Process(shifter, Stereo(100)); // leaves bypass, places the heads
        shifter.SkipSamples(skip);
        Stereo in(2000);
        in.left[10] = 1.0f;
        in.right[10] = 1.0f;
        const Stereo out = Process(shifter, in);
        return Peaks(out.left, 0.01f);
    };
    const std::vector<std::size_t> still = echoes(0);
    ASSERT_EQ(still.size(), 2u);
    EXPECT_EQ(still[0], 10u + 425u);
    EXPECT_EQ(still[1], 10u + 1275u);

    // size + 3 is 3 frames: both echoes arrive 3 frames sooner.
    const std::vector<std::size_t> skipped = echoes(1700 + 3);
    ASSERT_EQ(skipped.size(), 2u);
    EXPECT_EQ(skipped[0], still[0] - 3);
    EXPECT_EQ(skipped[1], still[1] - 3);

    // A full lap, or a negative count, leaves the heads where they were.
    EXPECT_EQ(echoes(1700), still);
    EXPECT_EQ(echoes(-3), still);
}

TEST(CShifter, InPlaceEqualsSeparateArrays)
{
    CShifter separate;
    CShifter inPlace;
    const Stereo in = Stereo::Noise(30000, 11);
    std::size_t at = 0;
    struct Block
    {
        double ratio;
        int frames;
    };
    // Bypass, fades both ways, lengths changing with the ratio, short and long blocks.
    const Block blocks[] = {{1.0, 500},  {1.5, 16},   {1.5, 3000}, {0.7, 7},     {1.0, 16},
                            {3.3, 2048}, {7.9, 4000}, {1.0, 9},    {2.2, 10000}, {1.0, 10404}};
    for (const Block& block : blocks)
    {
        SCOPED_TRACE(at);
        const auto n = static_cast<std::size_t>(block.frames);
        Stereo part(n);
        std::copy_n(in.left.begin() + static_cast<std::ptrdiff_t>(at), n, part.left.begin());
        std::copy_n(in.right.begin() + static_cast<std::ptrdiff_t>(at), n, part.right.begin());
        separate.SetShifting(block.ratio);
        inPlace.SetShifting(block.ratio);
        const Stereo out = Process(separate, part);
        EXPECT_EQ(inPlace.GetSamples(part.left.data(), part.right.data(), part.left.data(),
                                     part.right.data(), block.frames),
                  block.frames);
        EXPECT_EQ(part.left, out.left);
        EXPECT_EQ(part.right, out.right);
        at += n;
    }
    EXPECT_EQ(at, in.Frames());
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

    // Skip two buffer lengths: the line starts out silent.
    const std::size_t from = 2 * 1700;
    const std::size_t span = kFrames - from;
    std::size_t crossings = 0;
    for (std::size_t i = from + 1; i < kFrames; ++i)
        if ((out.left[i - 1] < 0.0f) != (out.left[i] < 0.0f)) ++crossings;
    // Two crossings per period of 880 Hz.  Each hand-over between the heads may move the phase
    // by up to half a period, i.e. one crossing, and the heads hand over every half buffer
    // (850 frames): at most span / 850 crossings off.
    const double expected = 2.0 * 2.0 * kFreq * static_cast<double>(span) / kRate;
    const double slack = static_cast<double>(span) / 850.0;
    EXPECT_NEAR(static_cast<double>(crossings), expected, slack);
    EXPECT_LT(slack, 0.05 * expected); // the bound tells 2x from anything else

    // A step between frames of the blend (1 - g) s1 + g s2 of two sines of amplitude A and
    // angular step w = 2 pi 880 / 48000 = 0.1152 is at most A w (the sines' own steps) plus
    // |dg| |s2 - s1| <= (pi / 2) / 850 * 2A (the weight moves one table step of
    // 17000 / 850 entries per frame along a quarter sine).  Anything above means a head
    // was heard crossing the writer (a jump of up to 2A = 1.0).
    const double w = 2.0 * std::numbers::pi * 2.0 * kFreq / kRate;
    const double bound = kAmp * (w + std::numbers::pi / 850.0) + 1e-5;
    double worstL = 0.0;
    double worstR = 0.0;
    for (std::size_t i = from + 1; i < kFrames; ++i)
    {
        worstL = std::max(worstL, static_cast<double>(std::abs(out.left[i] - out.left[i - 1])));
        worstR = std::max(worstR, static_cast<double>(std::abs(out.right[i] - out.right[i - 1])));
    }
    EXPECT_LE(worstL, bound);
    EXPECT_LE(worstR, bound);
}

TEST(CShifter, CrossfadeTableEnds)
{
    const CShifter::Table& table = CShifter::CrossfadeTable();
    // k = 0: (17000 - 0) * float(1/17000) rounds to exactly 1.0f, and cos of the double
    // nearest pi/2 is the gap between pi/2 and that double, 6.123233995736766e-17.
    EXPECT_EQ(table[0], static_cast<float>(6.123233995736766e-17));
    // k = 16999: 1 * float(1/17000) = 5.8823531e-05; cos(5.8823531e-05 * pi/2) =
    // 1 - (9.24e-05)^2 / 2 = 1 - 4.3e-09, which rounds to 1.0f.
    EXPECT_EQ(table[16999], 1.0f);
    // The middle: cos(0.5 * pi/2) = sqrt(1/2).
    EXPECT_EQ(table[8500], static_cast<float>(std::sqrt(0.5)));
    EXPECT_TRUE(std::is_sorted(table.begin(), table.end()));
}

TEST(CShifter, DegenerateCallsStayInsideTheLine)
{
    CShifter shifter;
    float left[1] = {0.5f};
    float right[1] = {0.5f};
    // Nothing to process: no frame is read or written, and the call reports none.
    EXPECT_EQ(shifter.GetSamples(left, right, left, right, 0), 0);
    EXPECT_EQ(shifter.GetSamples(left, right, left, right, -5), 0);
    EXPECT_EQ(left[0], 0.5f);

    // A ratio far above the shortest length steps the heads around the line many times per
    // frame; they must still land inside it.
    shifter.SetShifting(50000.0);
    shifter.SetBufferSize(50);
    const Stereo out = Process(shifter, Stereo::Noise(5000, 3));
    for (std::size_t i = 0; i < out.Frames(); ++i)
    {
        ASSERT_TRUE(std::isfinite(out.left[i])) << i;
        ASSERT_LE(std::abs(out.left[i]), 1.0f) << i;
    }
}
