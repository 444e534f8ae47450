// The render cycle at 48 kHz and 120 bpm, where a beat is 48000 × 60 / 120 = 24000 frames.

#include "integration/CTovaProbe.h"
#include "integration/TovaHost.h"

#include <gtest/gtest.h>

#include <tuple>

TEST(TovaRender, TheTapeSlewsAndNotesStartPerSixteenFrameSubBlock)
{
    for (const UInt32 offset : {16u, 17u})
    {
        SCOPED_TRACE(offset);
        TovaHost host(48000);
        CTovaProbe probe(host.Tova());
        host.Set(kTovaParam_PlayThru, 0);
        host.Set(kTovaParam_TapeSmoothing, 1);
        host.Set(kTovaParam_TapeSpeed, 2);
        probe.GiveSample(60, 20000, 0.5f);
        host.NoteOn(60, 100, offset);
        ASSERT_EQ(noErr, host.Render(37));
        // 16 + 16 + 5 frames: three steps of 16 / (1 s × 48000) = 1/3000.
        EXPECT_DOUBLE_EQ(1.0 + 3.0 / 3000.0, probe.TapeSpeed());
        // Offset 16 ends the first sub-block (frames 0 … 15), 17 lies in the second.
        const std::size_t first = offset == 16 ? 0 : 16;
        for (std::size_t i = 0; i < 37; ++i)
            EXPECT_EQ(i >= first, host.Left(0)[i] != 0.0f) << i;
    }
}

TEST(TovaRender, BusOneCarriesTheDryInputTheOthersSilenceAndNeitherMovesTheEngine)
{
    TovaHost host(48000);
    CTovaProbe probe(host.Tova());
    host.SetInput(TovaHost::Constant(4096, 0.25f));
    host.SetPlaying(true);
    host.clock.beat = 1.25;
    host.Set(kTovaParam_TapeSpeed, 3);     // the tape slews
    host.Set(kTovaParam_Rarorovaz, -0.5f); // the platter moves
    probe.GiveSample(60, 20000);
    host.NoteOn(60);
    const auto state = [&probe] {
        return std::tuple{probe.TapeSpeed(), probe.Beat(), probe.ScratchPos(), probe.ScratchVel()};
    };
    ASSERT_EQ(noErr, host.RenderBus(0, 64));
    const auto afterBusZero = state();
    EXPECT_GT(probe.TapeSpeed(), 1.0);
    ASSERT_EQ(noErr, host.RenderBus(1, 64));
    ASSERT_EQ(noErr, host.RenderBus(2, 64));
    EXPECT_EQ(afterBusZero, state());
    EXPECT_EQ(std::vector<float>(64, 0.25f), host.Left(1));
    EXPECT_EQ(std::vector<float>(64, 0.25f), host.Right(1));
    EXPECT_EQ(std::vector<float>(64, 0.0f), host.Left(2));
}

TEST(TovaRender, BackInTimeMovesTheBeatBackByThirtyTwoFramesAStep)
{
    TovaHost host(48000);
    CTovaProbe probe(host.Tova());
    host.Set(kTovaParam_BackInTime, 64);
    host.clock.beat = 2.0;
    ASSERT_EQ(noErr, host.Render(64));
    EXPECT_DOUBLE_EQ(2.0 - 2048.0 / 24000.0, probe.Beat()); // 64 × 32 = 2048 frames
}

TEST(TovaRender, ThePlatterAcceleratesFromRestTowardsTheKnobAndParksThere)
{
    TovaHost host(48000);
    CTovaProbe probe(host.Tova());
    host.Set(kTovaParam_Rarorovaz, 0);
    ASSERT_EQ(noErr, host.RenderFrames(160, 16));
    EXPECT_EQ(0.0f, probe.ScratchPos());
    host.Set(kTovaParam_Rarorovaz, -0.5f); // target +0.5
    ASSERT_EQ(noErr, host.Render(16));
    EXPECT_EQ(0.004f, probe.ScratchVel()); // below 0.004: +0.004
    ASSERT_EQ(noErr, host.Render(16));
    EXPECT_EQ(0.004f + 0.002f, probe.ScratchVel()); // from 0.004 on: +0.002
    EXPECT_EQ(2 * 0.001f * 0.004f, probe.ScratchPos());
    ASSERT_EQ(noErr, host.RenderFrames(48000, 256));
    EXPECT_EQ(0.5f, probe.ScratchPos());
}

TEST(TovaRender, PlayThruRampsTheInputInAndOutOverThirtyMilliseconds)
{
    TovaHost host(48000);
    host.SetInput(TovaHost::Constant(8192, 1.0f));
    host.Set(kTovaParam_PlayThru, 2);
    ASSERT_EQ(noErr, host.RenderFrames(2048, 256));
    host.Set(kTovaParam_PlayThru, 0);
    ASSERT_EQ(noErr, host.RenderFrames(2048, 256));
    // 0.03 s × 48000 = 1440 frames a ramp, 1/1440 a frame.
    const std::vector<float>& out = host.Left(0);
    EXPECT_NEAR(1.0 / 1440, out[0], 1e-6);
    EXPECT_NEAR(720.0 / 1440, out[719], 1e-4);
    EXPECT_EQ(1.0f, out[1500]);
    EXPECT_NEAR(1.0 - 1.0 / 1440, out[2048], 1e-4);
    EXPECT_EQ(0.0f, out[2048 + 1500]);
}
