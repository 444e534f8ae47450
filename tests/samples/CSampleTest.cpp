// Sample playback, the pool, its live ring and its preset state: hand-computed frames, the
// optimised playback against its frame-by-frame reference, and states a restore refuses.
#include "dsp/reference/BitExact.h"
#include "platform/cf/CACFDictionary.h"
#include "samples/CSampleFactory.h"

#include "SampleTestUtil.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <numeric>
#include <optional>
#include <random>
#include <tuple>
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
    CSample* filler = StoreRamp(*factory, 3, -5.0f, 0.0f);
    CSample* sample = StoreRamp(*factory, 4, 0.0f, 10.0f);
    std::array<float, 17> left, right;
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

// Where a sample lies in the pool: start, size, last.
std::tuple<int32_t, int32_t, int32_t> Where(const CSample* s)
{
    return {s->Start(), s->Size(), s->Last()};
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
        // Relative 0, 1.5, 3, 0.5, 2, 3.5 (30 + 0.5 * (0 - 30) = 15), 1, 2.5, 0; next 1.5.
        {"rate 1.5 wraps", 3.0, 9, 1.5, true, 4.5, {0, 15, 30, 5, 20, 15, 10, 25, 0}},
        {"rate 9 wraps by two lengths", 3.0, 1, 9.0, true, 4.0, {0}}, // 3 + 9 - 2 * 4
        // Rate 0 counts as backward: 10 + 0.5 * (0 - 10) = 5.
        {"rate 0 holds", 4.5, 3, 0.0, false, 4.5, {5, 5, 5}},
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
        t.left.fill(kUntouched);
        t.right.fill(kUntouched);
        EXPECT_EQ(t.factory->GetSamples(t.sample, c.position, t.left.data(), t.right.data(),
                                        c.frames, c.rate, c.looping),
                  c.next);
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
        {"backward wraps", 4.0, 2, -1.0, true, 6.0}, // 2 + 4
        {"the step runs once for a count below 1", -1.0, 0, 1.0, false, 4.0},
        {"a huge count", -1.0, std::numeric_limits<int>::max(), 1.0, false, -1.0},
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
    sample->SetNeverLoop(true); // stops at its end although looping is asked
    EXPECT_EQ(sample->Play(1999.0, left.data(), right.data(), 2, 1.0, true, 48000.0), -1.0);
}

TEST(CSampleFactory, CompactionSlotReuseAndRecordingPastTheCapacity)
{
    auto f = std::make_unique<CSampleFactory>(100, 8);
    CSample* a = StoreRamp(*f, 3, 100.0f);
    CSample* b = StoreRamp(*f, 4, 200.0f);
    CSample* c = StoreRamp(*f, 5, 300.0f);
    a->Release(); // b (3 ... 6) and c (7 ... 11) move down by a's 3 frames
    EXPECT_EQ(Where(b), std::tuple(0, 4, 3));
    EXPECT_EQ(Where(c), std::tuple(4, 5, 8));
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
    EXPECT_EQ(Where(c), std::tuple(4, 96, 99));
    EXPECT_EQ(f->SetSamples(c, more.data(), more.data(), 1), 0);
    EXPECT_FALSE(a->Record(more.data(), more.data(), 1));
    // Arguments out of range change nothing.
    EXPECT_EQ(f->GetSample(-1), f->GetSample(8));
    EXPECT_EQ(f->GetSample(8), nullptr);
    f->RecordLive(nullptr, nullptr, 10);
    f->RecordLive(f->Left(), f->Left(), -10);
    EXPECT_EQ(f->LivePos(), 0);
    f->SmoothSample(nullptr);
    f->CopyLiveBuffer(nullptr);
    EXPECT_EQ(std::make_unique<CSampleFactory>(-5, -1)->NewSample(), nullptr);
    // Empty, foreign, null and released samples play nothing.
    auto other = std::make_unique<CSampleFactory>(100, 2);
    std::array<float, 4> left{}, right{};
    for (CSample* s : {a, StoreRamp(*other, 50), static_cast<CSample*>(nullptr)})
        EXPECT_EQ(f->GetSamples(s, 0.0, left.data(), right.data(), 4, 1.0, true), -1.0);
    b->Release();
    b->Release();
    EXPECT_EQ(f->SkipSamples(b, 0.0, 4, 1.0, true), -1.0);
}

TEST(CSampleFactory, SmoothSampleFadesFiftyFramesAtEachEndFromOneHundredFrames)
{
    auto f = std::make_unique<CSampleFactory>(1000, 4);
    f->SmoothSample(StoreRamp(*f, 99, 1.0f, 0.0f));
    EXPECT_EQ(std::vector<float>(f->Left(), f->Left() + 99), std::vector<float>(99, 1.0f));
    f->SmoothSample(StoreRamp(*f, 100, 1.0f, 0.0f));
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
    f->SetBarStart(kRing - 1); // one frame ahead of the write position: all but one frame
    EXPECT_EQ(f->BarStart(), 11);
    StoreRamp(*f, 7);
    CSample* s = f->NewSample();
    f->CopyLiveBuffer(s);
    // Ring 11 ... 383999 then 0 ... 9: stream frames 11 onward, after the 7 frames there.
    EXPECT_EQ(Where(s), std::tuple(7, kRing - 1, kRing + 5));
    EXPECT_EQ(std::vector<float>(f->Left() + 7, f->Left() + 7 + kRing - 1),
              std::vector<float>(stream.begin() + 11, stream.end()));
    f->CopyLiveBuffer(s); // a sample that has frames is not overwritten
    EXPECT_EQ(Where(s), std::tuple(7, kRing - 1, kRing + 5));
    for (const auto& [ago, at] : {std::pair{0, 10}, {kRing + 5, 5}, {-3, 13}})
    {
        f->SetBarStart(ago); // whole ring lengths fold away
        EXPECT_EQ(f->BarStart(), at) << ago;
    }
    f->ResetLiveBuffer();
    EXPECT_EQ(f->LivePos() + f->LiveLeft()[3], 0.0f);
    auto small = std::make_unique<CSampleFactory>(30, 4);
    StoreRamp(*small, 5);
    small->SetBarStart(kRing - 1); // 383999 frames wanted, 25 fit
    CSample* part = small->NewSample();
    small->CopyLiveBuffer(part);
    EXPECT_EQ(Where(part), std::tuple(5, 25, 29));
}

namespace reference
{
// Forward playback (a positive finite rate into buffers) as it stood before it was restructured
// for speed: every frame read and the position stepped on before the next.  Everything else, and
// where a render starts, is left to the factory.  Do not optimise.
double GetSamples(CSampleFactory& factory, CSample* sample, double position, float* left,
                  float* right, int frames, double rate, bool looping)
{
    if (!(rate > 0.0 && std::isfinite(rate) && left != nullptr && right != nullptr))
        return factory.GetSamples(sample, position, left, right, frames, rate, looping);
    position = factory.GetSamples(sample, position, left, right, 0, rate, looping);
    if (position < 0.0) return -1.0;
    const float* const L = factory.Left();
    const float* const R = factory.Right();
    const int32_t last = sample->Last();
    for (int i = 0; i < frames; ++i)
    {
        const auto p = static_cast<int32_t>(position);
        int32_t q = p + 1;
        if (q > last) q = looping ? p - sample->Size() + 1 : p;
        const auto f = static_cast<float>(position - p);
        left[i] = L[p] + f * (L[q] - L[p]);
        right[i] = R[p] + f * (R[q] - R[p]);
        position += rate;
        if (position < static_cast<double>(last) + 1.0) continue;
        if (!looping)
        {
            std::fill(left + i + 1, left + frames, 0.0f);
            std::fill(right + i + 1, right + frames, 0.0f);
            return -1.0;
        }
        position -= sample->Size();
        // Entering the loop brings a position still beyond its end back in the same way.
        if (position >= static_cast<double>(last) + 1.0)
            position = factory.GetSamples(sample, position, nullptr, nullptr, 0, rate, true);
    }
    return position;
}
} // namespace reference

TEST(PlaybackReference, RandomPlaybackMatchesBitForBit)
{
    std::mt19937 rng(2024);
    auto factory = std::make_unique<CSampleFactory>(100000, 16);
    std::vector<CSample*> samples;
    for (const int size : {1, 2, 3, 16, 17, 100, 1000, 4321, 30000})
    {
        std::vector<float> left(static_cast<std::size_t>(size)), right = left;
        reference::FillSignal(rng, left.data(), right.data(), size);
        samples.push_back(factory->NewSample());
        samples.back()->Record(left.data(), right.data(), size);
    }
    CSample* sample = nullptr;
    double position = -1.0;
    double rate = 0.0;
    bool looping = false;
    std::array<float, 48> fastL{}, fastR{}, slowL{}, slowR{};
    for (int call = 0; call < 400000; ++call)
    {
        // Mostly a key's steady playback; now and then anything else, edges and beyond.
        if (call % 16 == 0 || position == -1.0)
        {
            sample = samples[rng() % samples.size()];
            std::uniform_real_distribution<double> unit(0.0, 1.0);
            const double u = unit(rng), v = unit(rng), sign = rng() % 2 ? 1.0 : -1.0;
            const double first = sample->Start(), end = sample->Last() + 1.0;
            const double size = sample->Size(), lengths = sign * size * (1 + rng() % 3);
            const double semitones = std::exp2(std::round(48 * v - 24) / 12);
            const double at[] = {first + u * size, -1.0,        first - 1 - u * 1000,
                                 end + u * 37000,  end - 0.001, kNaN};
            const double rates[] = {8 * v - 4,   1.0,  -1.0, 0.0,      lengths,
                                    sign * 1e-9, kInf, kNaN, semitones};
            position = at[rng() % 2 ? 0 : rng() % 6];
            rate = rates[rng() % 2 ? 0 : rng() % 9];
            looping = rng() % 3 != 0;
        }
        constexpr int kFrames[] = {0, 1, 2, 15, 16, 16, 16, 17, 48};
        const int frames = kFrames[rng() % 9];
        for (auto* a : {&fastL, &fastR, &slowL, &slowR})
            a->fill(777.0f);
        const double fast = factory->GetSamples(sample, position, fastL.data(), fastR.data(),
                                                frames, rate, looping);
        const double slow = reference::GetSamples(*factory, sample, position, slowL.data(),
                                                  slowR.data(), frames, rate, looping);
        ASSERT_TRUE(reference::SameBits(fast, slow)) << call << ": " << fast << " for " << slow;
        ASSERT_TRUE(reference::SameBits(fastL.data(), slowL.data(), 48));
        ASSERT_TRUE(reference::SameBits(fastR.data(), slowR.data(), 48));
        position = fast;
    }
}

namespace
{
CACFDictionary Save(const CSampleFactory& pool, const CSample* growing = nullptr)
{
    std::vector<CSampleFactory::SlotState> slots(static_cast<std::size_t>(pool.NumSamples()));
    CACFDictionary d;
    pool.SaveState(d, pool.TakeSnapshot(slots.data(), growing), slots.data());
    return d;
}
} // namespace

TEST(CSampleFactoryState,
     SaveWritesBigEndianFramesAndSlotsRestoreTakesThemAndRefusesMalformedStates)
{
    auto pool = std::make_unique<CSampleFactory>(1000, 4);
    const float left[3] = {1.0f, -2.0f, 0.5f};
    const float right[3] = {0.25f, -0.125f, 3.0f};
    CSample* first = pool->NewSample();
    first->Record(left, right, 3);
    first->SetTempo(120.0);
    first->SetSampleRate(48000.0);
    first->SetSync(2);
    first->SetPlayAll(true);
    CSample* gone = StoreRamp(*pool, 5, 50.0f);
    CSample* third = StoreRamp(*pool, 4, 300.0f);
    gone->Release();                                // third moves down to 3 ... 6
    CSample* recording = StoreRamp(*pool, 2, 9.0f); // slot 1, in progress: left out

    const CACFDictionary d = Save(*pool, recording);
    const CFDictionaryStorage& top = d.GetCFType().AsDictionary();
    // Left frames then right, IEEE-754 single precision big-endian: 1 = 3F800000,
    // -2 = C0000000, 0.5 = 3F000000, 300 = 43960000, 301 = 43968000 ...
    CFDataStorage expected;
    for (const std::uint32_t word : {0x3F800000u, 0xC0000000u, 0x3F000000u, 0x43960000u,
                                     0x43968000u, 0x43970000u, 0x43978000u})
        for (int shift = 24; shift >= 0; shift -= 8)
            expected.push_back(static_cast<std::uint8_t>(word >> shift));
    const CFDataStorage& bytes = top.at("samples").AsData();
    ASSERT_EQ(bytes.size(), 2 * 7 * 4u);
    EXPECT_EQ(CFDataStorage(bytes.begin(), bytes.begin() + 28), expected);
    EXPECT_EQ(top.at("length"), CFType::SInt32(7));
    const CFArrayStorage& slots = top.at("data").AsArray();
    ASSERT_EQ(slots.size(), 4u);
    EXPECT_EQ(slots[0], CFType::Dictionary({{"start", CFType::SInt32(0)},
                                            {"last", CFType::SInt32(2)},
                                            {"size", CFType::SInt32(3)},
                                            {"tempo", CFType::Float64(120.0)},
                                            {"sr", CFType::Float64(48000.0)},
                                            {"sync", CFType::SInt32(2)},
                                            {"neverLoop", CFType::SInt32(0)},
                                            {"playAll", CFType::SInt32(1)}}));
    EXPECT_EQ(slots[1], CFType::Dictionary({{"size", CFType::SInt32(0)}}));
    EXPECT_EQ(slots[3], slots[1]);

    auto restored = std::make_unique<CSampleFactory>(1000, 4);
    StoreRamp(*restored, 50, -7.0f); // replaced wholesale
    std::vector<bool> used;
    ASSERT_TRUE(restored->CanRestore(d, used));
    EXPECT_EQ(used, (std::vector<bool>{true, false, true, false}));
    restored->RestoreState(d);
    EXPECT_EQ(restored->Fill(), 7);
    for (int i = 0; i < 4; ++i)
        EXPECT_FALSE(restored->GetSample(i)->IsUsed()) << "slot " << i << " waits for a key";
    EXPECT_EQ(restored->GetSample(2)->Last(), third->Last());
    EXPECT_TRUE(restored->GetSample(0)->PlayAll());
    EXPECT_EQ(std::vector<float>(restored->Right(), restored->Right() + 7),
              std::vector<float>(pool->Right(), pool->Right() + 7));

    // States that would read or write outside the pool are refused.
    EXPECT_FALSE(std::make_unique<CSampleFactory>(6, 4)->CanRestore(d, used)) << "capacity";
    const CFType shortBytes = CFType::Data(CFDataStorage(bytes.begin(), bytes.end() - 1));
    // {slot (-1: the top level), key, value (none: removed)}
    const std::tuple<int, const char*, std::optional<CFType>> cases[] = {
        {-1, "length", {}},
        {-1, "length", CFType::SInt32(-1)},
        {-1, "length", CFType::String("7")},
        {-1, "samples", {}},
        {-1, "samples", shortBytes},
        {-1, "data", {}},
        {2, "size", CFType::SInt32(5)}, // 3 + 5 past the length
        {0, "size", CFType::SInt32(-10)},
        {0, "start", CFType::SInt32(-1)},
        {0, "last", CFType::SInt32(3)},  // not at the end
        {2, "start", CFType::SInt32(2)}, // overlapping
        {0, "tempo", CFType::Float64(std::nan(""))},
        {0, "size", CFType::Boolean(true)},
    };
    for (const auto& [slot, key, value] : cases)
    {
        CACFDictionary bad = d;
        CFDictionaryStorage& entries = bad.GetCFType().AsDictionary();
        CFDictionaryStorage& entry =
            slot < 0 ? entries
                     : entries.at("data").AsArray()[static_cast<std::size_t>(slot)].AsDictionary();
        if (value)
            entry[key] = *value;
        else
            entry.erase(key);
        EXPECT_FALSE(restored->CanRestore(bad, used)) << slot << " " << key;
    }
}
