#include "samples/CVoice.h"

#include "samples/CKeyInfo.h"

#include "SampleTestUtil.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <vector>

namespace
{
constexpr double kRate = 44100.0;

struct VoiceFixture
{
    std::unique_ptr<CSampleFactory> factory = std::make_unique<CSampleFactory>(100000, 8);
    CKeyInfo key;
    CVoice voice;
    std::array<float, 16> left{};
    std::array<float, 16> right{};

    explicit VoiceFixture(double tempo = 120.0, int frames = 10000)
    {
        CSample* s = StoreRamp(*factory, frames);
        s->SetTempo(tempo);
        key.SetSample(s);
        s->Release();
    }

    bool Play(double speed = 1.0, double tempo = 120.0, bool looping = true)
    {
        return voice.Play(left.data(), right.data(), 16, looping, speed, tempo, kRate);
    }
};
} // namespace

TEST(CVoice, SyncModesActOnTheirBeats)
{
    struct Case
    {
        int mode;
        std::vector<int> ignored;
        int acting;
    };
    const Case cases[] = {
        {2, {1, 2, -1, 3}, 0}, {1, {-1}, 3}, {1, {}, 0}, {0, {}, -1}, {0, {}, 5},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE("mode " + std::to_string(c.mode) + " acting on " + std::to_string(c.acting));
        VoiceFixture t;
        t.voice.SetNote(&t.key, 1.0f);
        t.voice.StartPlaying(c.mode);
        EXPECT_TRUE(t.key.ShouldStart());
        for (int beat : c.ignored)
        {
            t.voice.Sync(beat);
            EXPECT_FALSE(t.key.IsPlaying()) << "started on " << beat;
            EXPECT_EQ(t.voice.Envelope().Stage(), CADSR::kIdle);
        }
        t.voice.Sync(c.acting);
        EXPECT_TRUE(t.key.IsPlaying());
        EXPECT_FALSE(t.key.ShouldStart());
        EXPECT_EQ(t.voice.Envelope().Stage(), CADSR::kAttack);

        // The stop waits for the same kind of moment and starts the release.
        t.voice.StopPlaying(c.mode);
        EXPECT_TRUE(t.key.ShouldStop());
        for (int beat : c.ignored)
            t.voice.Sync(beat);
        EXPECT_EQ(t.voice.Envelope().Stage(), CADSR::kAttack);
        t.voice.Sync(c.acting);
        EXPECT_EQ(t.voice.Envelope().Stage(), CADSR::kRelease);
        EXPECT_FALSE(t.key.ShouldStop());
        EXPECT_TRUE(t.key.IsPlaying()); // until the release has finished
    }
}

TEST(CVoice, TempoFollowing)
{
    {
        SCOPED_TRACE("a 100 bpm sample at 120 bpm plays at 1.2 x speed, pitch taken back");
        VoiceFixture t(100.0);
        t.key.SetPitchShift(2.0);
        t.voice.SetNote(&t.key, 1.0f);
        t.key.SetLegatoShift(1.5);
        t.voice.StartPlaying(0);
        t.voice.Sync(-1);
        EXPECT_TRUE(t.Play(0.5, 120.0));
        // Rate 0.5 * 120 / 100 = 0.6 per frame: 16 frames advance 9.6.
        EXPECT_NEAR(t.key.Position(), 9.6, 1e-9);
        // 2.0 * 1.5 / 1.2 = 2.5.
        EXPECT_DOUBLE_EQ(t.voice.Shifter().Shift(), 2.5);
    }
    {
        SCOPED_TRACE("a sample without tempo is never stretched");
        VoiceFixture t(-1.0);
        t.voice.SetNote(&t.key, 1.0f);
        t.voice.StartPlaying(0);
        t.voice.Sync(-1);
        t.Play(1.0, 90.0);
        EXPECT_EQ(t.key.Position(), 16.0);
        EXPECT_EQ(t.voice.Shifter().Shift(), 1.0);
    }
    {
        SCOPED_TRACE("the same tempo, or no host tempo: ratio 1");
        for (double host : {100.0, 0.0})
        {
            VoiceFixture t(100.0);
            t.voice.SetNote(&t.key, 1.0f);
            t.voice.StartPlaying(0);
            t.voice.Sync(-1);
            t.Play(1.0, host);
            EXPECT_EQ(t.key.Position(), 16.0);
        }
    }
}

TEST(CVoice, PlayShapesAndScales)
{
    VoiceFixture t(120.0);
    t.voice.SetNote(&t.key, 0.5f);
    EXPECT_EQ(t.key.Gain(), 0.5f);
    {
        SCOPED_TRACE("assigned but not started: silent, cleared buffers, start pending");
        t.left.fill(9.0f);
        t.voice.StartPlaying(1);
        EXPECT_TRUE(t.voice.IsSilent());
        EXPECT_TRUE(t.Play());
        EXPECT_EQ(t.left[0], 0.0f);
        EXPECT_EQ(t.left[15], 0.0f);
    }
    {
        SCOPED_TRACE("sounding: frame i is ramp value i x attack level x gain");
        t.voice.Sync(2);
        EXPECT_FALSE(t.voice.IsSilent());
        EXPECT_TRUE(t.Play());
        // The shifter passes its input in bypass; frame 3 reads 3, the level after four
        // increments is 4 / (0.03f * 44100), the gain 0.5.
        const double inc = 1.0 / (0.03f * 44100.0);
        EXPECT_NEAR(t.left[3], 3.0 * 4.0 * inc * 0.5, 1e-6);
        EXPECT_NEAR(t.right[3], -3.0 * 4.0 * inc * 0.5, 1e-6);
    }
    {
        SCOPED_TRACE("a pending erase ends the voice");
        t.key.SetErasePending(true);
        EXPECT_FALSE(t.voice.Play(t.left.data(), t.right.data(), 0, true, 1.0, 120.0, kRate));
        EXPECT_NE(t.key.Sample(), nullptr);
        t.key.SetErasePending(false);
    }
    {
        SCOPED_TRACE("the call in which the release ends returns false and stops the key");
        t.voice.StopPlaying(0);
        t.voice.Sync(-1);
        // 16 frames of attack rose to 16 increments (0.0120937); the same 16 steps down
        // reach 0 on the last frame of the next call.
        EXPECT_TRUE(t.key.IsPlaying());
        EXPECT_FALSE(t.Play());
        EXPECT_EQ(t.left[15], 0.0f);
        EXPECT_GT(t.left[14], 0.0f);
        EXPECT_FALSE(t.key.IsPlaying());
        EXPECT_EQ(t.voice.Envelope().Stage(), CADSR::kIdle);
        EXPECT_TRUE(t.voice.IsSilent());
    }
    {
        SCOPED_TRACE("a free voice ignores every call and leaves the buffers alone");
        CVoice free;
        free.StartPlaying(0);
        free.StopPlaying(0);
        free.Sync(0);
        t.left.fill(3.0f);
        EXPECT_FALSE(free.Play(t.left.data(), t.right.data(), 16, true, 1.0, 120.0, kRate));
        EXPECT_EQ(t.left[0], 3.0f);
        EXPECT_TRUE(free.IsSilent());
    }
}

TEST(CVoice, KeySkipCarriesIntoTheFirstBlock)
{
    VoiceFixture t;
    t.voice.SetNote(&t.key, 1.0f);
    t.key.SkipSamples(100);
    t.voice.StartPlaying(0);
    EXPECT_EQ(t.key.Skip(), 100);
    t.voice.Sync(-1);
    t.Play();
    // Output starts 100 frames in, at one increment of level: 100 / (0.03f * 44100).
    EXPECT_NEAR(t.left[0], 100.0 / (0.03f * 44100.0), 1e-5);
    EXPECT_EQ(t.key.Skip(), 0);
}
