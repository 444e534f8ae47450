// Recording scenarios played through the host API: MIDI notes at frame positions, a host clock,
// a known input signal, and the recorded frames compared with the input they came from.
//
// 48 kHz at 120 bpm: a beat is 48000 × 60 / 120 = 24000 frames, a 4-beat bar 96000. Blocks of
// 375 frames are 1/64 beat, so the host's beat at the start of each call is exact.

#include "integration/CTovaProbe.h"
#include "integration/ParameterListener.h"
#include "integration/RecordedFrames.h"
#include "integration/TovaHost.h"

#include "samples/CSample.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
constexpr double kRate = 48000;
constexpr int kBeat = 24000;
constexpr int kBar = 4 * kBeat;
constexpr UInt32 kBlock = 375;
constexpr std::size_t kInputFrames = 400000;
constexpr UInt8 kKey = 62;

class RecordingScenario : public ::testing::Test
{
protected:
    RecordingScenario() : host(kRate), probe(host.Tova())
    {
        CTova::SetLearnDefaults();
        Feed(Loud(kInputFrames));
        host.Set(kTovaParam_Recording, 1);
    }

    void Feed(TovaHost::Stereo signal)
    {
        input = signal.left;
        host.SetInput(std::move(signal));
    }
    void PlayFromBeat(double beat)
    {
        host.clock.beat = beat;
        host.SetPlaying(true);
    }
    void RenderTo(double frame) { ASSERT_EQ(noErr, host.RenderTo(frame, kBlock)); }

    // Key's sample holds the input from frame first on, faded in from silence.
    void ExpectRecordedFrom(int key, std::size_t first)
    {
        EXPECT_EQ(0, DifferingFrames(probe, key, input, first));
        const CSample* sample = probe.Key(key).Sample();
        ASSERT_NE(nullptr, sample);
        EXPECT_EQ(0.0f, probe.Factory().Left()[sample->Start()]);
    }

    TovaHost host;
    CTovaProbe probe;
    std::vector<float> input;
};
} // namespace

TEST_F(RecordingScenario, ToBeatStopInTheFirstHalfOfABeatCutsToWholeBeatsAtOnce)
{
    PlayFromBeat(0);
    host.NoteOn(kKey); // delivered in the first sub-block, recording from the next
    RenderTo(55200);   // 2.3 beats
    EXPECT_EQ(kKey, probe.RecordKey());
    host.NoteOff(kKey);
    RenderTo(55200 + kBlock);
    EXPECT_EQ(-1, probe.RecordKey());
    // Frames 0 … 55215 (the head from the beat mark at 0 via the live ring): trunc(55216 /
    // 24000) = 2 beats.
    EXPECT_EQ(2 * kBeat, probe.Key(kKey).Size());
    EXPECT_EQ(1, probe.Key(kKey).Sample()->Sync());
    EXPECT_FALSE(probe.Key(kKey).Automatic());
    ExpectRecordedFrom(kKey, 0);
}

TEST_F(RecordingScenario, ToBeatStopInTheSecondHalfWaitsForTheNextBeat)
{
    PlayFromBeat(0);
    host.NoteOn(kKey);
    RenderTo(64800); // 2.7 beats
    host.NoteOff(kKey);
    RenderTo(3 * kBeat - kBlock);
    EXPECT_EQ(kKey, probe.RecordKey());
    EXPECT_EQ(kKey, probe.PendingStop());
    RenderTo(3 * kBeat + kBlock);
    EXPECT_EQ(-1, probe.RecordKey());
    EXPECT_EQ(-1, probe.PendingStop());
    EXPECT_EQ(3 * kBeat, probe.Key(kKey).Size());
    ExpectRecordedFrom(kKey, 0);
}

TEST_F(RecordingScenario, ToBeatStopWithLessThanABeatRecordedIsRetriedUntilOneBeatExists)
{
    PlayFromBeat(0);
    host.NoteOn(kKey);
    RenderTo(7200); // 0.3 beat
    host.NoteOff(kKey);
    RenderTo(10800); // 0.45 beat: tried in every sub-block, under one beat each time
    EXPECT_EQ(kKey, probe.RecordKey());
    EXPECT_EQ(kKey, probe.PendingStop());
    EXPECT_EQ(nullptr, probe.Key(kKey).Sample());
    RenderTo(kBeat - kBlock); // the second half waits
    EXPECT_EQ(kKey, probe.RecordKey());
    RenderTo(kBeat + kBlock);
    EXPECT_EQ(-1, probe.RecordKey());
    EXPECT_EQ(kBeat, probe.Key(kKey).Size());
    ExpectRecordedFrom(kKey, 0);
}

TEST_F(RecordingScenario, WithTheHostStoppedEveryRequestIsImmediateAndNothingIsCut)
{
    host.Set(kTovaParam_RecordSync, 2); // "To Bar", but the transport does not run
    host.NoteOn(kKey);
    RenderTo(1000);
    host.NoteOff(kKey);
    RenderTo(1000 + kBlock);
    // Started in the second sub-block (frame 16), the note off was delivered in the first
    // sub-block of the call at 1000 and the stop came with the next: frames 16 … 1015.
    EXPECT_EQ(1000, probe.Key(kKey).Size());
    EXPECT_EQ(0, probe.Key(kKey).Sample()->Sync());
    ExpectRecordedFrom(kKey, 16);
}

TEST_F(RecordingScenario, NoSyncStaysArmedInSilenceUntilAFrameExceedsTheThreshold)
{
    TovaHost::Stereo signal = Loud(kInputFrames);
    const float threshold = std::exp2(-8.0f); // the default "Threshold"
    for (std::size_t i = 0; i < 4321; ++i)
        signal.left[i] = signal.right[i] = 0.0f;
    signal.left[3000] = threshold; // at the threshold is not above it
    signal.right[3001] = -threshold;
    signal.right[4321] = 0.01f; // the first frame above it, on one channel
    signal.left[4321] = 0.0f;
    Feed(std::move(signal));
    host.Set(kTovaParam_RecordSync, 0);
    PlayFromBeat(0); // the transport runs, but "No Sync" does not wait for it

    host.NoteOn(kKey);
    RenderTo(4320);
    EXPECT_EQ(kKey, probe.RecordKey()); // armed
    ASSERT_NE(nullptr, probe.RecordSample());
    EXPECT_EQ(0, probe.RecordSample()->Size());
    RenderTo(5000);
    EXPECT_EQ(5000 - 4321, probe.RecordSample()->Size());
    host.NoteOff(kKey);
    RenderTo(5000 + kBlock);
    EXPECT_EQ(5016 - 4321, probe.Key(kKey).Size()); // frames 4321 … 5015
    ExpectRecordedFrom(kKey, 4321);
}

TEST_F(RecordingScenario, ASyncedStartLateInTheFirstHalfOfABarTakesItsHeadFromTheLiveRing)
{
    host.Set(kTovaParam_RecordSync, 2);
    PlayFromBeat(3); // the bar starts at beat 4, frame 24000
    RenderTo(54000); // beat 5.25: a quarter of a beat … 1.25 beats into the bar
    host.NoteOn(kKey);
    RenderTo(54000 + kBlock);
    EXPECT_EQ(kKey, probe.RecordKey()); // at once: 1.25 / 4 < 0.5
    // The first recorded sub-block brought the ring from the bar mark: 30016 frames.
    EXPECT_EQ(54000 + 375 - 24000, probe.RecordSample()->Size());
    RenderTo(126000); // beat 8.25, early in the next bar: stops at once
    host.NoteOff(kKey);
    RenderTo(126000 + kBlock);
    EXPECT_EQ(-1, probe.RecordKey());
    // Frames 24000 … 126015: trunc(102016 / 96000) = 1 bar.
    EXPECT_EQ(kBar, probe.Key(kKey).Size());
    EXPECT_EQ(2, probe.Key(kKey).Sample()->Sync());
    ExpectRecordedFrom(kKey, 24000);
}

TEST_F(RecordingScenario, ANewRecordingSpreadsUpToTheMidpointTowardsTheNextOwnSample)
{
    CSample* low = probe.GiveSample(48, 1000);
    probe.CopySample(48, 1, 126, true, false); // as its recording would have: keys 1 … 125
    ASSERT_TRUE(probe.Key(60).Automatic());    // so key 60 is free for recording

    host.NoteOn(60);
    RenderTo(1000);
    host.NoteOff(60);
    RenderTo(1000 + kBlock);
    CSample* high = probe.Key(60).Sample();
    ASSERT_NE(low, high);
    EXPECT_FALSE(probe.Key(60).Automatic());
    EXPECT_EQ(1.0, probe.Key(60).PitchShift());
    // Down: the own sample on 48 is 12 keys away, 60 − 12 div 2 = 54. Up: none below 126.
    for (int k = 54; k <= 125; ++k)
    {
        if (k == 60) continue;
        SCOPED_TRACE(k);
        EXPECT_EQ(high, probe.Key(k).Sample());
        EXPECT_TRUE(probe.Key(k).Automatic());
        EXPECT_DOUBLE_EQ(std::exp2((k - 60) / 12.0), probe.Key(k).PitchShift());
    }
    EXPECT_DOUBLE_EQ(0.7071067811865476, probe.Key(54).PitchShift()); // 2^(−6/12)
    for (int k = 49; k <= 53; ++k)
        EXPECT_EQ(low, probe.Key(k).Sample()) << k;
    EXPECT_EQ(nullptr, probe.Key(126).Sample());
    EXPECT_EQ(nullptr, probe.Key(127).Sample());
    EXPECT_EQ(nullptr, probe.Key(0).Sample());
}

TEST_F(RecordingScenario, PressingTheRecordingKeyAgainEndsItWithoutRestarting)
{
    host.NoteOn(kKey);
    RenderTo(1000);
    host.NoteOn(kKey); // a second note on, with the first still held
    RenderTo(1000 + kBlock);
    EXPECT_EQ(-1, probe.RecordKey());
    EXPECT_EQ(-1, probe.PendingStart());
    EXPECT_EQ(1000, probe.Key(kKey).Size()); // frames 16 … 1015, as for a note off
    RenderTo(5000);
    EXPECT_EQ(-1, probe.RecordKey());
    host.NoteOff(kKey);
    RenderTo(5000 + kBlock);
    EXPECT_EQ(1000, probe.Key(kKey).Size());
    EXPECT_EQ(1000, probe.Factory().Fill());
}

TEST_F(RecordingScenario, EraseAllWhileRenderingEmptiesEveryKeyFromTheNextCycleAndDropsTheImport)
{
    probe.GiveSample(40, 5000, 0.5f, 120.0);
    probe.GiveSample(70, 5000, 0.5f, 120.0);
    probe.CopySample(40, 0, 126, true, true);
    probe.CopySample(70, 0, 126, true, true);
    host.Set(kTovaParam_Recording, 0);
    host.NoteOn(60); // a copy of key 70's sample
    RenderTo(kBlock);
    ASSERT_TRUE(probe.Key(60).IsPlaying());
    CSample* import = probe.GiveImport(3000);

    host.Tova().EraseAllSamples();
    EXPECT_NE(nullptr, probe.Key(40).Sample()); // the render thread carries it out
    RenderTo(2 * kBlock);
    for (int k = 0; k < CTova::kNumKeys; ++k)
    {
        SCOPED_TRACE(k);
        EXPECT_EQ(nullptr, probe.Key(k).Sample());
        EXPECT_FALSE(probe.Key(k).IsPlaying());
        EXPECT_FALSE(probe.Key(k).ErasePending());
    }
    EXPECT_EQ(nullptr, probe.ImportSample());
    EXPECT_FALSE(import->IsUsed());
    EXPECT_EQ(0, probe.Factory().Fill());
}

TEST_F(RecordingScenario, RecordingUntilThePoolIsFullKeepsWhatFittedAndSwitchesRecordingOff)
{
    // 9990 frames left: the sub-block that holds frame 9990 fills them and ends the recording.
    probe.GiveSample(30, probe.Factory().Capacity() - 9990);
    ParameterListener listener(host.Unit(), {kTovaParam_Recording, kTovaParam_Autolooper});
    host.Set(kTovaParam_Autolooper, 1);
    RenderTo(9990 + 16 * 4);
    EXPECT_EQ(-1, probe.RecordKey());
    EXPECT_EQ(nullptr, probe.RecordSample());
    EXPECT_EQ(9990, probe.Key(60).Size());
    EXPECT_FALSE(probe.Key(60).IsPlaying()); // no play after record when the pool ran out
    EXPECT_EQ(probe.Factory().Capacity(), probe.Factory().Fill());
    EXPECT_EQ(0.0f, host.Get(kTovaParam_Recording));
    EXPECT_EQ(0.0f, host.Get(kTovaParam_Autolooper));
    const auto& heard = listener.Heard();
    auto last = [&](AudioUnitParameterID id)
    {
        float value = -1;
        for (const auto& [heardId, heardValue] : heard)
            if (heardId == id) value = heardValue;
        return value;
    };
    EXPECT_EQ(0.0f, last(kTovaParam_Recording));
    EXPECT_EQ(0.0f, last(kTovaParam_Autolooper));
}

TEST_F(RecordingScenario, TheAutolooperRecordsOnTheNextFreeKeyAndPlaysTheLoopAsRecorded)
{
    probe.GiveSample(60, 1000); // an own sample: the loop goes to 61
    host.Set(kTovaParam_RecordSync, 2);
    host.Set(kTovaParam_PlaybackSync, 0); // the loop still plays in step with its bar
    PlayFromBeat(0);
    host.Set(kTovaParam_Autolooper, 1);
    RenderTo(kBlock);
    EXPECT_EQ(61, probe.RecordKey());
    EXPECT_EQ(61, probe.PriorKey());
    EXPECT_EQ(1.0f, host.Get(kTovaParam_Recording));
    RenderTo(102000); // beat 4.25, early in the second bar
    host.Set(kTovaParam_Autolooper, 0);
    RenderTo(102000 + kBlock);
    EXPECT_EQ(-1, probe.RecordKey());
    EXPECT_EQ(0.0f, host.Get(kTovaParam_Recording));
    EXPECT_EQ(kBar, probe.Key(61).Size()); // trunc(102000 / 96000) bars
    EXPECT_EQ(2, probe.Key(61).Sample()->Sync());
    // "As Recorded": in step with the bar, started late by 0.25 beat, so it skipped 96000 −
    // trunc(3.75 × 24000) = 6000 frames and has played one block since.
    EXPECT_TRUE(probe.Key(61).IsPlaying());
    const double played = probe.Key(61).Position() - probe.Key(61).Sample()->Start();
    EXPECT_GE(played, 6000);
    EXPECT_LE(played, 6000 + kBlock);
    EXPECT_EQ(0, probe.HeldCount()); // the loop is not a held note
}

TEST_F(RecordingScenario, SwitchingTheAutolooperOnWhileItRecordsEndsTheLoopWithoutAnother)
{
    host.Set(kTovaParam_Autolooper, 1);
    RenderTo(2000);
    ASSERT_EQ(60, probe.RecordKey());
    host.Set(kTovaParam_Autolooper, 1); // key 60 is still free: start and stop name it
    RenderTo(2000 + kBlock);
    EXPECT_EQ(-1, probe.RecordKey());
    EXPECT_EQ(-1, probe.PendingStart());
    EXPECT_EQ(2000, probe.Key(60).Size()); // frames 0 … 1999, the stop at the next cycle
    EXPECT_TRUE(probe.Key(60).IsPlaying());
}

TEST_F(RecordingScenario, StopPriorDiscardsARunningAutoloopAndStopsAPlayingOne)
{
    host.Set(kTovaParam_Autolooper, 1);
    RenderTo(4000);
    ASSERT_EQ(60, probe.RecordKey());
    host.Set(kTovaParam_StopPrior, 1);
    RenderTo(4000 + kBlock);
    host.Set(kTovaParam_StopPrior, 0);
    EXPECT_EQ(-1, probe.RecordKey());
    EXPECT_EQ(0.0f, host.Get(kTovaParam_Autolooper));
    for (int k = 0; k < CTova::kNumKeys; ++k)
        ASSERT_EQ(nullptr, probe.Key(k).Sample()) << k;
    EXPECT_EQ(0, probe.Factory().Fill());

    // A finished loop that plays is stopped at once.
    host.Set(kTovaParam_Autolooper, 1);
    RenderTo(8000);
    host.Set(kTovaParam_Autolooper, 0);
    RenderTo(8000 + kBlock);
    ASSERT_TRUE(probe.Key(60).IsPlaying());
    EXPECT_EQ(60, probe.PriorKey());
    host.Set(kTovaParam_StopPrior, 1);
    RenderTo(8000 + 2 * kBlock);
    host.Set(kTovaParam_StopPrior, 0);
    EXPECT_EQ(-1, probe.PriorKey());
    RenderTo(20000); // past the release
    EXPECT_FALSE(probe.Key(60).IsPlaying());
    EXPECT_NE(nullptr, probe.Key(60).Sample()); // the loop itself stays
}

TEST_F(RecordingScenario, ADiscardedAutoloopGivesItsKeysBackToTheRemainingSamples)
{
    CSample* own = probe.GiveSample(40, 1000);
    probe.CopySample(40, 1, 126, true, false); // keys 1 … 125
    host.Set(kTovaParam_Autolooper, 1);
    RenderTo(4000);
    ASSERT_EQ(60, probe.RecordKey()); // an automatic copy is free for recording
    host.Set(kTovaParam_StopPrior, 1);
    RenderTo(4000 + kBlock);
    host.Set(kTovaParam_StopPrior, 0);
    // Refilled from key 40 with respect for own samples: keys 0 … 125.
    for (int k = 0; k <= 125; ++k)
    {
        SCOPED_TRACE(k);
        EXPECT_EQ(own, probe.Key(k).Sample());
        EXPECT_EQ(k != 40, probe.Key(k).Automatic());
    }
    EXPECT_DOUBLE_EQ(4.0, probe.Key(64).PitchShift()); // 2^(24/12)
    EXPECT_EQ(1000, probe.Factory().Fill());
}
