// The clock's sync queries and starting and stopping notes in step with the beat or bar.
// 48 kHz at 120 bpm: a beat is 48000 × 60 / 120 = 24000 frames, a 4-beat bar 96000.

#include "integration/CTovaProbe.h"
#include "integration/TovaHost.h"

#include <gtest/gtest.h>

namespace
{
class TovaSync : public ::testing::Test
{
protected:
    TovaSync() : host(48000), probe(host.Tova()) { probe.GiveSample(60, 200000, 0.5f, 120.0); }

    // Places the engine at a beat with the transport running, then starts key 60.
    void StartAt(double beat, float playbackSync)
    {
        host.Set(kTovaParam_PlaybackSync, playbackSync);
        probe.IsPlaying() = true;
        probe.Beat() = beat;
        host.Tova().StartNoteInSync(60, 1.0f, -1);
    }
    const CVoice& Voice60()
    {
        return probe.Voicer(0).Voice(probe.Voicer(0).GetSlot(&probe.Key(60)));
    }

    TovaHost host;
    CTovaProbe probe;
};
} // namespace

TEST_F(TovaSync, AStoppedHostSyncsNothing)
{
    host.Set(kTovaParam_RecordSync, 2);
    host.Set(kTovaParam_PlaybackSync, 3);
    EXPECT_EQ(0, host.Tova().RecordInSync());
    EXPECT_EQ(0, host.Tova().PlayInSync());
    probe.IsPlaying() = true;
    EXPECT_EQ(2, host.Tova().RecordInSync());
    EXPECT_EQ(3, host.Tova().PlayInSync());
    host.Set(kTovaParam_PlaybackSync, 1.49f); // rounded to the nearest mode
    EXPECT_EQ(1, host.Tova().PlayInSync());
}

TEST_F(TovaSync, ToBeatCatchesUpInTheFirstHalfAndWaitsInTheSecond)
{
    StartAt(2.3, 1);
    EXPECT_EQ(0, Voice60().SyncMode()); // at once
    // 24000 − trunc((1 − 0.3) × 24000) = 24000 − 16800 = 7200 frames = 0.3 beat.
    EXPECT_EQ(7200, probe.Key(60).Skip());

    host.Tova().AllNotesOff();
    probe.Key(60).SkipSamples(-probe.Key(60).Skip());
    StartAt(2.7, 1);
    EXPECT_EQ(1, Voice60().SyncMode()); // at the next beat
    EXPECT_EQ(0, probe.Key(60).Skip());
}

TEST_F(TovaSync, ToBarCatchesUpInTheFirstHalfAndWaitsInTheSecond)
{
    StartAt(1.5, 2);
    EXPECT_EQ(0, Voice60().SyncMode());
    // 96000 − trunc((4 − 1.5) × 24000) = 96000 − 60000 = 36000 frames = 1.5 beats.
    EXPECT_EQ(36000, probe.Key(60).Skip());

    host.Tova().AllNotesOff();
    probe.Key(60).SkipSamples(-probe.Key(60).Skip());
    StartAt(2.5, 2);
    EXPECT_EQ(2, Voice60().SyncMode());
}

TEST_F(TovaSync, NoteOffWaitsUnlessWithinAFifthOfTheBeat)
{
    StartAt(3.0, 1);
    probe.Beat() = 3.1;
    host.Tova().StopNoteInSync(60, -1);
    EXPECT_EQ(0, Voice60().SyncMode()); // 0.1 beat late: at once
    EXPECT_TRUE(probe.Key(60).ShouldStop());

    StartAt(3.0, 1);
    probe.Beat() = 3.3;
    host.Tova().StopNoteInSync(60, -1);
    EXPECT_EQ(1, Voice60().SyncMode()); // 0.3 beat late: at beat 4

    host.Set(kTovaParam_PlaybackSync, 2);
    probe.Beat() = 0.1;
    host.Tova().StopNoteInSync(60, -1);
    EXPECT_EQ(0, Voice60().SyncMode());
    probe.Beat() = 0.3;
    host.Tova().StopNoteInSync(60, -1);
    EXPECT_EQ(2, Voice60().SyncMode());
}

TEST_F(TovaSync, AsRecordedUsesTheSampleSync)
{
    probe.Key(60).Sample()->SetSync(2);
    StartAt(2.5, 3);
    EXPECT_EQ(2, Voice60().SyncMode());
}

TEST_F(TovaSync, DigiValueStartsEighthsOfABarIn)
{
    host.Set(kTovaParam_DigiValue, 4); // "1/2"
    StartAt(0.0, 0);
    // 96000 × 4 × 0.125 = 48000 frames: half a bar.
    EXPECT_EQ(48000, probe.Key(60).Skip());

    SCOPED_TRACE("a sample shorter than the skip starts an eighth of a bar before its end");
    probe.GiveSample(61, 30000);
    probe.IsPlaying() = false;
    host.Tova().StartNoteInSync(61, 1.0f, -1);
    // 30000 − 4 × 48000 / 120 × 7.5 = 30000 − 12000.
    EXPECT_EQ(18000, probe.Key(61).Skip());
}

TEST_F(TovaSync, NotesFromMidiStartInStepWithTheHostBeat)
{
    host.Set(kTovaParam_PlaybackSync, 1);
    host.SetPlaying(true);
    host.clock.beat = 2.7;
    host.NoteOn(60);
    ASSERT_EQ(noErr, host.Render(16));
    EXPECT_EQ(1, Voice60().SyncMode());
    EXPECT_FALSE(probe.Key(60).IsPlaying()); // waiting for beat 3
    // 0.3 beat = 7200 frames later the beat ticks.
    ASSERT_EQ(noErr, host.RenderFrames(7200 + 16, 16));
    EXPECT_TRUE(probe.Key(60).IsPlaying());
}

TEST_F(TovaSync, TheBarStartIsMarkedInTheLiveRing)
{
    host.SetPlaying(true);
    ASSERT_EQ(noErr, host.Render(256)); // the transport's start rewinds the ring
    host.clock.beat = 1.5;
    int livePos = probe.Factory().LivePos();
    ASSERT_EQ(noErr, host.Render(256));
    // Beat sync: 12000 frames to the next beat, so the last one was 24000 − 12000 ago.
    EXPECT_EQ((livePos - 12000 + CSampleFactory::kLiveFrames) % CSampleFactory::kLiveFrames,
              probe.Factory().BarStart());

    // 1/128 beat = 187.5 frames ahead, inside this 256-frame buffer: marked 187 frames on.
    host.clock.beat = 1 + 127.0 / 128;
    livePos = probe.Factory().LivePos();
    ASSERT_EQ(noErr, host.Render(256));
    EXPECT_EQ((livePos + 187) % CSampleFactory::kLiveFrames, probe.Factory().BarStart());
}
