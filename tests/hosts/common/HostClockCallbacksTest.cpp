#include "hosts/common/HostClockCallbacks.h"

#include <gtest/gtest.h>

namespace
{
struct Transport
{
    OSStatus status = 0;
    Boolean playing = 0;
    Boolean changed = 0;
    Float64 frame = -1;
};

Transport AskTransport(const HostCallbackInfo& callbacks)
{
    Transport t;
    Boolean cycling = 1;
    Float64 start = -1;
    Float64 end = -1;
    t.status = callbacks.transportStateProc(callbacks.hostUserData, &t.playing, &t.changed,
                                            &t.frame, &cycling, &start, &end);
    return t;
}
} // namespace

TEST(HostClockCallbacks, SteadyBarsGiveTheNextBeatAndTheStartOfTheBar)
{
    HostClockCallbacks clock;
    const HostCallbackInfo callbacks = clock.Callbacks();
    struct Case
    {
        double beat, tempo, beatsPerBar, frameRate;
        UInt32 toNextBeat;
        double downBeat;
    };
    // Half a beat at 120 bpm and 48 kHz: 0.5 × 60 × 48000 / 120 = 12000 frames; bar 2 of
    // 4/4 starts at beat 8. On a beat the next is 0 frames away. A quarter beat at 97 bpm and
    // 44.1 kHz: 0.25 × 60 × 44100 / 97 = 6819.6, rounded to 6820; 7/8 bars: 13.75 lies in the
    // bar from 7.
    for (const Case& c : {Case{9.5, 120, 4, 48000, 12000, 8}, Case{12, 120, 4, 48000, 0, 12},
                          Case{13.75, 97, 7, 44100, 6820, 7}})
    {
        SCOPED_TRACE(c.beat);
        clock.SetMusical(
            HostClockCallbacks::Steady(c.beat, c.tempo, c.beatsPerBar, 8, c.frameRate));
        Float64 beat = -1;
        Float64 tempo = -1;
        ASSERT_EQ(noErr, callbacks.beatAndTempoProc(callbacks.hostUserData, &beat, &tempo));
        EXPECT_EQ(c.beat, beat);
        EXPECT_EQ(c.tempo, tempo);
        UInt32 toNextBeat = 1;
        Float32 numerator = 0;
        UInt32 denominator = 0;
        Float64 downBeat = -1;
        ASSERT_EQ(noErr, callbacks.musicalTimeLocationProc(callbacks.hostUserData, &toNextBeat,
                                                           &numerator, &denominator, &downBeat));
        EXPECT_EQ(c.toNextBeat, toNextBeat);
        EXPECT_EQ(static_cast<Float32>(c.beatsPerBar), numerator);
        EXPECT_EQ(8u, denominator);
        EXPECT_EQ(c.downBeat, downBeat);
    }
}

// Until a host sets its values each callback fails as a missing one would, so that the unit
// keeps its own clock; a change is a playing state other than the one last answered.
TEST(HostClockCallbacks, EachCallbackFailsUntilSetAndChangesAreReportedOnce)
{
    for (const bool playingBefore : {false, true})
    {
        SCOPED_TRACE(playingBefore);
        HostClockCallbacks clock(playingBefore);
        const HostCallbackInfo callbacks = clock.Callbacks();
        Float64 beat = 0;
        Float64 tempo = 0;
        EXPECT_EQ(kAudioUnitErr_CannotDoInCurrentContext, AskTransport(callbacks).status);
        EXPECT_EQ(kAudioUnitErr_CannotDoInCurrentContext,
                  callbacks.musicalTimeLocationProc(callbacks.hostUserData, nullptr, nullptr,
                                                    nullptr, nullptr));
        clock.SetTransport(true, 256);
        Transport t = AskTransport(callbacks);
        EXPECT_EQ(noErr, t.status);
        EXPECT_TRUE(t.playing);
        EXPECT_EQ(!playingBefore, t.changed != 0);
        EXPECT_EQ(256.0, t.frame);
        EXPECT_FALSE(AskTransport(callbacks).changed); // asked again: no change
        clock.SetTransport(false, 512);
        t = AskTransport(callbacks);
        EXPECT_FALSE(t.playing);
        EXPECT_TRUE(t.changed);
        EXPECT_EQ(512.0, t.frame);

        EXPECT_EQ(kAudioUnitErr_CannotDoInCurrentContext,
                  callbacks.beatAndTempoProc(callbacks.hostUserData, &beat, &tempo));
        clock.SetMusical(HostClockCallbacks::Steady(1, 120, 4, 4, 48000));
        EXPECT_EQ(noErr, callbacks.beatAndTempoProc(callbacks.hostUserData, &beat, &tempo));
        clock.ClearMusical();
        EXPECT_EQ(kAudioUnitErr_CannotDoInCurrentContext,
                  callbacks.beatAndTempoProc(callbacks.hostUserData, &beat, &tempo));
    }
}
