// The envelope, the voice and the voicer: ramps, sync modes, tempo following and the age
// ranking of the voices.
#include "samples/CVoicer.h"
#include "samples/CKeyInfo.h"

#include "SampleTestUtil.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <vector>

namespace
{
// 1 / (0.03f * 44100) = 1 / 1322.99997 per frame, from the attack time for both ramps.
constexpr double kInc = 1.0 / (0.03f * 44100.0);

struct VoicerFixture
{
    std::unique_ptr<CSampleFactory> factory = std::make_unique<CSampleFactory>(100000, 8);
    std::array<CKeyInfo, 20> keys;
    CVoicer voicer{16};
    std::array<float, 64> left{}, right{};

    explicit VoicerFixture(double tempo = 120.0)
    {
        // Every key holds the same sample of 0.5 (right -0.5).
        CSample* s = StoreFrames(*factory, std::vector<float>(20000, 0.5f));
        s->SetTempo(tempo);
        for (CKeyInfo& key : keys)
            key.SetSample(s);
        s->Release();
    }
    void Start(int k, float gain = 1.0f) // now: the next sync carries the start out
    {
        ASSERT_TRUE(voicer.StartNote(&keys[k], 0, gain));
        voicer.Sync(-1);
    }
    bool Play(int frames) { return voicer.Play(left.data(), right.data(), frames, true, 1.0); }
    const CVoice* VoiceOf(int k) const
    {
        for (int i = 0; i < voicer.NumVoices(); ++i)
            if (voicer.Voice(i).Note() == &keys[k]) return &voicer.Voice(i);
        return nullptr;
    }
    // The nonzero ranks are exactly 1 ... Top(), each once, and only used voices are ranked.
    void ExpectRanking() const
    {
        std::vector<int> seen(static_cast<size_t>(voicer.Top()) + 1, 0);
        for (int i = 0; i < voicer.NumVoices(); ++i)
        {
            const int p = voicer.Priority(i);
            ASSERT_TRUE(p >= 0 && p <= voicer.Top()) << p;
            EXPECT_EQ(p != 0, voicer.Voice(i).Used()) << "voice " << i;
            ++seen[static_cast<size_t>(p)];
        }
        for (int r = 1; r <= voicer.Top(); ++r)
            EXPECT_EQ(seen[static_cast<size_t>(r)], 1) << "rank " << r;
    }
};
} // namespace

TEST(CADSR, RampsTakeTheAttackTimeAndTheReleaseReportsInItsLastCall)
{
    CADSR env;
    env.SetStage(CADSR::kAttack);
    std::array<float, 16> left, right;
    left.fill(1.0f);
    right.fill(-2.0f);
    // The level rises before each frame is multiplied: frame 0 carries one increment.
    env.GetSamples(left.data(), right.data(), 2, 44100.0);
    EXPECT_FLOAT_EQ(left[0], static_cast<float>(kInc));
    EXPECT_FLOAT_EQ(right[1], static_cast<float>(-4.0 * kInc));
    EXPECT_EQ(left[2], 1.0f);
    // 1323 * kInc = 1.00000002 exactly, but the float sum ends at 0.9999896 after 1323 frames
    // and reaches full level on frame 1324.
    for (int i = 2; i < 1323; ++i)
        env.GetSamples(left.data(), right.data(), 1, 44100.0);
    EXPECT_EQ(env.Stage(), CADSR::kAttack);
    env.GetSamples(left.data(), right.data(), 1, 44100.0);
    EXPECT_EQ(env.Stage(), CADSR::kSustain);
    EXPECT_EQ(env.Level(), 1.0f);
    // Down the same 1324 steps in 16-frame calls: frame 1324 is frame 11 of call 83.
    env.SetStage(CADSR::kRelease);
    for (int call = 1; call <= 83; ++call)
    {
        left.fill(1.0f);
        ASSERT_EQ(env.GetSamples(left.data(), right.data(), 16, 44100.0), call == 83) << call;
    }
    EXPECT_GT(left[10], 0.0f);
    EXPECT_EQ(left[11], 0.0f);
    EXPECT_EQ(env.Stage(), CADSR::kIdle);
    EXPECT_FALSE(env.GetSamples(nullptr, right.data(), 16, 44100.0));
}

TEST(CVoice, SyncModesActOnTheirBeats)
{
    struct Case
    {
        int mode;
        std::vector<int> ignored;
        int acting;
    };
    const Case cases[] = {{2, {1, 2, -1, 3}, 0}, {1, {-1}, 3}, {1, {}, 0}, {0, {}, -1}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " on " << c.acting);
        VoicerFixture t;
        CVoice voice;
        voice.SetNote(&t.keys[0], 1.0f);
        for (const bool start : {true, false})
        {
            start ? voice.StartPlaying(c.mode) : voice.StopPlaying(c.mode);
            const CADSR::EStage before = voice.Envelope().Stage();
            for (const int beat : c.ignored)
                voice.Sync(beat);
            EXPECT_EQ(voice.Envelope().Stage(), before);
            voice.Sync(c.acting);
            EXPECT_EQ(voice.Envelope().Stage(), start ? CADSR::kAttack : CADSR::kRelease);
            EXPECT_TRUE(t.keys[0].IsPlaying()); // until the release has run out
        }
    }
}

TEST(CVoice, TempoFollowingStretchesTheSampleAndTakesThePitchBack)
{
    for (const auto& [tempo, host, position, shift] :
         {std::tuple{100.0, 120.0, 9.6, 2.5}, std::tuple{-1.0, 90.0, 8.0, 3.0},
          std::tuple{100.0, 0.0, 8.0, 3.0}})
    {
        SCOPED_TRACE(testing::Message() << tempo << " bpm at " << host);
        VoicerFixture t(tempo);
        CVoice voice;
        t.keys[0].SetPitchShift(2.0);
        voice.SetNote(&t.keys[0], 1.0f);
        t.keys[0].SetLegatoShift(1.5);
        voice.StartPlaying(0);
        voice.Sync(-1);
        // Speed 0.5 x 120 / 100 = 0.6 frames per frame over 16 frames: 9.6; the shifter at
        // pitch 2 x legato 1.5 / 1.2 = 2.5.  No sample or host tempo: 0.5 x 16, 2 x 1.5.
        voice.Play(t.left.data(), t.right.data(), 16, true, 0.5, host, 44100.0);
        EXPECT_NEAR(t.keys[0].Position(), position, 1e-9);
        EXPECT_DOUBLE_EQ(voice.Shifter().Shift(), shift);
    }
}

TEST(CVoicer, SeventeenthStartStealsTheOldestVoiceAndTheRanksStayOneToSixteen)
{
    VoicerFixture t;
    for (int k = 0; k < 16; ++k)
        t.Start(k);
    for (const int bad : {0, -3, 17})
        t.voicer.RemovePriority(bad), t.voicer.MoveToTop(bad);
    t.ExpectRanking();
    t.Start(16); // key 0 had rank 1: its voice 0 plays key 16, newest, from silence
    EXPECT_EQ(t.VoiceOf(0), nullptr);
    EXPECT_EQ(t.VoiceOf(16), &t.voicer.Voice(0));
    EXPECT_EQ(t.voicer.Voice(0).Envelope().Level(), 0.0f);
    EXPECT_EQ(t.voicer.Priority(0), 16);
    EXPECT_EQ(t.voicer.Priority(1), 1);
    t.ExpectRanking();
    t.voicer.MoveToTop(2); // voice 2 becomes the newest; ranks 3 ... 16 move down
    EXPECT_EQ(t.voicer.Priority(2), 16);
    EXPECT_EQ(t.voicer.Priority(0), 15);
    t.voicer.RemovePriority(1); // frees voice 1, which GetSlot offers a new key
    EXPECT_EQ(t.voicer.GetSlot(&t.keys[18]), 1);
    EXPECT_EQ(t.voicer.GetSlot(&t.keys[3]), 3);
    t.ExpectRanking();
    CKeyInfo empty;
    EXPECT_FALSE(t.voicer.StartNote(&empty, 0, 1.0f)); // no sample, no voice
    EXPECT_FALSE(CVoicer(0).StartNote(&t.keys[0], 0, 1.0f));
}

TEST(CVoicer, RestartingAReleasingKeyRisesFromItsLevel)
{
    VoicerFixture t;
    t.Start(0);
    t.Start(1);
    for (int i = 0; i < 22; ++i) // 1408 frames: past the 1324 of the attack
        t.Play(64);
    t.voicer.StopNote(&t.keys[0], 0);
    t.voicer.Sync(-1);
    t.Play(64);
    t.Play(36);
    // 100 frames of release from 1: 1 - 100 / 1322.99997, as a float sum 0.92441535.
    EXPECT_FLOAT_EQ(t.voicer.Voice(0).Envelope().Level(), 0.92441535f);
    t.Start(0, 0.5f);
    EXPECT_EQ(t.VoiceOf(0), &t.voicer.Voice(0));
    EXPECT_EQ(t.voicer.Priority(0), 2); // newest
    t.ExpectRanking();
    t.Play(16); // 16 increments more: 0.93650889
    EXPECT_FLOAT_EQ(t.voicer.Voice(0).Envelope().Level(), 0.93650889f);
}

TEST(CVoicer, PlayMixesTheVoicesFreesThoseThatEndAndAllNotesOffFreesEveryOne)
{
    VoicerFixture t;
    t.left.fill(1.0f);
    EXPECT_FALSE(t.Play(64)); // no voice in use: the buffers are untouched
    EXPECT_EQ(t.left[63], 1.0f);
    t.Start(0, 0.5f);
    t.Start(1, 0.25f);
    EXPECT_TRUE(t.Play(20));
    for (int i : {0, 15, 19}) // 1 + 0.5 x (0.5 + 0.25) x (i + 1) increments
        EXPECT_NEAR(t.left[i], 1.0 + 0.5 * 0.75 * (i + 1) * kInc, 1e-6) << i;
    EXPECT_EQ(t.left[20], 1.0f);
    t.voicer.StopNote(&t.keys[0], 0);
    t.voicer.Sync(-1);
    t.Play(32); // key 0 falls back from 20 increments within 20 frames
    EXPECT_EQ(t.VoiceOf(0), nullptr);
    EXPECT_EQ(t.voicer.Top(), 1);
    t.voicer.AllNotesOff();
    EXPECT_EQ(t.voicer.Top(), 0);
    t.ExpectRanking();
}

TEST(CVoicer, KeysThatEndByThemselvesReleaseTheirVoices)
{
    // A sample without tempo stops the moment a stop is asked for; a one-shot runs out.
    for (const bool oneShot : {false, true})
    {
        SCOPED_TRACE(oneShot ? "one-shot" : "no tempo");
        VoicerFixture t(oneShot ? 120.0 : -1.0);
        CSample* shortOne = StoreFrames(*t.factory, std::vector<float>(100, 0.5f));
        if (oneShot) t.keys[0].SetSample(shortOne);
        shortOne->Release();
        t.Start(0);
        for (int i = 0; i < 128; ++i)
            t.voicer.Play(t.left.data(), t.right.data(), 16, false, 1.0);
        if (!oneShot) t.voicer.StopNote(&t.keys[0], 1); // would wait for a beat
        EXPECT_FALSE(t.keys[0].IsPlaying());
        for (int i = 0; i < 84; ++i) // the 1324 frames of a full release
            t.voicer.Play(t.left.data(), t.right.data(), 16, false, 1.0);
        EXPECT_EQ(t.voicer.Top(), 0);
        EXPECT_TRUE(t.voicer.IsSilent());
    }
}
