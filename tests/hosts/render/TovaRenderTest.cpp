// The installed program itself, with Tova's engine: what works end to end today.

#include "RenderTestUtil.h"
#include "hosts/render/AudioFileWriter.h"

#include <gtest/gtest.h>

namespace
{
Outcome RunTova(const std::vector<std::string>& args)
{
    return RunProgram(TOVA_RENDER, args);
}
} // namespace

TEST(TovaRender, ParametersByTheirNamesAndValueStrings)
{
    const Outcome outcome =
        RunTova({"--out", ScratchPath("tova-params.wav"), "--length", "0.1", "--param",
                 "Record Sync=To Bar", "--param", "Tape Speed=0.5", "--param", "Digi Value=1+1/8",
                 "--param", "Back In Time=2048", "--param", "Reverb:Wet=3", "--set",
                 "0.05:Playback Sync=As Recorded", "--param", "34=0"});
    EXPECT_EQ(0, outcome.status) << outcome.err;

    EXPECT_EQ("tova-render: unknown parameter 'Tape speed' (did you mean 'Tape Speed'?)\n",
              RunTova({"--out", ScratchPath("x.wav"), "--param", "Tape speed=1"}).err);
    EXPECT_EQ("tova-render: 'Play Thru' takes a number from 0 to 3 or one of 'Off', 'Fill', "
              "'On', 'Record', not 'Always'\n",
              RunTova({"--out", ScratchPath("x.wav"), "--param", "Play Thru=Always"}).err);
    EXPECT_EQ(2, RunTova({"--out", ScratchPath("x.wav"), "--param", "35=0"}).status);
}

TEST(TovaRender, PlayThruPassesTheInputOn)
{
    // Half a second of a constant 0.5 on both channels.
    const std::string in = ScratchPath("tova-half.wav");
    const std::vector<float> level(24000, 0.5f);
    AudioFileWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Open(in, 48000.0, AudioFileWriter::SampleFormat::Float, error));
    ASSERT_TRUE(writer.WriteStereo(level.data(), level.data(), 24000, error));
    ASSERT_TRUE(writer.Close(error));

    const std::string out = ScratchPath("tova-thru.wav");
    const Outcome outcome = RunTova(
        {"--in", in, "--out", out, "--param", "Play Thru=On", "--length", "1", "--block", "64"});
    ASSERT_EQ(0, outcome.status) << outcome.err;
    std::uint64_t frames = 0;
    const std::vector<float> left = ReadLeft(out, frames);
    ASSERT_EQ(48000u, frames);
    // The pass-through envelope opens from silence; once open, the input comes out as it
    // went in, and after the input's end there is silence.
    EXPECT_LT(left[0], 0.01f);
    EXPECT_LT(left[10], 0.5f);
    EXPECT_FLOAT_EQ(0.5f, left[20000]);
    EXPECT_FLOAT_EQ(0.5f, left[23999]);
    EXPECT_EQ(0.0f, left[30000]);
}
