// Keys, the envelope, the voice and the voicer: stop and skip rules, reference counts, ramps,
// sync modes, tempo following, the age ranking of the voices, and render work that never
// touches the heap.
#include "samples/CVoicer.h"
#include "samples/CKeyInfo.h"

#include "SampleTestUtil.h"
#include "support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <numeric>
#include <tuple>
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
        CSample* s = StoreRamp(*factory, 20000, 0.5f, 0.0f);
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
    // The used voices hold the ranks 1 ... Top() once each, the free ones 0.
    void ExpectRanking() const
    {
        std::vector<int> used, unused, expected(static_cast<std::size_t>(voicer.Top()));
        for (int i = 0; i < voicer.NumVoices(); ++i)
            (voicer.Voice(i).Used() ? used : unused).push_back(voicer.Priority(i));
        std::sort(used.begin(), used.end());
        std::iota(expected.begin(), expected.end(), 1);
        EXPECT_EQ(used, expected);
        EXPECT_EQ(unused, std::vector<int>(unused.size(), 0));
    }
};
} // namespace

TEST(CADSR, RampsTakeTheAttackTimeAndTheReleaseReportsInItsLastCall)
{
    CADSR env;
    env.SetStage(CADSR::kAttack);
    std::array<float, 16> left, right;
    left.fill(1.0f);
    env.GetSamples(left.data(), right.data(), 1, 44100.0); // raised, then multiplied
    EXPECT_FLOAT_EQ(left[0], static_cast<float>(kInc));
    // 1323 * kInc = 1.00000002 exactly, but the float sum ends at 0.9999896 after 1323 frames
    // and reaches full level on frame 1324.
    for (int i = 1; i < 1323; ++i)
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
}

TEST(CVoice, SyncModesActOnTheirBeats)
{
    for (const auto& [mode, ignored, acting] :
         {std::tuple{2, std::vector{1, 2, -1, 3}, 0}, std::tuple{1, std::vector{-1}, 3},
          std::tuple{1, std::vector<int>{}, 0}, std::tuple{0, std::vector<int>{}, -1}})
    {
        SCOPED_TRACE(testing::Message() << "mode " << mode << " on " << acting);
        VoicerFixture t;
        CVoice voice;
        voice.SetNote(&t.keys[0], 1.0f);
        for (const bool start : {true, false})
        {
            start ? voice.StartPlaying(mode) : voice.StopPlaying(mode);
            const CADSR::EStage before = voice.Envelope().Stage();
            for (const int beat : ignored)
                voice.Sync(beat);
            EXPECT_EQ(voice.Envelope().Stage(), before);
            voice.Sync(acting);
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

TEST(CVoicer, SeventeenthStartStealsTheOldestVoiceRanksStayOneToSixteenAllNotesOffFreesAll)
{
    VoicerFixture t;
    for (int k = 0; k < 16; ++k)
        t.Start(k);
    for (const int bad : {0, -3, 17})
        t.voicer.RemovePriority(bad), t.voicer.MoveToTop(bad);
    t.ExpectRanking();
    t.Start(16); // key 0 had rank 1: its voice 0 plays key 16, newest, from silence
    EXPECT_EQ(t.voicer.Voice(0).Note(), &t.keys[16]);
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
    t.voicer.AllNotesOff();
    EXPECT_EQ(t.voicer.Top(), 0);
    t.ExpectRanking();
    EXPECT_FALSE(t.Play(64));
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
    EXPECT_EQ(t.voicer.Voice(0).Note(), &t.keys[0]);
    EXPECT_EQ(t.voicer.Priority(0), 2); // newest
    t.ExpectRanking();
    t.Play(16); // 16 increments more: 0.93650889
    EXPECT_FLOAT_EQ(t.voicer.Voice(0).Envelope().Level(), 0.93650889f);
}

TEST(CVoicer, AVoiceWhoseOneShotRanOutIsReleasedAndFreed)
{
    VoicerFixture t;
    t.Start(0);
    // 20000 frames at rate 1: 312 calls of 64 frames end at frame 19968, still inside; the
    // release ramp of 1324 frames that follows fits in the 21 calls after the 313th.
    const auto play = [&t] { return t.voicer.Play(t.left.data(), t.right.data(), 64, false, 1.0); };
    for (int call = 1; call <= 312; ++call)
        ASSERT_TRUE(play()) << call;
    bool active = true;
    for (int call = 313; call <= 334 && active; ++call)
        active = play();
    EXPECT_FALSE(active);
    EXPECT_TRUE(t.voicer.IsSilent());
    EXPECT_FALSE(t.voicer.Voice(0).Used());
    t.ExpectRanking();
}

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
}

TEST(CKeyInfo, ReferenceCountsThroughAssignmentExchangeAndErase)
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
    s->Release(); // c holds the last reference, which an erase lets go of in the next Play
    c.StartPlaying();
    c.SetErasePending(true);
    std::array<float, 16> left{}, right{};
    EXPECT_FALSE(c.Play(left.data(), right.data(), 16, 1.0, 44100.0));
    EXPECT_EQ(c.Sample(), nullptr);
    EXPECT_EQ(factory->Fill(), 0);
}

// The counter replaces the global allocation functions of this whole program.
TEST(SamplesRealTime, RenderWorkDoesNotAllocate)
{
    auto factory = std::make_unique<CSampleFactory>(200000, 64);
    std::array<CKeyInfo, 20> keys;
    auto voicer = std::make_unique<CVoicer>(16);
    const std::vector<float> input(2048, 0.25f);
    std::array<float, 2048> left{}, right{};
    AllocationCounter counter;
    factory->RecordLive(input.data(), input.data(), 2048);
    factory->SetBarStart(1000);
    for (int k = 0; k < 20; ++k)
    {
        CSample* s = factory->NewSample();
        if (k % 2 == 0) factory->CopyLiveBuffer(s);
        s->Record(input.data(), input.data(), 2048);
        factory->TruncateSample(s, 1500);
        factory->SmoothSample(s);
        s->SetTempo(100.0 + k);
        keys[k].SetSample(s);
        keys[k].SetPitchShift(1.0 + 0.05 * k);
        keys[k].SetLooping(true);
        s->Release();
    }
    for (int k = 0; k < 20; ++k)
        voicer->StartNote(&keys[k], k % 3, 0.5f);
    for (int block = 0; block < 50; ++block)
    {
        voicer->Sync(block % 4);
        voicer->Play(left.data(), right.data(), 2048, true, 1.1);
        if (block == 20) voicer->StopNote(&keys[19], 0);
        if (block == 30) keys[5].SetErasePending(true);
    }
    keys[7].SetSample(nullptr); // compaction of a sample in the middle of the pool
    voicer->AllNotesOff();
    factory->ResetLiveBuffer();
    EXPECT_EQ(counter.Count(), 0);
}
