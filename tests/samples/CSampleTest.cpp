#include "samples/CSampleFactory.h"

#include "SampleTestUtil.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <numeric>
#include <random>
#include <vector>

namespace
{
constexpr float kUntouched = 777.0f;
constexpr int32_t kRing = CSampleFactory::kLiveFrames;
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

// A 3-frame filler, then {0, 10, 20, 30} at pool index 3: positions are pool indices.
struct FourFrames
{
    std::unique_ptr<CSampleFactory> factory = std::make_unique<CSampleFactory>(1000, 8);
    CSample* filler = StoreFrames(*factory, {-5.0f, -5.0f, -5.0f});
    CSample* sample = StoreFrames(*factory, {0.0f, 10.0f, 20.0f, 30.0f});
    std::array<float, 17> left, right;

    double Play(double position, int frames, double rate, bool looping)
    {
        left.fill(kUntouched);
        right.fill(kUntouched);
        return factory->GetSamples(sample, position, left.data(), right.data(), frames, rate,
                                   looping);
    }
};

struct Case
{
    const char* name;
    double position;
    int frames;
    double rate;
    bool looping;
    double next;
    std::vector<float> left = {}; // rendered frames, followed by an untouched one
};

void ExpectRun(const CSample* s, int32_t start, int32_t size)
{
    EXPECT_EQ(s->Start(), start);
    EXPECT_EQ(s->Size(), size);
    EXPECT_EQ(s->Last(), start + size - 1);
}
} // namespace

TEST(CSamplePlay, InterpolationWrapAndEndRules)
{
    const double far = 3.0 + 4.0 * 1099511627776.0 + 1.5; // 2^40 lengths on, 1.5 frames in
    const Case cases[] = {
        // 3.25 + 0.5k: 0.25 * 10 = 2.5, 7.5 ...; the last frame pairs with itself; 7.25 ends.
        {"forward", 3.25, 10, 0.5, false, -1.0, {2.5, 7.5, 12.5, 17.5, 22.5, 27.5, 30, 30, 0, 0}},
        // 6.25: 30 + 0.25 * (0 - 30) = 22.5, the last pairing with the first; 7.25 -> 3.25.
        {"loop", 6.25, 9, 0.5, true, 6.75, {22.5, 7.5, 2.5, 7.5, 12.5, 17.5, 22.5, 27.5, 22.5}},
        // 5.5: p = 5 (20), q = 4 (10): 15; at 3.5 the first frame pairs with itself; 3.0 ends.
        {"backward", 6.0, 8, -0.5, false, -1.0, {30, 15, 20, 5, 10, 0, 0, 0}},
        // 3.5: 0 + 0.5 * 30 = 15, the first pairing with the last; 2.5 -> 6.5: 25.
        {"backward looping", 3.5, 4, -0.5, true, 5.5, {15, 0, 25, 30}},
        {"a negative position is the first frame", -1.0, 3, -1.0, false, -1.0, {0, 0, 0}},
        // Relative 0, 1.5, 3, 0.5, 2, 3.5 (30 + 0.5 * (0 - 30) = 15), 1, 2.5, 0; next 1.5.
        {"rate 1.5 wraps", 3.0, 9, 1.5, true, 4.5, {0, 15, 30, 5, 20, 15, 10, 25, 0}},
        {"rate 9 wraps by two lengths", 3.0, 1, 9.0, true, 4.0, {0}}, // 3 + 9 - 2 * 4
        // Rate 0 counts as backward: 10 + 0.5 * (0 - 10) = 5.
        {"rate 0 holds", 4.5, 3, 0.0, false, 4.5, {5, 5, 5}},
        {"rate 0 at the first frame ends", 3.0, 3, 0.0, false, -1.0, {0, 0, 0}},
        {"an infinite rate holds", 4.5, 2, kInf, true, 4.5, {5, 5}},
        {"past the end", 6.5, 4, 1.0, false, -1.0},
        {"below the start (another sample's frames)", 1.0, 4, 1.0, false, -1.0},
        {"not a number", kNaN, 4, 1.0, false, -1.0},
        {"not a number, looping, starts over", kNaN, 1, 1.0, true, 4.0, {0}},
        {"infinite, looping, starts over", kInf, 1, 1.0, true, 4.0, {0}},
        {"huge, looping, wraps by whole lengths", far, 1, 1.0, true, 5.5, {15}},
        {"no frames", 4.5, -3, 1.0, true, 4.5},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        FourFrames t;
        EXPECT_EQ(t.Play(c.position, c.frames, c.rate, c.looping), c.next);
        for (std::size_t i = 0; i < c.left.size(); ++i)
        {
            EXPECT_FLOAT_EQ(t.left[i], c.left[i]) << i;
            EXPECT_FLOAT_EQ(t.right[i], -c.left[i]) << i;
        }
        EXPECT_EQ(t.left[c.left.size()], kUntouched);
    }
    FourFrames t;
    const Case skips[] = {
        {"forward wraps one length", 3.0, 2, 2.5, true, 4.0}, // 3 + 5 = 8 >= 7
        {"a single subtraction, unlike playback", 3.0, 1, 9.0, true, 8.0},
        {"the start itself still plays", 4.0, 1, -1.0, false, 3.0},
        {"below it ends", 4.0, 2, -1.0, false, -1.0},
        {"backward wraps", 4.0, 2, -1.0, true, 6.0}, // 2 + 4
        {"the step runs once for a count below 1", -1.0, 0, 1.0, false, 4.0},
        {"the end", -1.0, 4, 1.0, false, -1.0},
        {"a huge count", -1.0, std::numeric_limits<int>::max(), 1.0, false, -1.0},
        {"not a number", kNaN, 4, 1.0, false, -1.0},
    };
    for (const Case& c : skips)
        EXPECT_EQ(t.factory->SkipSamples(t.sample, c.position, c.frames, c.rate, c.looping), c.next)
            << c.name;
}

TEST(CSamplePlay, SampleMadeAtAnotherRate)
{
    auto factory = std::make_unique<CSampleFactory>(5000, 4);
    CSample* sample = StoreRamp(*factory, 2000);
    sample->SetSampleRate(44100.0);
    std::array<float, 16> left{}, right{};
    // 44100 / 48000 = 0.91875 frames per output frame: frame i of a ramp reads i * 0.91875.
    EXPECT_NEAR(sample->Play(0.0, left.data(), right.data(), 16, 1.0, false, 48000.0), 14.7, 1e-12);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(left[i], i * 0.91875, 1e-5) << i;
    sample->SetSampleRate(0.0); // unknown: no correction
    EXPECT_EQ(sample->SkipSamples(0.0, 1000, 1.0, false, 48000.0), 1000.0);
    sample->SetNeverLoop(true); // stops at its end although looping is asked
    EXPECT_EQ(sample->Play(1999.0, left.data(), right.data(), 2, 1.0, true, 48000.0), -1.0);
}

TEST(CSamplePlay, NoArgumentReadsOutsideTheSample)
{
    // 7 frames of ones between runs of 1000 (ASan guards the pool's ends).
    auto factory = std::make_unique<CSampleFactory>(16, 4);
    StoreFrames(*factory, std::vector<float>(5, 1000.0f));
    CSample* sample = StoreFrames(*factory, std::vector<float>(7, 1.0f));
    StoreFrames(*factory, std::vector<float>(4, 1000.0f));
    const double positions[] = {-1.0, 0.0,  4.99, 5.0,   std::nextafter(5.0, 6.0),
                                11.5, 12.0, 15.9, 1e300, -1e300,
                                kNaN, kInf, -kInf};
    const double rates[] = {0.0, 1e-9, -2e-15, 0.37,  -0.37,  1.0,  -1.0, 6.5,  -6.5,
                            7.0, -7.0, 40.3,   1e300, -1e300, kNaN, kInf, -kInf};
    std::mt19937 random(1234);
    double position = -1.0;
    std::array<float, 16> left, right;
    for (int round = 0; round < 20000; ++round)
    {
        left.fill(kUntouched);
        right.fill(-kUntouched);
        if (random() % 4 == 0) position = positions[random() % std::size(positions)];
        const double rate = rates[random() % std::size(rates)];
        const bool looping = random() % 2 == 0;
        const bool skip = random() % 7 == 0; // a skip leaves a position outside as it is
        position = skip ? factory->SkipSamples(sample, position, random() % 100, rate, looping)
                        : factory->GetSamples(sample, position, left.data(), right.data(),
                                              static_cast<int>(random() % 19) - 2, rate, looping);
        ASSERT_TRUE(skip || position == -1.0 || (position >= 5.0 && position < 12.0)) << position;
        for (int i = 0; i < 16; ++i)
            ASSERT_TRUE(left[i] == -right[i] &&
                        (left[i] == kUntouched || left[i] == 1.0f || left[i] == 0.0f))
                << "round " << round << " frame " << i << ": " << left[i];
    }
    // Empty, foreign, null and released samples play nothing.
    auto other = std::make_unique<CSampleFactory>(100, 2);
    for (CSample* s : {factory->NewSample(), StoreRamp(*other, 50), static_cast<CSample*>(nullptr)})
        EXPECT_EQ(factory->GetSamples(s, 0.0, left.data(), right.data(), 4, 1.0, true), -1.0);
    sample->Release();
    EXPECT_EQ(factory->SkipSamples(sample, 0.0, 4, 1.0, true), -1.0);
}

TEST(CSampleFactory, CompactionSlotReuseAndRecordingPastTheCapacity)
{
    auto f = std::make_unique<CSampleFactory>(100, 8);
    CSample* a = StoreRamp(*f, 3, 100.0f);
    CSample* b = StoreRamp(*f, 4, 200.0f);
    CSample* c = StoreRamp(*f, 5, 300.0f);
    a->Release(); // b (3 ... 6) and c (7 ... 11) move down by a's 3 frames
    ExpectRun(b, 0, 4);
    ExpectRun(c, 4, 5);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(f->Right()[i], -(i < 4 ? 200.0f + i : 296.0f + i)) << i;
    a->Release(); // a stray release of a free slot changes nothing
    EXPECT_EQ(f->Fill(), 9);
    EXPECT_EQ(f->NewSample(), a); // the lowest free slot, with its index
    EXPECT_EQ(a->Index(), 0);
    for (int i = 3; i < 8; ++i)
        EXPECT_EQ(f->NewSample()->Index(), i);
    b->Retain();
    b->Release();
    EXPECT_EQ(f->NewSample(), nullptr); // b keeps one holder
    const std::vector<float> more(100, 1.0f);
    EXPECT_FALSE(c->Record(more.data(), more.data(), 95)); // 9 + 95 > 100: 91 fit
    ExpectRun(c, 4, 96);
    EXPECT_EQ(f->SetSamples(c, more.data(), more.data(), 1), 0);
    EXPECT_FALSE(a->Record(more.data(), more.data(), 1));
}

TEST(CSampleFactory, SmoothSampleFadesFiftyFramesAtEachEndFromOneHundredFrames)
{
    auto f = std::make_unique<CSampleFactory>(1000, 4);
    f->SmoothSample(StoreFrames(*f, std::vector<float>(99, 1.0f)));
    EXPECT_EQ(std::vector<float>(f->Left(), f->Left() + 99), std::vector<float>(99, 1.0f));
    f->SmoothSample(StoreFrames(*f, std::vector<float>(100, 1.0f)));
    for (int k = 0; k < 50; ++k) // gain k * 0.02: 0 at the ends, 0.98 on frames 49 and 50
    {
        EXPECT_EQ(f->Left()[99 + k], static_cast<float>(k * 0.02)) << k;
        EXPECT_EQ(f->Right()[99 + 99 - k], -static_cast<float>(k * 0.02)) << k;
    }
}

TEST(CSampleFactory, LiveRingWrapsAndCopiesAcrossTheWrap)
{
    auto f = std::make_unique<CSampleFactory>(500000, 4);
    std::vector<float> stream(kRing + 10); // frame k carries k and lands at k mod 384000
    std::iota(stream.begin(), stream.end(), 0.0f);
    f->RecordLive(stream.data(), stream.data(), kRing - 10);
    f->RecordLive(&stream[kRing - 10], &stream[kRing - 10], 20);
    EXPECT_EQ(f->LivePos(), 10);
    EXPECT_EQ(f->LiveLeft()[9], static_cast<float>(kRing + 9));
    f->SetBarStart(kRing - 1); // one frame ahead of the write position: all but one frame
    EXPECT_EQ(f->BarStart(), 11);
    StoreRamp(*f, 7);
    CSample* s = f->NewSample();
    f->CopyLiveBuffer(s);
    ExpectRun(s, 7, kRing - 1); // ring 11 ... 383999 then 0 ... 9: stream frames 11 onward
    EXPECT_EQ(std::vector<float>(f->Left() + 7, f->Left() + 7 + kRing - 1),
              std::vector<float>(stream.begin() + 11, stream.end()));
    f->CopyLiveBuffer(s); // a sample that has frames is not overwritten
    ExpectRun(s, 7, kRing - 1);
    for (const auto& [ago, at] : {std::pair{0, 10}, {kRing + 5, 5}, {-3, 13}})
    {
        f->SetBarStart(ago); // whole ring lengths fold away
        EXPECT_EQ(f->BarStart(), at) << ago;
    }
    f->ResetLiveBuffer();
    EXPECT_EQ(f->LivePos() + f->LiveLeft()[3], 0.0f);
}

TEST(CSampleFactory, CopyLiveBufferStopsAtTheCapacityAndBadArgumentsChangeNothing)
{
    auto f = std::make_unique<CSampleFactory>(30, 4);
    StoreRamp(*f, 5);
    f->SetBarStart(kRing - 1); // 383999 frames wanted, 25 fit
    CSample* s = f->NewSample();
    f->CopyLiveBuffer(s);
    ExpectRun(s, 5, 25);
    EXPECT_EQ(f->GetSample(-1), nullptr);
    EXPECT_EQ(f->GetSample(4), nullptr);
    f->RecordLive(nullptr, nullptr, 10);
    f->RecordLive(f->Left(), f->Left(), -10);
    EXPECT_EQ(f->LivePos(), 0);
    f->SmoothSample(nullptr);
    f->CopyLiveBuffer(nullptr);
    EXPECT_EQ(f->SetSamples(f->GetSample(3), f->Left(), f->Left(), 2), 0); // a free slot
    EXPECT_EQ(std::make_unique<CSampleFactory>(-5, -1)->NewSample(), nullptr);
}
