// The render cycle and the speed model, driven through the scenario host.

#include "engine/CTovaEntry.h"
#include "integration/CTovaProbe.h"
#include "integration/TovaHost.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
// Counts announcements of the stopped property.
void CountStopped(void* count, AudioUnit, AudioUnitPropertyID id, AudioUnitScope, AudioUnitElement)
{
    if (id == kTovaProperty_Stopped) ++*static_cast<int*>(count);
}

struct Snapshot
{
    double tapeSpeed, beat, lastBeat;
    float scratchPos, scratchVel, lastBo, boMotion;
    bool operator==(const Snapshot&) const = default;
};

Snapshot Take(CTovaProbe& p)
{
    return {p.TapeSpeed(),  p.Beat(),   p.LastBeat(), p.ScratchPos(),
            p.ScratchVel(), p.LastBo(), p.BoMotion()};
}
} // namespace

TEST(TovaRender, SecondBusOfACycleCarriesTheDryInputAndAdvancesNothing)
{
    TovaHost host(48000);
    CTovaProbe probe(host.Tova());
    host.SetInput(TovaHost::Constant(4096, 0.25f));
    host.SetPlaying(true);
    host.clock.beat = 1.25;
    host.Set(kTovaParam_TapeSpeed, 3);     // the tape slews
    host.Set(kTovaParam_Rarorovaz, -0.5f); // the platter moves
    host.Set(kTovaParam_Bo, 0.5f);         // Bo moves
    probe.GiveSample(60, 20000);
    host.NoteOn(60);

    ASSERT_EQ(noErr, host.RenderBus(0, 64));
    const Snapshot afterBus0 = Take(probe);
    EXPECT_GT(afterBus0.tapeSpeed, 1.0);
    EXPECT_GT(afterBus0.scratchVel, 0.0f);
    ASSERT_EQ(noErr, host.RenderBus(1, 64));
    EXPECT_TRUE(afterBus0 == Take(probe));
    for (std::size_t i = 0; i < 64; ++i)
    {
        ASSERT_EQ(0.25f, host.Left(1)[i]) << i;
        ASSERT_EQ(0.25f, host.Right(1)[i]) << i;
    }
    ASSERT_EQ(noErr, host.RenderBus(2, 64));
    EXPECT_EQ(0.0f, host.Left(2)[0]); // no voices and no input on the other buses
    EXPECT_TRUE(afterBus0 == Take(probe));
}

TEST(TovaRender, ThirtySevenFramesAreThreeSubBlocks)
{
    TovaHost host(48000);
    CTovaProbe probe(host.Tova());
    host.Set(kTovaParam_TapeSmoothing, 1);
    host.Set(kTovaParam_TapeSpeed, 2);
    ASSERT_EQ(noErr, host.Render(37));
    // Each sub-block moves the tape 16 / (1 × 48000) = 1/3000, whatever its length: 16, 16, 5.
    EXPECT_DOUBLE_EQ(1.0 + 3.0 / 3000.0, probe.TapeSpeed());
}

TEST(TovaRender, NotesTakeEffectInTheSubBlockThatHoldsTheirOffset)
{
    for (const UInt32 offset : {16u, 17u})
    {
        SCOPED_TRACE(offset);
        TovaHost host(48000);
        CTovaProbe probe(host.Tova());
        host.Set(kTovaParam_PlayThru, 0);
        probe.GiveSample(60, 20000, 0.5f);
        host.NoteOn(60, 100, offset);
        ASSERT_EQ(noErr, host.Render(37));
        // Offset 16 ends the first sub-block (frames 0 … 15), 17 lies in the second.
        const std::size_t first = offset <= 16 ? 0 : 16;
        for (std::size_t i = 0; i < 37; ++i)
            EXPECT_EQ(i >= first, host.Left(0)[i] != 0.0f) << i;
    }
}

TEST(TovaRender, BypassCopiesTheInputSilencesTheRestAndChangesNothing)
{
    TovaHost host(48000);
    CTovaProbe probe(host.Tova());
    host.SetInput(TovaHost::Ramp(256));
    host.Set(kTovaParam_TapeSpeed, 2);
    host.Set(kTovaParam_Rarorovaz, 0);
    host.clock.beat = 1.5;
    host.SetPlaying(true);
    host.SetBypass(true);
    const Snapshot before = Take(probe);
    const int livePos = probe.Factory().LivePos();
    ASSERT_EQ(noErr, host.Render(128, {0, 1, 2, 3}));
    const TovaHost::Stereo ramp = TovaHost::Ramp(256);
    for (std::size_t i = 0; i < 128; ++i)
    {
        ASSERT_EQ(ramp.left[i], host.Left(0)[i]) << i;
        ASSERT_EQ(ramp.right[i], host.Right(0)[i]) << i;
        for (UInt32 bus = 1; bus < 4; ++bus)
            ASSERT_EQ(0.0f, host.Left(bus)[i]) << bus;
    }
    EXPECT_TRUE(before == Take(probe));
    EXPECT_FALSE(probe.IsPlaying());
    EXPECT_EQ(livePos, probe.Factory().LivePos());
}

TEST(TovaRender, WithoutABeatCallbackTheTempoIs120AndTheBeatStandsStill)
{
    TovaHost host(48000);
    CTovaProbe probe(host.Tova());
    host.clock.beatCallback = false;
    host.clock.tempo = 90;
    host.ApplyClock();
    host.SetPlaying(true);
    ASSERT_EQ(noErr, host.RenderFrames(4096, 256));
    EXPECT_EQ(120.0, probe.Tempo());
    // The transport plays, so the beat runs: 4096 frames at 120 bpm = 4096 / 24000 beats.
    EXPECT_NEAR(4096.0 / 24000.0, probe.Beat(), 1e-12);

    TovaHost stopped(48000);
    CTovaProbe stoppedProbe(stopped.Tova());
    stopped.clock.beatCallback = false;
    stopped.ApplyClock();
    ASSERT_EQ(noErr, stopped.RenderFrames(4096, 256));
    EXPECT_EQ(120.0, stoppedProbe.Tempo());
    EXPECT_EQ(0.0, stoppedProbe.Beat());
}

TEST(TovaRender, BackInTimeMovesTheBeatBack)
{
    TovaHost host(48000);
    CTovaProbe probe(host.Tova());
    host.Set(kTovaParam_BackInTime, 64);
    host.clock.beat = 2.0;
    ASSERT_EQ(noErr, host.Render(64));
    // 64 × 32 = 2048 frames; at 120 bpm and 48 kHz a beat is 24000 frames: 2048 / 24000.
    EXPECT_DOUBLE_EQ(2.0 - 2048.0 / 24000.0, probe.Beat());

    host.clock.beat = 0.05; // just past the song's start: negative for a while
    ASSERT_EQ(noErr, host.Render(64));
    EXPECT_NEAR(0.05 - 2048.0 / 24000.0, probe.Beat(), 1e-12);
    EXPECT_LT(probe.Beat(), 0.0);
}

TEST(TovaRender, SetBusCountRefusesMoreThanFourOutputsAndTheVersionIs65792)
{
    AudioUnit unit = nullptr;
    ASSERT_EQ(noErr, AudioComponentInstanceNew(&kTovaRegistration, &unit));
    CTova& tova = *static_cast<CTova*>(unit->storage);
    EXPECT_EQ(kAudioUnitErr_InvalidPropertyValue, tova.SetBusCount(kAudioUnitScope_Output, 5));
    EXPECT_EQ(4u, tova.Outputs().GetNumberOfElements());
    EXPECT_EQ(noErr, tova.SetBusCount(kAudioUnitScope_Output, 4));
    EXPECT_EQ(1u, tova.Inputs().GetNumberOfElements());
    UInt32 version = 0;
    EXPECT_EQ(noErr, AudioComponentInstanceGetVersion(unit, &version));
    EXPECT_EQ(65792u, version);
    AudioComponentInstanceDispose(unit);
}

TEST(TovaRender, RarorovazBeyondThreeQuartersPlaysAlongALogCurve)
{
    TovaHost host(48000);
    CTovaProbe probe(host.Tova());
    host.Set(kTovaParam_TapeSmoothing, 0);
    host.Set(kTovaParam_TapeSpeed, 1.5f);
    const CTova::Exclusive access(host.Tova());
    host.Set(kTovaParam_Rarorovaz, -1);
    EXPECT_EQ(1.5f, probe.NextSpeeds().first);
    host.Set(kTovaParam_Rarorovaz, 1);
    EXPECT_EQ(-1.5f, probe.NextSpeeds().first);
    host.Set(kTovaParam_Rarorovaz, -0.875f);
    // (0.875 − 0.75) × 200 + 1 = 26
    EXPECT_EQ(static_cast<float>(1.5 * std::log(26.0) / std::log(51.0)), probe.NextSpeeds().first);
}

TEST(TovaRender, ThePlatterRestsAtZeroAndThenAcceleratesTowardsTheKnob)
{
    TovaHost host(48000);
    CTovaProbe probe(host.Tova());
    int announced = 0;
    ASSERT_EQ(noErr, AudioUnitAddPropertyListener(host.Unit(), kTovaProperty_Stopped, CountStopped,
                                                  &announced));
    host.Set(kTovaParam_Rarorovaz, 0);
    ASSERT_EQ(noErr, host.Render(16));
    EXPECT_TRUE(host.Tova().IsStopped());
    EXPECT_EQ(1, announced);
    ASSERT_EQ(noErr, host.RenderFrames(160, 16));
    EXPECT_EQ(1, announced);
    EXPECT_EQ(0.0f, probe.ScratchPos());
    EXPECT_EQ(0.0f, probe.ScratchVel());

    host.Set(kTovaParam_Rarorovaz, -0.5f); // target +0.5
    ASSERT_EQ(noErr, host.Render(16));
    EXPECT_EQ(0.004f, probe.ScratchVel()); // below 0.004: +0.004
    EXPECT_FALSE(host.Tova().IsStopped());
    EXPECT_EQ(2, announced);
    ASSERT_EQ(noErr, host.Render(16));
    EXPECT_EQ(0.004f + 0.002f, probe.ScratchVel()); // from 0.004 on: +0.002
    EXPECT_EQ(2 * 0.001f * 0.004f, probe.ScratchPos());
    ASSERT_EQ(noErr, host.RenderFrames(48000, 256));
    EXPECT_EQ(0.5f, probe.ScratchPos()); // parked at the knob
}

TEST(TovaRender, TapeSmoothingIsTheTimeForAChangeOfOne)
{
    TovaHost host(48000);
    CTovaProbe probe(host.Tova());
    host.Set(kTovaParam_TapeSmoothing, 1);
    host.Set(kTovaParam_TapeSpeed, 2);
    ASSERT_EQ(noErr, host.RenderFrames(2999 * 16, 16));
    EXPECT_NEAR(1.0 + 2999.0 / 3000.0, probe.TapeSpeed(), 1e-9);
    ASSERT_EQ(noErr, host.RenderFrames(2 * 16, 16)); // 1 s = 3000 steps of 1/3000, no overshoot
    EXPECT_EQ(2.0, probe.TapeSpeed());

    host.Set(kTovaParam_TapeSpeed, 1);
    ASSERT_EQ(noErr, host.Render(5)); // a 5-frame block still moves a full step
    EXPECT_NEAR(2.0 - 1.0 / 3000.0, probe.TapeSpeed(), 1e-12);
    host.Set(kTovaParam_TapeSmoothing, 0);
    ASSERT_EQ(noErr, host.Render(5));
    EXPECT_EQ(1.0, probe.TapeSpeed());
}

TEST(TovaRender, BoHeldAtTheEndGivesTheTapeSpeed)
{
    for (const float bo : {1.0f, -1.0f})
    {
        SCOPED_TRACE(bo);
        TovaHost host(48000);
        CTovaProbe probe(host.Tova());
        host.Set(kTovaParam_Bo, bo);
        ASSERT_EQ(noErr, host.Render(256));
        EXPECT_GT(probe.BoMotion(), 0.0f); // it moved this call
        // Still for more than 0.2 s = 9600 frames: the motion is forgotten, β = 1.
        ASSERT_EQ(noErr, host.RenderFrames(9600 + 2 * 256, 256));
        EXPECT_EQ(0.0f, probe.BoMotion());
        const CTova::Exclusive access(host.Tova());
        const auto [speed, boSpeed] = probe.NextSpeeds();
        EXPECT_EQ(1.0f, boSpeed);
        EXPECT_EQ(1.0f, speed);
    }
}

TEST(TovaRender, PlayThruRampsTheInputInAndOut)
{
    // 0.03 s at 48 kHz = 1440 frames per ramp, 1/1440 per frame.
    auto level = [](const TovaHost& host, std::size_t i) { return host.Left(0)[i]; };
    {
        SCOPED_TRACE("On");
        TovaHost host(48000);
        host.SetInput(TovaHost::Constant(8192, 1.0f));
        host.Set(kTovaParam_PlayThru, 2);
        ASSERT_EQ(noErr, host.RenderFrames(2048, 256));
        EXPECT_NEAR(1.0 / 1440, level(host, 0), 1e-6);
        EXPECT_NEAR(720.0 / 1440, level(host, 719), 1e-4);
        EXPECT_EQ(1.0f, level(host, 1500));
        host.Set(kTovaParam_PlayThru, 0);
        ASSERT_EQ(noErr, host.RenderFrames(2048, 256));
        EXPECT_NEAR(1.0 - 1.0 / 1440, level(host, 2048), 1e-4);
        EXPECT_NEAR(0.5, level(host, 2048 + 719), 1e-3);
        EXPECT_EQ(0.0f, level(host, 2048 + 1500));
        EXPECT_EQ(CADSR::kIdle, CTovaProbe(host.Tova()).PlayThru().Stage());
    }
    {
        SCOPED_TRACE("Fill: only while the voices are silent");
        TovaHost host(48000);
        CTovaProbe probe(host.Tova());
        host.SetInput(TovaHost::Constant(8192, 1.0f));
        ASSERT_EQ(noErr, host.RenderFrames(2048, 256));
        EXPECT_EQ(1.0f, level(host, 2000));
        probe.GiveSample(60, 40000, 0.0f); // a voice that sounds (silently) stops the fill
        host.NoteOn(60);
        ASSERT_EQ(noErr, host.RenderFrames(2048, 256));
        EXPECT_EQ(0.0f, level(host, 2048 + 1500));
    }
    {
        SCOPED_TRACE("Record: only while \"Recording\" is on");
        TovaHost host(48000);
        host.SetInput(TovaHost::Constant(8192, 1.0f));
        host.Set(kTovaParam_PlayThru, 3);
        ASSERT_EQ(noErr, host.RenderFrames(256, 256));
        EXPECT_EQ(0.0f, level(host, 100));
        host.Set(kTovaParam_Recording, 1);
        ASSERT_EQ(noErr, host.RenderFrames(2048, 256));
        EXPECT_EQ(1.0f, level(host, 256 + 1500));
    }
}

TEST(TovaRender, FreezeTakesEffectOnTheNextRenderOfBusZero)
{
    TovaHost host(48000);
    CTovaProbe probe(host.Tova());
    host.Set(kTovaParam_Freeze, 1);
    ASSERT_EQ(noErr, host.Render(16, {1})); // bus 1 alone does not touch the reverb
    EXPECT_EQ(0, probe.FreezeState());
    ASSERT_EQ(noErr, host.Render(16, {0, 1}));
    EXPECT_EQ(2, probe.FreezeState());
    EXPECT_EQ(1.0f, probe.Reverb().getmode());
    host.Set(kTovaParam_Freeze, 0);
    ASSERT_EQ(noErr, host.Render(16, {0}));
    EXPECT_EQ(3, probe.FreezeState());
    EXPECT_EQ(0.0f, probe.Reverb().getmode());
}

TEST(TovaRender, ReverbIsHeardWhenPlayedOrFrozen)
{
    TovaHost host(48000);
    host.SetInput(TovaHost::Constant(4096, 0.5f));
    host.Set(kTovaParam_PlayThru, 2);
    ASSERT_EQ(noErr, host.RenderFrames(2048, 256));
    EXPECT_EQ(0.5f, host.Left(0)[2000]); // not heard: the dry signal passes unchanged
    host.Set(kTovaParam_PlayReverb, 1);
    ASSERT_EQ(noErr, host.RenderFrames(2048, 256));
    EXPECT_NE(0.5f, host.Left(0)[4000]);
}

TEST(TovaRender, AllSoundsOffStopsEveryVoice)
{
    TovaHost host(48000);
    CTovaProbe probe(host.Tova());
    probe.GiveSample(60, 40000);
    probe.GiveSample(64, 40000);
    host.NoteOn(60);
    host.NoteOn(64);
    ASSERT_EQ(noErr, host.Render(64));
    EXPECT_EQ(2, probe.Voicer(0).Top());
    EXPECT_EQ(2, probe.HeldCount());
    host.Set(kTovaParam_AllSoundsOff, 1);
    ASSERT_EQ(noErr, host.Render(64));
    EXPECT_EQ(0, probe.Voicer(0).Top());
    EXPECT_EQ(0, probe.HeldCount());
    EXPECT_EQ(3, probe.FreezeState());
}

TEST(TovaRender, AGlobalShifterDrainsAfterTheLastVoice)
{
    TovaHost host(48000);
    CTovaProbe probe(host.Tova());
    host.Set(kTovaParam_PlayThru, 0);
    host.Set(kTovaParam_Pitch, 7); // ratio 2^(7/12): the delay line keeps its reset length
    probe.GiveSample(60, 40000, 0.5f, 120.0);
    host.NoteOn(60);
    ASSERT_EQ(noErr, host.RenderFrames(4096, 16));
    host.NoteOff(60);
    std::size_t freed = 0;
    for (int block = 0; block < 400 && freed == 0; ++block)
    {
        ASSERT_EQ(noErr, host.Render(16));
        if (probe.Voicer(0).Top() == 0) freed = host.Left(0).size();
    }
    ASSERT_GT(freed, 0u);
    ASSERT_EQ(noErr, host.RenderFrames(4096, 16));
    // The voice's last chunk entered the delay line; it comes out after the voice is gone.
    bool heardAfter = false;
    for (std::size_t i = freed; i < host.Left(0).size(); ++i)
        heardAfter = heardAfter || host.Left(0)[i] != 0.0f;
    EXPECT_TRUE(heardAfter);
    EXPECT_EQ(0.0f, host.Left(0).back()); // and then it is drained and idle
}
