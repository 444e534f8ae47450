// tova-render run as a user runs it, with the test component in Tova's place.

#include "RenderTestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace
{
Outcome RunTestHost(const std::vector<std::string>& args)
{
    return RunProgram(RENDER_TEST_HOST, args);
}
} // namespace

TEST(RenderCommand, UsageErrorsExitWithStatus2)
{
    const std::string out = ScratchPath("usage.wav");
    struct Case
    {
        std::vector<std::string> args;
        std::string message;
    };
    const Case cases[] = {
        {{}, "tova-render: --out FILE is required (try --help)\n"},
        {{"--out"}, "tova-render: --out needs a value\n"},
        {{"--out", ""}, "tova-render: --out needs a value\n"},
        {{"--out", out, "--frobnicate"},
         "tova-render: unknown option '--frobnicate' (try --help)\n"},
        {{"--out", out, "--block", "0"},
         "tova-render: --block '0': the block size must be a whole number from 1 to 2048\n"},
        {{"--out", out, "--block", "2049"},
         "tova-render: --block '2049': the block size must be a whole number from 1 to 2048\n"},
        {{"--out", out, "--block", "256k"},
         "tova-render: --block '256k': the block size must be a whole number from 1 to 2048\n"},
        {{"--out", out, "--bus", "4"}, "tova-render: --bus '4': the bus must be 0, 1, 2 or 3\n"},
        {{"--out", out, "--rate", "0"},
         "tova-render: --rate '0': the sample rate must be a number from 1 to 768000\n"},
        {{"--out", out, "--length", "-1"},
         "tova-render: --length '-1': the length must be a number of seconds above 0 and at "
         "most 86400\n"},
        {{"--out", out, "--tempo", "fast"},
         "tova-render: --tempo 'fast': the tempo must be a number of beats per minute above 0 "
         "and at most 1000\n"},
        {{"--out", out, "--transport", "rolling"},
         "tova-render: --transport 'rolling': the transport is 'playing' or 'stopped'\n"},
        {{"--out", out, "--param", "Gain"}, "tova-render: --param 'Gain': expected NAME=VALUE\n"},
        {{"--out", out, "--set", "Gain=1"},
         "tova-render: --set 'Gain=1': expected TIME:NAME=VALUE with TIME in seconds\n"},
        {{"--out", out, "--param", "Volume=1"}, "tova-render: unknown parameter 'Volume'\n"},
        {{"--out", out, "--param", "Gain=3"},
         "tova-render: 'Gain' takes a number from 0 to 2, not '3'\n"},
        {{"--out", out, "--length", "1", "--set", "1:Gain=1"},
         "tova-render: --set at 1.000 s lies past the end of the 1.000 s render\n"},
        {{"--out", out, "--in", RampInput(), "--rate", "44100"},
         "tova-render: --rate 44100 differs from the 48000 Hz of " + ScratchPath("ramp.wav") +
             " (tova-render does not resample)\n"},
    };
    for (const Case& c : cases)
    {
        std::string joined;
        for (const std::string& arg : c.args)
            joined += arg + " ";
        SCOPED_TRACE(joined);
        const Outcome outcome = RunTestHost(c.args);
        EXPECT_EQ(2, outcome.status);
        EXPECT_EQ(c.message, outcome.err);
        EXPECT_EQ("", outcome.out);
    }
}

TEST(RenderCommand, RuntimeErrorsExitWithStatus1)
{
    const std::string out = ScratchPath("runtime.wav");
    const std::string garbage = ScratchPath("garbage.mid");
    WriteFile(garbage, {'n', 'o', 't', ' ', 'M', 'I', 'D', 'I'});
    const std::string truncated = ScratchPath("truncated.mid");
    Bytes cut = TwoTrackFile();
    cut.resize(cut.size() - 3);
    WriteFile(truncated, cut);
    struct Case
    {
        std::vector<std::string> args;
        std::string message;
    };
    const Case cases[] = {
        {{"--out", out, "--midi", ScratchPath("missing.mid")},
         "tova-render: " + ScratchPath("missing.mid") + ": No such file or directory\n"},
        {{"--out", out, "--midi", garbage},
         "tova-render: " + garbage + ": not a Standard MIDI File (no MThd header)\n"},
        // Track 2 starts at 14 (header) + 8 + 27 (track 1) = 49 = 0x31 and declares its
        // 39 bytes, of which 36 are there.
        {{"--out", out, "--midi", truncated},
         "tova-render: " + truncated +
             ": chunk at byte 0x31 of 39 bytes runs past the end of "
             "the file\n"},
        {{"--out", out, "--in", garbage}, ""}, // libsndfile's own words
        {{"--out", out, "--state-in", garbage}, ""},
        {{"--out", out, "--import", ScratchPath("missing.wav")},
         "tova-render: " + ScratchPath("missing.wav") + ": No such file or directory\n"},
        {{"--out", out, "--import-plain", ScratchDirectory()},
         "tova-render: " + ScratchDirectory() +
             ": the component could not import it (status -10871)\n"},
        {{"--out", ScratchPath("out.unknown"), "--length", "0.01"},
         "tova-render: " + ScratchPath("out.unknown") +
             ": no audio format known for this name's extension (try .wav)\n"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.args.back());
        const Outcome outcome = RunTestHost(c.args);
        EXPECT_EQ(1, outcome.status);
        if (!c.message.empty())
        {
            EXPECT_EQ(c.message, outcome.err);
        }
        // One line, naming the program.
        EXPECT_EQ(0u, outcome.err.rfind("tova-render: ", 0)) << outcome.err;
        EXPECT_EQ(1, std::count(outcome.err.begin(), outcome.err.end(), '\n')) << outcome.err;
    }
}

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

TEST(RenderCommand, StateRoundTripInBothForms)
{
    for (const std::string name : {"state.plist", "state.bplist"})
    {
        SCOPED_TRACE(name);
        const std::string state = ScratchPath(name);
        ASSERT_EQ(0, RunTestHost({"--out", ScratchPath("save.wav"), "--length", "0.01", "--param",
                                  "Gain=0.25", "--state-out", state})
                         .status);
        const std::string head = Slurp(state).substr(0, 8);
        EXPECT_EQ(name == "state.plist" ? "<?xml ve" : "bplist00", head);

        const Outcome outcome =
            RunTestHost({"--in", RampInput(), "--out", ScratchPath("restored.wav"), "--length",
                         "0.01", "--state-in", state});
        ASSERT_EQ(0, outcome.status) << outcome.err;
        std::uint64_t frames = 0;
        const std::vector<float> left = ReadLeft(ScratchPath("restored.wav"), frames);
        EXPECT_FLOAT_EQ(0.25f * 0.4f, left[400]); // bus 0: input × the restored gain
    }
}

TEST(RenderCommand, ImportsAnExistingFile)
{
    const Outcome outcome = RunTestHost({"--out", ScratchPath("import.wav"), "--length", "0.01",
                                         "--import", RampInput(), "--import-plain", RampInput()});
    EXPECT_EQ(0, outcome.status) << outcome.err;
}
