#include "samples/CVoicer.h"

#include "samples/CKeyInfo.h"

#include "SampleTestUtil.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <vector>

namespace
{
constexpr float kUntouched = 777.0f;

struct VoicerFixture
{
    std::unique_ptr<CSampleFactory> factory = std::make_unique<CSampleFactory>(100000, 8);
    std::array<CKeyInfo, 20> keys;
    CVoicer voicer{16};
    std::array<float, 64> left{};
    std::array<float, 64> right{};

    VoicerFixture()
    {
        // Every key holds the same constant sample of 0.5 (right -0.5), tempo 120.
        CSample* s = StoreFrames(*factory, std::vector<float>(20000, 0.5f));
        s->SetTempo(120.0);
        for (CKeyInfo& key : keys)
            key.SetSample(s);
        s->Release();
        left.fill(kUntouched);
        right.fill(kUntouched);
    }

    // Starts key k now and lets the voicer's next sync carry the start out.
    void StartNow(int k, float gain = 1.0f)
    {
        ASSERT_TRUE(voicer.StartNote(&keys[k], 0, gain));
        voicer.Sync(-1);
    }

    int VoiceOf(int k) const
    {
        for (int i = 0; i < voicer.NumVoices(); ++i)
        {
            if (voicer.Voice(i).Note() == &keys[k]) return i;
        }
        return -1;
    }
};

// The nonzero ranks are exactly 1 ... Top(), each once, and only used voices are ranked.
void ExpectRanking(const CVoicer& v)
{
    std::vector<int> seen(static_cast<size_t>(v.Top()) + 1, 0);
    for (int i = 0; i < v.NumVoices(); ++i)
    {
        const int p = v.Priority(i);
        ASSERT_GE(p, 0);
        ASSERT_LE(p, v.Top());
        EXPECT_EQ(p != 0, v.Voice(i).Used()) << "voice " << i;
        if (p != 0) ++seen[p];
    }
    for (int r = 1; r <= v.Top(); ++r)
        EXPECT_EQ(seen[r], 1) << "rank " << r;
}
} // namespace

TEST(CVoicer, SeventeenthStartStealsTheOldestVoice)
{
    VoicerFixture t;
    for (int k = 0; k < 16; ++k)
    {
        t.StartNow(k);
        EXPECT_EQ(t.voicer.Top(), k + 1);
        EXPECT_EQ(t.voicer.Priority(k), k + 1);
    }
    ExpectRanking(t.voicer);
    ASSERT_EQ(t.VoiceOf(0), 0);
    EXPECT_TRUE(t.keys[0].IsPlaying());

    t.StartNow(16);
    // Key 0 had rank 1; its voice 0 now plays key 16, newest, and the others moved down.
    EXPECT_EQ(t.VoiceOf(0), -1);
    EXPECT_EQ(t.VoiceOf(16), 0);
    EXPECT_EQ(t.voicer.Top(), 16);
    EXPECT_EQ(t.voicer.Priority(0), 16);
    EXPECT_EQ(t.voicer.Priority(1), 1);
    EXPECT_EQ(t.voicer.Priority(15), 15);
    ExpectRanking(t.voicer);
    // Detached without a release: the new note's envelope starts from silence.
    EXPECT_EQ(t.voicer.Voice(0).Envelope().Stage(), CADSR::kAttack);
    EXPECT_EQ(t.voicer.Voice(0).Envelope().Level(), 0.0f);
}

TEST(CVoicer, RestartingAKeyReusesItsVoice)
{
    VoicerFixture t;
    t.StartNow(0);
    t.StartNow(1);
    // 1400 frames: past the attack of 1324 frames, so both sustain at 1.
    for (int i = 0; i < 22; ++i)
        t.voicer.Play(t.left.data(), t.right.data(), 64, true, 1.0);
    EXPECT_EQ(t.voicer.Voice(0).Envelope().Stage(), CADSR::kSustain);

    t.voicer.StopNote(&t.keys[0], 0);
    t.voicer.Sync(-1);
    EXPECT_EQ(t.voicer.Voice(0).Envelope().Stage(), CADSR::kRelease);
    // 100 frames of release from 1: 1 - 100 / 1322.99997, as a float sum 0.92441535.
    t.voicer.Play(t.left.data(), t.right.data(), 64, true, 1.0);
    t.voicer.Play(t.left.data(), t.right.data(), 36, true, 1.0);
    EXPECT_FLOAT_EQ(t.voicer.Voice(0).Envelope().Level(), 0.92441535f);

    t.StartNow(0, 0.5f);
    EXPECT_EQ(t.VoiceOf(0), 0);
    EXPECT_EQ(t.voicer.Top(), 2);
    EXPECT_EQ(t.voicer.Priority(0), 2); // newest
    EXPECT_EQ(t.voicer.Priority(1), 1);
    ExpectRanking(t.voicer);
    EXPECT_EQ(t.keys[0].Gain(), 0.5f);
    // The envelope was not reset: the attack rises from the release's level, 16 more
    // increments giving 0.93650889.
    EXPECT_EQ(t.voicer.Voice(0).Envelope().Stage(), CADSR::kAttack);
    t.voicer.Play(t.left.data(), t.right.data(), 16, true, 1.0);
    EXPECT_FLOAT_EQ(t.voicer.Voice(0).Envelope().Level(), 0.93650889f);
}

TEST(CVoicer, PlayMixesIntoTheBuffers)
{
    VoicerFixture t;
    {
        SCOPED_TRACE("with no voice in use the buffers are untouched");
        EXPECT_FALSE(t.voicer.Play(t.left.data(), t.right.data(), 64, true, 1.0));
        EXPECT_EQ(t.left[0], kUntouched);
        EXPECT_EQ(t.left[63], kUntouched);
    }
    t.StartNow(0, 0.5f);
    t.StartNow(1, 0.25f);
    t.left.fill(1.0f);
    t.right.fill(1.0f);
    EXPECT_TRUE(t.voicer.Play(t.left.data(), t.right.data(), 20, true, 1.0));
    // Frame i of each voice: 0.5 x attack level (i + 1) / 1322.99997 x gain; together
    // 0.5 x (0.5 + 0.25) x (i + 1) / 1322.99997, added to the 1 already there.
    for (int i : {0, 15, 16, 19})
    {
        SCOPED_TRACE(i);
        const double level = (i + 1) / (0.03f * 44100.0);
        EXPECT_NEAR(t.left[i], 1.0 + 0.5 * 0.75 * level, 1e-6);
        EXPECT_NEAR(t.right[i], 1.0 - 0.5 * 0.75 * level, 1e-6);
    }
    EXPECT_EQ(t.left[20], 1.0f);
    EXPECT_FALSE(t.voicer.IsSilent());
}

TEST(CVoicer, FinishedAndEmptiedVoicesAreFreed)
{
    VoicerFixture t;
    t.StartNow(0);
    t.StartNow(1);
    t.StartNow(2);
    {
        SCOPED_TRACE("a key that lost its sample frees its voice on the next Play");
        t.keys[1].SetSample(nullptr);
        t.voicer.Play(t.left.data(), t.right.data(), 16, true, 1.0);
        EXPECT_EQ(t.VoiceOf(1), -1);
        EXPECT_EQ(t.voicer.Top(), 2);
        ExpectRanking(t.voicer);
    }
    {
        SCOPED_TRACE("a finished release frees the voice; its last chunk is still heard");
        t.voicer.StopNote(&t.keys[0], 0);
        t.voicer.Sync(-1);
        // Attack rose 16 increments; the release comes back down in the next 16 frames.
        t.left.fill(0.0f);
        t.voicer.Play(t.left.data(), t.right.data(), 16, true, 1.0);
        EXPECT_EQ(t.VoiceOf(0), -1);
        EXPECT_EQ(t.voicer.Top(), 1);
        EXPECT_FALSE(t.keys[0].IsPlaying());
        ExpectRanking(t.voicer);
        // Frame 0: key 2 rises to 17 increments, key 0 falls to 15; both read 0.5.
        // Frame 15: key 2 at 32 increments, key 0 silent.
        const double inc = 1.0 / (0.03f * 44100.0);
        EXPECT_NEAR(t.left[0], 0.5 * (17 + 15) * inc, 1e-6);
        EXPECT_NEAR(t.left[15], 0.5 * 32 * inc, 1e-6);
    }
    {
        SCOPED_TRACE("a pending erase frees the voice");
        // The key drops its sample in the first chunk; the voicer frees the voice in the next.
        t.keys[2].SetErasePending(true);
        t.voicer.Play(t.left.data(), t.right.data(), 16, true, 1.0);
        EXPECT_EQ(t.keys[2].Sample(), nullptr);
        EXPECT_EQ(t.voicer.Top(), 1);
        t.voicer.Play(t.left.data(), t.right.data(), 16, true, 1.0);
        EXPECT_EQ(t.voicer.Top(), 0);
        EXPECT_EQ(t.keys[2].Sample(), nullptr);
        EXPECT_TRUE(t.voicer.IsSilent());
    }
}

// Keys that end without a stop at a sync point: a sample without a tempo stops the moment a
// stop is asked for, a one-shot runs out. Their voices must still be released and freed, or
// the voicer would never report silence again (and "Fill" play-thru would stay shut).
TEST(CVoicer, KeysThatEndByThemselvesReleaseTheirVoices)
{
    // At 44100 Hz a full release from level 1 takes 1324 float steps of 1 / (0.03 * 44100).
    constexpr int kReleaseFrames = 1324;
    const auto renderFrames = [](VoicerFixture& t, int frames)
    {
        for (int done = 0; done < frames; done += 16)
            t.voicer.Play(t.left.data(), t.right.data(), 16, false, 1.0);
    };
    {
        SCOPED_TRACE("a sample without a tempo stops at once and its voice is released");
        VoicerFixture t;
        t.keys[0].Sample()->SetTempo(-1.0);
        t.StartNow(0);
        renderFrames(t, 2048);            // attack done: sustain
        t.voicer.StopNote(&t.keys[0], 1); // would wait for a beat, but the key stops now
        EXPECT_FALSE(t.keys[0].IsPlaying());
        t.voicer.Play(t.left.data(), t.right.data(), 16, false, 1.0);
        EXPECT_EQ(t.voicer.Voice(t.VoiceOf(0)).Envelope().Stage(), CADSR::kRelease);
        renderFrames(t, kReleaseFrames);
        EXPECT_EQ(t.VoiceOf(0), -1);
        EXPECT_EQ(t.voicer.Top(), 0);
        EXPECT_TRUE(t.voicer.IsSilent());
    }
    {
        SCOPED_TRACE("a one-shot that runs out while held is released and freed");
        VoicerFixture t;
        CSample* shortOne = StoreFrames(*t.factory, std::vector<float>(100, 0.5f));
        shortOne->SetTempo(120.0);
        t.keys[3].SetSample(shortOne);
        shortOne->Release();
        t.StartNow(3);
        renderFrames(t, 112); // the 100 frames are played out inside this stretch
        EXPECT_FALSE(t.keys[3].IsPlaying());
        renderFrames(t, kReleaseFrames + 16);
        EXPECT_EQ(t.voicer.Top(), 0);
        EXPECT_TRUE(t.voicer.IsSilent());
    }
    {
        SCOPED_TRACE("a key still playing keeps its voice in sustain");
        VoicerFixture t;
        t.StartNow(0);
        renderFrames(t, 4096);
        EXPECT_EQ(t.voicer.Voice(t.VoiceOf(0)).Envelope().Stage(), CADSR::kSustain);
    }
}

TEST(CVoicer, AllNotesOffAndStops)
{
    VoicerFixture t;
    {
        SCOPED_TRACE("a key without a sample gets no voice");
        CKeyInfo empty;
        EXPECT_FALSE(t.voicer.StartNote(&empty, 0, 1.0f));
        EXPECT_FALSE(t.voicer.StartNote(nullptr, 0, 1.0f));
        EXPECT_EQ(t.voicer.Top(), 0);
    }
    for (int k = 0; k < 5; ++k)
        t.StartNow(k);
    t.keys[3].SetLegatoShift(2.0);
    t.StartNow(3);
    EXPECT_EQ(t.keys[3].LegatoShift(), 1.0);
    {
        SCOPED_TRACE("StopNote requests a stop at the given moment");
        EXPECT_TRUE(t.voicer.StopNote(&t.keys[4], 2));
        EXPECT_TRUE(t.keys[4].ShouldStop());
        t.voicer.Sync(1);
        EXPECT_EQ(t.voicer.Voice(t.VoiceOf(4)).Envelope().Stage(), CADSR::kAttack);
        t.voicer.Sync(0);
        EXPECT_EQ(t.voicer.Voice(t.VoiceOf(4)).Envelope().Stage(), CADSR::kRelease);
    }
    t.voicer.AllNotesOff();
    EXPECT_EQ(t.voicer.Top(), 0);
    for (int i = 0; i < t.voicer.NumVoices(); ++i)
    {
        EXPECT_FALSE(t.voicer.Voice(i).Used());
        EXPECT_EQ(t.voicer.Priority(i), 0);
    }
    EXPECT_TRUE(t.voicer.IsSilent());
    EXPECT_FALSE(t.voicer.Play(t.left.data(), t.right.data(), 64, true, 1.0));
    EXPECT_EQ(t.left[0], kUntouched);
}

TEST(CVoicer, RankingEdges)
{
    VoicerFixture t;
    for (int k = 0; k < 4; ++k)
        t.StartNow(k);
    t.voicer.RemovePriority(0);
    t.voicer.RemovePriority(-3);
    t.voicer.RemovePriority(9);
    EXPECT_EQ(t.voicer.Top(), 4);
    t.voicer.MoveToTop(0);
    t.voicer.MoveToTop(9);
    ExpectRanking(t.voicer);
    // Rank 2 (key 1) becomes the newest; ranks 3 and 4 move down.
    t.voicer.MoveToTop(2);
    EXPECT_EQ(t.voicer.Priority(1), 4);
    EXPECT_EQ(t.voicer.Priority(2), 2);
    EXPECT_EQ(t.voicer.Priority(3), 3);
    ExpectRanking(t.voicer);
    // Removing rank 1 (key 0) frees its voice, which GetSlot offers first to a new key.
    t.voicer.RemovePriority(1);
    EXPECT_EQ(t.voicer.GetSlot(&t.keys[10]), 0);
    EXPECT_EQ(t.voicer.GetSlot(&t.keys[2]), 2);
    ExpectRanking(t.voicer);
    {
        SCOPED_TRACE("a voicer without voices never starts a note");
        CVoicer none(0);
        EXPECT_FALSE(none.StartNote(&t.keys[0], 0, 1.0f));
        EXPECT_EQ(none.Top(), 0);
    }
}
