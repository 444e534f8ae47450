#include "samples/CSampleFactory.h"

#include "SampleTestUtil.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <iterator>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace
{
constexpr float kUntouched = 777.0f;

// A pool holding a 3-frame filler, then the 4-frame sample {0, 10, 20, 30} at pool index 3,
// so positions are absolute pool indices as in the engine.
struct FourFrames
{
    std::unique_ptr<CSampleFactory> factory = std::make_unique<CSampleFactory>(1000, 8);
    CSample* filler = StoreFrames(*factory, {-5.0f, -5.0f, -5.0f});
    CSample* sample = StoreFrames(*factory, {0.0f, 10.0f, 20.0f, 30.0f});
    std::array<float, 16> left{};
    std::array<float, 16> right{};

    FourFrames()
    {
        left.fill(kUntouched);
        right.fill(kUntouched);
    }

    double Play(double position, int frames, double rate, bool looping)
    {
        return factory->GetSamples(sample, position, left.data(), right.data(), frames, rate,
                                   looping);
    }

    void ExpectLeft(const std::vector<float>& expected) const
    {
        for (size_t i = 0; i < expected.size(); ++i)
        {
            SCOPED_TRACE("frame " + std::to_string(i));
            EXPECT_FLOAT_EQ(left[i], expected[i]);
            EXPECT_FLOAT_EQ(right[i], -expected[i]);
        }
    }
};
} // namespace

TEST(CSamplePlay, ForwardInterpolation)
{
    {
        SCOPED_TRACE("not looping: the partner of the last frame is itself, then the end");
        FourFrames t;
        // Positions 3.25, 3.75, ... step 0.5 (pool index 3 is the first frame):
        // 0.25 * 10 = 2.5, 7.5, 12.5, 17.5, 22.5, 27.5, then 30 twice (last frame, q = p);
        // 7.25 >= last + 1 = 7 ends playback: the other 8 frames are zeros.
        EXPECT_EQ(t.Play(3.25, 16, 0.5, false), -1.0);
        t.ExpectLeft(
            {2.5f, 7.5f, 12.5f, 17.5f, 22.5f, 27.5f, 30.0f, 30.0f, 0, 0, 0, 0, 0, 0, 0, 0});
    }
    {
        SCOPED_TRACE("looping: the partner of the last frame is the first");
        FourFrames t;
        // At 6.25: 30 + 0.25 * (0 - 30) = 22.5; 6.75: 30 - 0.75 * 30 = 7.5; then 7.25 wraps
        // by one length to 3.25: 2.5. 10 frames end at 6.25 + 10 * 0.5 - 2 * 4 = 3.25.
        EXPECT_EQ(t.Play(6.25, 10, 0.5, true), 3.25);
        t.ExpectLeft({22.5f, 7.5f, 2.5f, 7.5f, 12.5f, 17.5f, 22.5f, 27.5f, 22.5f, 7.5f});
        EXPECT_EQ(t.left[10], kUntouched);
    }
}

TEST(CSamplePlay, BackwardInterpolation)
{
    {
        SCOPED_TRACE("not looping: partner below p, f measured upward from p");
        FourFrames t;
        // 6.0: 30; 5.5: p = 5 (20), q = 4 (10): 20 + 0.5 * (10 - 20) = 15; 5.0: 20;
        // 4.5: 10 + 0.5 * (0 - 10) = 5; 4.0: 10; 3.5: p = 3 is the first frame, q = p: 0;
        // 3.0 <= start ends playback.
        EXPECT_EQ(t.Play(6.0, 8, -0.5, false), -1.0);
        t.ExpectLeft({30.0f, 15.0f, 20.0f, 5.0f, 10.0f, 0.0f, 0.0f, 0.0f});
        EXPECT_EQ(t.left[8], kUntouched);
    }
    {
        SCOPED_TRACE("looping: the partner of the first frame is the last");
        FourFrames t;
        // 3.5: p = 3, q = 6: 0 + 0.5 * (30 - 0) = 15; 3.0 equals start and stays;
        // 3.0: 0; 2.5 < start wraps to 6.5: 30 + 0.5 * (20 - 30) = 25; 6.0: 30; ends at 5.5.
        EXPECT_EQ(t.Play(3.5, 4, -0.5, true), 5.5);
        t.ExpectLeft({15.0f, 0.0f, 25.0f, 30.0f});
    }
    {
        SCOPED_TRACE("a negative position starts at the first frame, also backward");
        FourFrames t;
        // -1.0 becomes 3.0: frame 0 is 0; then 2.0 <= start ends without looping.
        EXPECT_EQ(t.Play(-1.0, 3, -1.0, false), -1.0);
        t.ExpectLeft({0.0f, 0.0f, 0.0f});
    }
}

TEST(CSamplePlay, EndOfSampleAndRateEdges)
{
    {
        SCOPED_TRACE("from -1 at rate 1: four frames, then zeros for the rest of the block");
        FourFrames t;
        EXPECT_EQ(t.Play(-1.0, 16, 1.0, false), -1.0);
        t.ExpectLeft({0, 10, 20, 30, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    }
    {
        SCOPED_TRACE("rate 1.5 looping wraps by whole lengths and stays inside");
        FourFrames t;
        // Relative positions 0, 1.5, 3, 4.5-4 = 0.5, 2, 3.5, 5-4 = 1, 2.5, 4-4 = 0, then 1.5.
        // Values: 0, 15, 30, 5, 20, 30 + 0.5 * (0 - 30) = 15, 10, 25, 0.
        EXPECT_EQ(t.Play(3.0, 9, 1.5, true), 4.5);
        t.ExpectLeft({0, 15, 30, 5, 20, 15, 10, 25, 0});
    }
    {
        SCOPED_TRACE("a rate of several lengths wraps in one call");
        FourFrames t;
        // 3 + 9 = 12, minus two lengths: 4.
        EXPECT_EQ(t.Play(3.0, 1, 9.0, true), 4.0);
    }
    {
        SCOPED_TRACE("rate 0 holds the position");
        FourFrames t;
        // Rate 0 counts as backward: at 4.5 the partner of 10 is the frame below,
        // 10 + 0.5 * (0 - 10) = 5, every frame.
        EXPECT_EQ(t.Play(4.5, 3, 0.0, false), 4.5);
        t.ExpectLeft({5, 5, 5});
    }
    {
        SCOPED_TRACE("rate 0 at the first frame without looping ends at once");
        FourFrames t;
        EXPECT_EQ(t.Play(3.0, 3, 0.0, false), -1.0);
        t.ExpectLeft({0, 0, 0});
    }
    {
        SCOPED_TRACE("past the last frame without looping: -1 and nothing written");
        FourFrames t;
        EXPECT_EQ(t.Play(6.5, 4, 1.0, false), -1.0);
        EXPECT_EQ(t.left[0], kUntouched);
        EXPECT_EQ(t.right[0], kUntouched);
    }
    {
        SCOPED_TRACE("a never-looping sample stops at its end although looping is asked");
        FourFrames t;
        t.sample->SetNeverLoop(true);
        EXPECT_EQ(t.sample->Play(-1.0, t.left.data(), t.right.data(), 6, 1.0, true, 44100.0), -1.0);
        t.ExpectLeft({0, 10, 20, 30, 0, 0});
    }
}

TEST(CSamplePlay, SampleMadeAtAnotherRate)
{
    auto factory = std::make_unique<CSampleFactory>(5000, 4);
    CSample* sample = StoreRamp(*factory, 2000);
    sample->SetSampleRate(44100.0);
    std::array<float, 16> left{};
    std::array<float, 16> right{};
    // 44100 / 48000 = 0.91875 frames per output frame; frame i of a ramp reads i * 0.91875.
    const double next = sample->Play(0.0, left.data(), right.data(), 16, 1.0, false, 48000.0);
    EXPECT_NEAR(next, 16 * 0.91875, 1e-12);
    for (int i = 0; i < 16; ++i)
    {
        SCOPED_TRACE(i);
        EXPECT_NEAR(left[i], i * 0.91875, 1e-5);
    }
    {
        SCOPED_TRACE("a skip of 1000 output frames advances 918.75 sample frames");
        EXPECT_NEAR(sample->SkipSamples(0.0, 1000, 1.0, false, 48000.0), 918.75, 1e-9);
    }
    {
        SCOPED_TRACE("no recorded rate: no correction");
        sample->SetSampleRate(0.0);
        EXPECT_EQ(sample->SkipSamples(0.0, 1000, 1.0, false, 48000.0), 1000.0);
    }
}

TEST(CSampleSkip, WrapAndEndRules)
{
    FourFrames t;
    {
        SCOPED_TRACE("forward wrap is a single length");
        // 3 + 2.5 = 5.5; + 2.5 = 8 >= 7: 8 - 4 = 4.
        EXPECT_EQ(t.factory->SkipSamples(t.sample, 3.0, 2, 2.5, true), 4.0);
        // 3 + 9 = 12 >= 7: one subtraction leaves 8, outside the sample (GetSamples would
        // have taken two lengths).
        EXPECT_EQ(t.factory->SkipSamples(t.sample, 3.0, 1, 9.0, true), 8.0);
    }
    {
        SCOPED_TRACE("backward: ends below start, not at start");
        // 4 - 1 = 3 is start itself: still playing.
        EXPECT_EQ(t.factory->SkipSamples(t.sample, 4.0, 1, -1.0, false), 3.0);
        EXPECT_EQ(t.factory->SkipSamples(t.sample, 4.0, 2, -1.0, false), -1.0);
        // Looping: 3 - 1 = 2 < 3, plus 4 = 6.
        EXPECT_EQ(t.factory->SkipSamples(t.sample, 4.0, 2, -1.0, true), 6.0);
    }
    {
        SCOPED_TRACE("the step runs once for a count below 1");
        EXPECT_EQ(t.factory->SkipSamples(t.sample, -1.0, 0, 1.0, false), 4.0);
        EXPECT_EQ(t.factory->SkipSamples(t.sample, -1.0, -7, 1.0, false), 4.0);
    }
    {
        SCOPED_TRACE("the end of a non-looping sample, and a huge count");
        EXPECT_EQ(t.factory->SkipSamples(t.sample, -1.0, 4, 1.0, false), -1.0);
        EXPECT_EQ(
            t.factory->SkipSamples(t.sample, -1.0, std::numeric_limits<int>::max(), 1.0, false),
            -1.0);
        EXPECT_EQ(t.factory->SkipSamples(t.sample, 6.5, 1, 0.0, false), -1.0);
    }
}

TEST(CSamplePlay, PositionsOutsideTheSample)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    {
        SCOPED_TRACE("a huge looping position wraps back in by whole lengths");
        FourFrames t;
        // 3 + 4 * 2^40 + 1.5: one and a half frames into the sample.
        const double far = 3.0 + 4.0 * 1099511627776.0 + 1.5;
        EXPECT_EQ(t.Play(far, 1, 1.0, true), 5.5);
        t.ExpectLeft({15.0f});
    }
    {
        SCOPED_TRACE("not-a-number or infinite looping positions start over");
        FourFrames t;
        EXPECT_EQ(t.Play(nan, 1, 1.0, true), 4.0);
        EXPECT_EQ(t.Play(inf, 1, 1.0, true), 4.0);
        t.ExpectLeft({0.0f});
    }
    {
        SCOPED_TRACE("outside positions end playback without looping, writing nothing");
        FourFrames t;
        EXPECT_EQ(t.Play(nan, 4, 1.0, false), -1.0);
        EXPECT_EQ(t.Play(1e300, 4, 1.0, false), -1.0);
        EXPECT_EQ(t.Play(1.0, 4, 1.0, false), -1.0); // below the start: another sample's frames
        EXPECT_EQ(t.left[0], kUntouched);
        EXPECT_EQ(t.factory->SkipSamples(t.sample, nan, 4, 1.0, false), -1.0);
    }
    {
        SCOPED_TRACE("a huge or infinite rate stays inside the sample");
        FourFrames t;
        const double next = t.Play(3.0, 4, 1e300, true);
        EXPECT_GE(next, 3.0);
        EXPECT_LT(next, 7.0);
        // An infinite rate holds the position like rate 0: 4.5 reads 5 each frame.
        EXPECT_EQ(t.Play(4.5, 2, inf, true), 4.5);
        EXPECT_EQ(t.Play(4.5, 2, -nan, false), 4.5);
        t.ExpectLeft({5.0f, 5.0f});
        const double back = t.Play(5.0, 4, -1e300, true);
        EXPECT_GE(back, 3.0);
        EXPECT_LT(back, 7.0);
    }
    {
        SCOPED_TRACE("looping playback after compaction continues inside the moved sample");
        FourFrames t;
        t.filler->Release(); // the sample moves down to 0 ... 3
        // Old index 6.5 now lies past the last frame 3: looping takes it back one length to
        // 2.5, which reads 20 + 0.5 * 10 = 25; without looping playback ends.
        EXPECT_EQ(t.Play(6.5, 1, 1.0, true), 3.5);
        t.ExpectLeft({25.0f});
        EXPECT_EQ(t.Play(6.5, 1, 1.0, false), -1.0);
        EXPECT_EQ(t.Play(3.5, 1, 1.0, false), -1.0);
        // An old index that still lies inside 0 ... 3 continues from there.
        EXPECT_EQ(t.Play(2.5, 1, 1.0, false), 3.5);
    }
    {
        SCOPED_TRACE("empty, released, foreign or null samples play nothing");
        FourFrames t;
        CSample* empty = t.factory->NewSample();
        EXPECT_EQ(t.factory->GetSamples(empty, -1.0, t.left.data(), t.right.data(), 4, 1.0, true),
                  -1.0);
        EXPECT_EQ(t.factory->SkipSamples(empty, -1.0, 4, 1.0, true), -1.0);
        EXPECT_EQ(t.factory->GetSamples(nullptr, 0.0, t.left.data(), t.right.data(), 4, 1.0, true),
                  -1.0);
        auto other = std::make_unique<CSampleFactory>(100, 2);
        CSample* foreign = StoreRamp(*other, 50);
        EXPECT_EQ(t.factory->GetSamples(foreign, 0.0, t.left.data(), t.right.data(), 4, 1.0, true),
                  -1.0);
        t.sample->Release();
        EXPECT_EQ(t.Play(3.0, 4, 1.0, true), -1.0);
        EXPECT_EQ(t.left[0], kUntouched);
    }
    {
        SCOPED_TRACE("null buffers or no frames render nothing and keep the position");
        FourFrames t;
        EXPECT_EQ(t.factory->GetSamples(t.sample, 4.5, nullptr, t.right.data(), 4, 1.0, true), 4.5);
        EXPECT_EQ(t.Play(-1.0, 0, 1.0, true), 3.0);
        EXPECT_EQ(t.Play(4.5, -3, 1.0, true), 4.5);
        EXPECT_EQ(t.left[0], kUntouched);
    }
}

TEST(CSamplePlay, AnyArgumentsStayInsideTheSample)
{
    // A 7-frame sample of ones between runs of 1000: any read outside the sample would show
    // up in the output, and ASan guards the pool's ends.
    auto factory = std::make_unique<CSampleFactory>(16, 4);
    StoreFrames(*factory, std::vector<float>(5, 1000.0f));
    CSample* sample = StoreFrames(*factory, std::vector<float>(7, 1.0f));
    StoreFrames(*factory, std::vector<float>(4, 1000.0f));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const double positions[] = {-1.0, 0.0, 4.99,  5.0,    11.0, 11.5, 12.0,
                                15.9, 1e9, 1e300, -1e300, nan,  inf,  -inf};
    const double rates[] = {0.0, 1e-9, -1e-9, 0.37,  -0.37, 1.0,    -1.0, 6.5, -6.5,
                            7.0, -7.0, 40.3,  -40.3, 1e300, -1e300, nan,  inf, -inf};
    {
        SCOPED_TRACE("a backward wrap that rounds up onto last + 1");
        // 5 + 1 ulp, then 2e-15 down: 4.999999999999999 < start; plus 7 rounds to 12.0,
        // one past the last frame, which is the loop's start again.
        std::array<float, 2> left{};
        std::array<float, 2> right{};
        const double next = factory->GetSamples(sample, std::nextafter(5.0, 6.0), left.data(),
                                                right.data(), 2, -2e-15, true);
        EXPECT_EQ(left[1], 1.0f);
        EXPECT_GE(next, 5.0);
        EXPECT_LT(next, 12.0);
    }
    std::mt19937 random(1234);
    std::uniform_int_distribution<int> pick(0, 1 << 30);
    double position = -1.0;
    for (int round = 0; round < 20000; ++round)
    {
        std::array<float, 16> left;
        std::array<float, 16> right;
        left.fill(kUntouched);
        right.fill(kUntouched);
        const int choice = pick(random);
        if (choice % 4 == 0) position = positions[pick(random) % std::size(positions)];
        const double rate = rates[pick(random) % std::size(rates)];
        const int frames = pick(random) % 19 - 2; // -2 ... 16
        const bool looping = (choice & 16) != 0;
        if (choice % 7 == 0)
        {
            position = factory->SkipSamples(sample, position, pick(random) % 100, rate, looping);
            continue;
        }
        position =
            factory->GetSamples(sample, position, left.data(), right.data(), frames, rate, looping);
        ASSERT_TRUE(position == -1.0 || (position >= 5.0 && position < 12.0)) << position;
        for (int i = 0; i < 16; ++i)
        {
            ASSERT_TRUE(left[i] == kUntouched || left[i] == 1.0f || left[i] == 0.0f)
                << "round " << round << " frame " << i << ": " << left[i];
            ASSERT_TRUE(right[i] == kUntouched || right[i] == -1.0f || right[i] == 0.0f)
                << "round " << round << " frame " << i << ": " << right[i];
        }
    }
}
