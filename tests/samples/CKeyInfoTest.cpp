#include "samples/CKeyInfo.h"

#include "SampleTestUtil.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <memory>

namespace
{
constexpr float kUntouched = 777.0f;
constexpr double kRate = 44100.0;

struct KeyFixture
{
    std::unique_ptr<CSampleFactory> factory = std::make_unique<CSampleFactory>(100000, 8);
    std::array<float, 64> left{};
    std::array<float, 64> right{};

    KeyFixture()
    {
        left.fill(kUntouched);
        right.fill(kUntouched);
    }

    // A sample the key alone holds: the factory's first reference moves to the key.
    CSample* Give(CKeyInfo& key, int frames, double tempo = 120.0)
    {
        CSample* s = StoreRamp(*factory, frames);
        s->SetTempo(tempo);
        key.SetSample(s);
        s->Release();
        return s;
    }
};
} // namespace

TEST(CKeyInfo, StartAndStopRequests)
{
    KeyFixture t;
    {
        SCOPED_TRACE("without a sample the key cannot start, and the pending start is cleared");
        CKeyInfo key;
        key.SetShouldStart(true);
        EXPECT_FALSE(key.StartPlaying());
        EXPECT_FALSE(key.ShouldStart());
        key.SetShouldStop(true);
        EXPECT_FALSE(key.ShouldStop());
        EXPECT_FALSE(key.Play(t.left.data(), t.right.data(), 16, 1.0, kRate));
        EXPECT_EQ(t.left[0], kUntouched);
    }
    {
        SCOPED_TRACE("a start request clears a stop request");
        CKeyInfo key;
        t.Give(key, 10);
        key.SetShouldStop(true);
        EXPECT_TRUE(key.ShouldStop());
        key.SetShouldStart(true);
        EXPECT_FALSE(key.ShouldStop());
        key.SetShouldStop(true);
        EXPECT_FALSE(key.ShouldStart());
        EXPECT_TRUE(key.StartPlaying());
        EXPECT_EQ(key.Position(), -1.0);
        EXPECT_TRUE(key.StopPlaying());
        EXPECT_FALSE(key.IsPlaying());
        EXPECT_FALSE(key.ShouldStop());
        EXPECT_NE(key.Sample(), nullptr);
    }
    {
        SCOPED_TRACE("a play-all sample ignores stop requests");
        CKeyInfo key;
        t.Give(key, 10)->SetPlayAll(true);
        key.SetShouldStart(true);
        key.StartPlaying();
        key.SetShouldStart(true);
        key.SetShouldStop(true);
        EXPECT_TRUE(key.IsPlaying());
        EXPECT_TRUE(key.ShouldStart());
        EXPECT_FALSE(key.ShouldStop());
    }
    {
        SCOPED_TRACE("a sample made without tempo stops at once, also on SetShouldStop(false)");
        for (bool request : {true, false})
        {
            CKeyInfo key;
            t.Give(key, 10, -1.0);
            key.StartPlaying();
            key.SkipSamples(5);
            key.SetShouldStop(request);
            EXPECT_FALSE(key.IsPlaying());
            EXPECT_FALSE(key.ShouldStop());
            EXPECT_EQ(key.Skip(), 0);
        }
    }
}

TEST(CKeyInfo, PlayRendersInChunksAndEnds)
{
    KeyFixture t;
    CKeyInfo key;
    t.Give(key, 10);
    key.StartPlaying();
    // 10 frames fill chunk 0 up to frame 9; the end zeroes 10 ... 15 of that chunk and no
    // further chunk is rendered.
    EXPECT_FALSE(key.Play(t.left.data(), t.right.data(), 64, 1.0, kRate));
    for (int i = 0; i < 64; ++i)
    {
        SCOPED_TRACE(i);
        const float expected = i < 10 ? static_cast<float>(i) : i < 16 ? 0.0f : kUntouched;
        EXPECT_EQ(t.left[i], expected);
    }
    EXPECT_FALSE(key.IsPlaying());
    EXPECT_EQ(key.Position(), -1.0);
    {
        SCOPED_TRACE("a pending start keeps the key active");
        key.SetShouldStart(true);
        EXPECT_TRUE(key.Play(t.left.data(), t.right.data(), 16, 1.0, kRate));
    }
    {
        SCOPED_TRACE("looping carries across chunks");
        key.SetLooping(true);
        key.StartPlaying();
        EXPECT_TRUE(key.Play(t.left.data(), t.right.data(), 25, 1.0, kRate));
        // Frame 24 is sample frame 24 mod 10 = 4; the next position is 25 mod 10 = 5.
        EXPECT_EQ(t.left[24], 4.0f);
        EXPECT_EQ(key.Position(), 5.0);
    }
}

TEST(CKeyInfo, SkipAdvancesBeforeRendering)
{
    KeyFixture t;
    CKeyInfo key;
    CSample* s = t.Give(key, 1000);
    {
        SCOPED_TRACE("a skip of 100 at rate 1 starts 100 frames in");
        key.StartPlaying();
        key.SkipSamples(60);
        key.SkipSamples(40);
        EXPECT_TRUE(key.Play(t.left.data(), t.right.data(), 4, 1.0, kRate));
        EXPECT_EQ(t.left[0], 100.0f);
        EXPECT_EQ(t.left[3], 103.0f);
        EXPECT_EQ(key.Skip(), 0);
    }
    {
        SCOPED_TRACE("a skip is dropped while the key is not playing");
        key.StopPlaying();
        key.SkipSamples(100);
        EXPECT_FALSE(key.Play(t.left.data(), t.right.data(), 1, 1.0, kRate));
        EXPECT_EQ(t.left[0], 100.0f); // the stopped key rendered nothing
        EXPECT_EQ(key.Skip(), 0);
    }
    {
        SCOPED_TRACE("a skip past the end of a non-looping sample ends it");
        key.StartPlaying();
        key.SkipSamples(1000);
        EXPECT_FALSE(key.Play(t.left.data(), t.right.data(), 4, 1.0, kRate));
        EXPECT_FALSE(key.IsPlaying());
    }
    {
        SCOPED_TRACE("a 44100 Hz sample at 48000 Hz: 1000 output frames are 918.75 frames");
        s->SetSampleRate(44100.0);
        key.StartPlaying();
        key.SkipSamples(1000);
        key.Play(t.left.data(), t.right.data(), 1, 1.0, 48000.0);
        EXPECT_NEAR(t.left[0], 918.75f, 1e-4f);
    }
    {
        SCOPED_TRACE("the skip count saturates instead of overflowing");
        key.SkipSamples(std::numeric_limits<int>::max());
        key.SkipSamples(std::numeric_limits<int>::max());
        EXPECT_EQ(key.Skip(), std::numeric_limits<int32_t>::max());
    }
}

TEST(CKeyInfo, SampleExchangeAndReferences)
{
    KeyFixture t;
    CSample* s = StoreRamp(*t.factory, 10);
    s->SetTempo(120.0);
    {
        CKeyInfo a;
        a.SetSample(s);
        EXPECT_EQ(s->RefCount(), 2);
        a.SetPitchShift(2.0);
        a.SetSpeed(0.5);
        a.SetErasePending(true);
        {
            SCOPED_TRACE("setting the same sample keeps pitch and speed, clears the erase");
            a.SetSample(s);
            EXPECT_EQ(s->RefCount(), 2);
            EXPECT_EQ(a.PitchShift(), 2.0);
            EXPECT_EQ(a.Speed(), 0.5);
            EXPECT_FALSE(a.ErasePending());
        }
        {
            SCOPED_TRACE("assignment copies the sample and settings, not the play state");
            a.SetAutomatic(true);
            a.SetLooping(true);
            a.SetLegatoShift(1.5);
            a.SetGain(0.25f);
            a.SkipSamples(7);
            a.SetShouldStart(true);
            a.StartPlaying();
            a.SetShouldStart(true);
            CKeyInfo b;
            b = a;
            EXPECT_EQ(s->RefCount(), 3);
            EXPECT_EQ(b.Sample(), s);
            EXPECT_EQ(b.PitchShift(), 2.0);
            EXPECT_TRUE(b.Automatic() && b.Looping());
            EXPECT_EQ(b.Skip(), 7);
            EXPECT_EQ(b.LegatoShift(), 1.0);
            EXPECT_EQ(b.Gain(), 1.0f);
            EXPECT_FALSE(b.IsPlaying() || b.ShouldStart());
            const CKeyInfo& same = b;
            b = same;
            EXPECT_EQ(s->RefCount(), 3);
            EXPECT_EQ(b.Sample(), s);
        }
        EXPECT_EQ(s->RefCount(), 2); // b's destructor released its reference
        {
            SCOPED_TRACE("another sample: the old one is released, playback stops");
            CSample* other = StoreRamp(*t.factory, 5);
            a.SetSample(other);
            other->Release();
            EXPECT_EQ(s->RefCount(), 1);
            EXPECT_EQ(other->RefCount(), 1);
            EXPECT_FALSE(a.IsPlaying());
            EXPECT_EQ(a.PitchShift(), 1.0);
            EXPECT_EQ(a.Speed(), 1.0);
            EXPECT_EQ(a.Skip(), 0);
        }
    }
    {
        SCOPED_TRACE("Reset drops the sample without releasing it");
        CKeyInfo c;
        c.SetSample(s);
        c.SetPitchShift(3.0);
        c.SetAutomatic(true);
        c.SetGain(0.5f);
        c.Reset();
        EXPECT_EQ(c.Sample(), nullptr);
        EXPECT_EQ(s->RefCount(), 2);
        EXPECT_EQ(c.PitchShift(), 1.0);
        EXPECT_FALSE(c.Automatic());
        EXPECT_EQ(c.Gain(), 0.5f);
        s->Release();
    }
    EXPECT_EQ(s->RefCount(), 1);
}

TEST(CKeyInfo, ErasePendingCompletesOnPlay)
{
    KeyFixture t;
    CKeyInfo key;
    CSample* s = t.Give(key, 10);
    key.StartPlaying();
    key.SetErasePending(true);
    EXPECT_FALSE(key.Play(t.left.data(), t.right.data(), 16, 1.0, kRate));
    EXPECT_EQ(key.Sample(), nullptr);
    EXPECT_FALSE(key.ErasePending());
    EXPECT_FALSE(key.IsPlaying());
    EXPECT_FALSE(s->IsUsed()); // the key held the last reference
    EXPECT_EQ(t.factory->Fill(), 0);
    EXPECT_EQ(t.left[0], kUntouched);
}
