// tova-render run as a user runs it, with the test component in Tova's place, so that what the
// options ask for shows in exact numbers.

#include "RenderTestUtil.h"

#include <gtest/gtest.h>

namespace
{
Outcome RunTestHost(const std::vector<std::string>& args)
{
    return RunProgram(RENDER_TEST_HOST, args);
}
} // namespace

TEST(RenderCommand, HelpGoesToStdout)
{
    const Outcome outcome = RunTestHost({"--help"});
    EXPECT_EQ(0, outcome.status);
    EXPECT_EQ(0u, outcome.out.rfind("usage: tova-render", 0));
    EXPECT_EQ("", outcome.err);
}

TEST(RenderCommand, RendersTheChosenBusWithParametersAndASummary)
{
    const std::string out = ScratchPath("bus1.wav");
    const Outcome outcome =
        RunTestHost({"--in", RampInput(), "--out", out, "--bus", "1", "--param", "Gain=0.5",
                     "--length", "0.05", "--block", "100", "--set", "0.01:Gain=2"});
    ASSERT_EQ(0, outcome.status) << outcome.err;
    EXPECT_EQ("", outcome.err); // no progress bar: stderr is no terminal
    // 0.05 s at 48 kHz = 2400 frames; the input's peak 0.999 × 2 + 1 = 2.998 = +9.5 dBFS.
    EXPECT_EQ(0u, outcome.out.rfind("tova-render: 2400 frames (0.050 s at 48000 Hz, bus 1) -> " +
                                        out + "; peak 9.5 dBFS; ",
                                    0))
        << outcome.out;
    std::uint64_t frames = 0;
    const std::vector<float> left = ReadLeft(out, frames);
    ASSERT_EQ(2400u, frames);
    // Bus 1: input × gain + 1; the gain turns from 0.5 to 2 at 0.01 s = frame 480.
    EXPECT_FLOAT_EQ(1.0f + 0.5f * 0.479f, left[479]);
    EXPECT_FLOAT_EQ(1.0f + 2.0f * 0.480f, left[480]);
    EXPECT_FLOAT_EQ(1.0f, left[1000]); // the input has ended
}

TEST(RenderCommand, DefaultLengthAddsTwoSecondsOfTail)
{
    std::uint64_t frames = 0;
    // Input of 1000 frames: 1000 + 2 × 48000 = 97000 frames.
    ASSERT_EQ(0, RunTestHost({"--in", RampInput(), "--out", ScratchPath("tail.wav")}).status);
    ReadLeft(ScratchPath("tail.wav"), frames);
    EXPECT_EQ(97000u, frames);

    // The last MIDI event at 2.3333 s (see TwoTrackFile) outlasts the input:
    // (1 + 128 / 96 + 2) s × 48000 = 208000 frames.
    const std::string midi = ScratchPath("song.mid");
    WriteFile(midi, TwoTrackFile());
    ASSERT_EQ(0,
              RunTestHost({"--in", RampInput(), "--midi", midi, "--out", ScratchPath("song.wav")})
                  .status);
    ReadLeft(ScratchPath("song.wav"), frames);
    EXPECT_EQ(208000u, frames);

    // Neither: 2 s at the default 48 kHz, or at --rate.
    ASSERT_EQ(
        0, RunTestHost({"--out", ScratchPath("empty.wav"), "--rate", "22050", "--pcm16"}).status);
    ReadLeft(ScratchPath("empty.wav"), frames);
    EXPECT_EQ(44100u, frames);
}
