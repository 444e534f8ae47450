#include "samples/CKeyInfo.h"

#include "SampleTestUtil.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <memory>

TEST(CKeyInfo, StopSkipAndEndRules)
{
    auto factory = std::make_unique<CSampleFactory>(100000, 8);
    std::array<CKeyInfo, 4> keys;
    for (int k = 0; k < 4; ++k) // ramps of 10 frames (key 3: 1000) the keys alone hold
    {
        CSample* s = StoreRamp(*factory, k == 3 ? 1000 : 10);
        s->SetTempo(k == 0 ? -1.0 : 120.0);
        s->SetPlayAll(k == 1);
        keys[k].SetSample(s);
        s->Release();
        keys[k].StartPlaying();
    }
    keys[0].SkipSamples(5);
    keys[0].SetShouldStop(false); // no tempo: stops at once, on any stop request
    EXPECT_FALSE(keys[0].IsPlaying() || keys[0].ShouldStop());
    EXPECT_EQ(keys[0].Skip(), 0);
    keys[1].SetShouldStop(true); // play-all ignores stop requests
    EXPECT_TRUE(keys[1].IsPlaying() && !keys[1].ShouldStop());

    std::array<float, 64> left, right;
    left.fill(7.0f);
    // 10 frames end in the first 16-frame chunk: zeros to its end, no further chunk rendered.
    EXPECT_FALSE(keys[2].Play(left.data(), right.data(), 64, 1.0, 44100.0));
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(left[i], i < 10 ? static_cast<float>(i) : i < 16 ? 0.0f : 7.0f) << i;
    EXPECT_FALSE(keys[2].IsPlaying());
    keys[2].SetLooping(true); // looping carries across chunks: frame 24 reads 24 mod 10
    keys[2].StartPlaying();
    EXPECT_TRUE(keys[2].Play(left.data(), right.data(), 25, 1.0, 44100.0));
    EXPECT_EQ(left[24], 4.0f);
    EXPECT_EQ(keys[2].Position(), keys[2].Sample()->Start() + 5.0);

    CKeyInfo& key = keys[3]; // 1000 frames
    key.SkipSamples(60);
    key.SkipSamples(40);
    key.Play(left.data(), right.data(), 4, 1.0, 44100.0);
    EXPECT_EQ(left[0], 100.0f); // 100 frames in
    EXPECT_EQ(key.Skip(), 0);
    key.StopPlaying();
    key.SkipSamples(100); // dropped while the key is not playing
    EXPECT_FALSE(key.Play(left.data(), right.data(), 1, 1.0, 44100.0));
    EXPECT_EQ(key.Skip(), 0);
    key.Sample()->SetSampleRate(44100.0); // at 48000 Hz 1000 frames advance 918.75
    key.StartPlaying();
    key.SkipSamples(1000);
    key.Play(left.data(), right.data(), 1, 1.0, 48000.0);
    EXPECT_NEAR(left[0], 918.75f, 1e-4f);
    key.SkipSamples(std::numeric_limits<int>::max());
    key.SkipSamples(std::numeric_limits<int>::max());
    EXPECT_EQ(key.Skip(), std::numeric_limits<int32_t>::max()); // saturates
}

TEST(CKeyInfo, ReferenceCountsThroughAssignmentExchangeResetAndErase)
{
    auto factory = std::make_unique<CSampleFactory>(1000, 8);
    CSample* s = StoreRamp(*factory, 10);
    s->SetTempo(120.0);
    auto a = std::make_unique<CKeyInfo>();
    a->SetSample(s);
    a->SetPitchShift(2.0);
    a->SetLegatoShift(1.5);
    a->SkipSamples(7);
    a->StartPlaying();
    a->SetSample(s); // the same sample again: nothing changes
    EXPECT_EQ(s->RefCount(), 2);
    EXPECT_EQ(a->PitchShift(), 2.0);
    {
        CKeyInfo b;
        b = *a; // the sample and settings, not the play state
        b = static_cast<const CKeyInfo&>(b);
        EXPECT_EQ(s->RefCount(), 3);
        EXPECT_EQ(b.Sample(), s);
        EXPECT_EQ(b.PitchShift() + b.Skip() + b.LegatoShift(), 2.0 + 7 + 1.0);
        EXPECT_FALSE(b.IsPlaying());
    }
    EXPECT_EQ(s->RefCount(), 2);
    CSample* other = StoreRamp(*factory, 5);
    a->SetSample(other); // the old one is released, playback stops, settings reset
    other->Release();
    EXPECT_EQ(s->RefCount(), 1);
    EXPECT_FALSE(a->IsPlaying());
    EXPECT_EQ(a->PitchShift(), 1.0);
    a.reset();
    EXPECT_FALSE(other->IsUsed());
    CKeyInfo c;
    c.SetSample(s);
    c.Reset(); // drops the sample without releasing it
    EXPECT_EQ(c.Sample(), nullptr);
    EXPECT_EQ(s->RefCount(), 2);
    s->Release();
    c.SetSample(s);
    s->Release();
    c.StartPlaying();
    c.SetErasePending(true); // the next Play lets go of the last reference
    std::array<float, 16> left{}, right{};
    EXPECT_FALSE(c.Play(left.data(), right.data(), 16, 1.0, 44100.0));
    EXPECT_EQ(c.Sample(), nullptr);
    EXPECT_FALSE(c.ErasePending());
    EXPECT_EQ(factory->Fill(), 0);
}
