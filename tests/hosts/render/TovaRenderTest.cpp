// tova-render with Tova's engine, driven as a user drives it.

#include "RenderTestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace
{
constexpr double kRate = 48000.0;
// 480 ticks per quarter note; at the default 120 bpm a quarter lasts 0.5 s = 24000 frames.
constexpr std::uint32_t kQuarter = 480;
constexpr std::size_t kQuarterFrames = 24000;
// An octave up the delay-line shifter's two heads, 850 frames apart, hand over every 850
// frames: a tone of 8 cycles per 850 frames (451.76 Hz) meets itself in phase there and stays
// one clean sine.
constexpr double kTone = 8 * kRate / 850;

std::string WriteSong(const std::string& name, std::vector<TimedBytes> events)
{
    const std::string path = ScratchPath(name);
    WriteFile(path, SingleTrackFile(kQuarter, std::move(events)));
    return path;
}
} // namespace

TEST(TovaRender, ABarRecordedToTheBarPlaysAnOctaveUpOnKey72AndAgainFromItsSavedState)
{
    // Bar 0 of three seconds of the tone is recorded onto key 60 (note 48, held, switches
    // "Recording" on by default); key 60 plays in bar 2 and key 72 in bar 4.
    const std::string in =
        SignalInput("sine.wav", 3 * 48000, [](double i) { return Tone(kTone, kRate, i); });
    const std::string song =
        WriteSong("record.mid",
                  {NoteOn(0, 48), NoteOn(0, 60), NoteOff(4 * kQuarter, 60),
                   NoteOff(4 * kQuarter, 48), NoteOn(8 * kQuarter, 60), NoteOff(12 * kQuarter, 60),
                   NoteOn(16 * kQuarter, 72), NoteOff(20 * kQuarter, 72)});
    const std::string first = ScratchPath("first.wav");
    const std::string state = ScratchPath("loop.bplist");
    Outcome outcome = RunProgram(TOVA_RENDER, {"--in", in, "--midi", song, "--out", first,
                                               "--param", "Record Sync=To Bar", "--param",
                                               "Play Thru=Off", "--state-out", state});
    ASSERT_EQ(0, outcome.status) << outcome.err;
    EXPECT_EQ("bplist00", Slurp(state).substr(0, 8));

    // One bar: 4 beats × 0.5 s × 48000 = 96000 frames, in step with the bar (sync 2) at 120
    // bpm; key 72 shares it an octave up.
    const SavedTova saved = SavedTova::Read(state);
    ASSERT_EQ(std::vector<int>{60}, saved.OwnKeys());
    EXPECT_EQ(96000, saved.SlotOf(60).size);
    EXPECT_EQ(2, saved.SlotOf(60).sync);
    EXPECT_EQ(120.0, saved.SlotOf(60).tempo);
    EXPECT_EQ(saved.keys[60].slot, saved.keys[72].slot);
    EXPECT_TRUE(saved.keys[72].automatic);
    EXPECT_DOUBLE_EQ(2.0, saved.keys[72].pitchShift);

    const std::vector<float> left = ReadLeft(first);
    ASSERT_EQ(20 * kQuarterFrames + 96000u, left.size()); // the last event, then 2 s of tail
    // Key 60 sounds in bar 2 only, key 72 in bar 4; the input does not pass through.
    EXPECT_EQ(0.0, Rms(left, 0, 8 * kQuarterFrames));
    EXPECT_GT(Rms(left, 8 * kQuarterFrames + 1000, 12 * kQuarterFrames), 0.3);
    EXPECT_LT(Rms(left, 12 * kQuarterFrames + 4800, 16 * kQuarterFrames), 1e-4);
    EXPECT_NEAR(kTone, Frequency(left, 8 * kQuarterFrames + 20000, 12 * kQuarterFrames, kRate),
                0.5);
    EXPECT_NEAR(2 * kTone, Frequency(left, 16 * kQuarterFrames + 20000, 20 * kQuarterFrames, kRate),
                0.5);

    // A new run without input: the state brings the loop, key 60 plays it from bar 0 exactly
    // as bar 2 of the first run.
    const std::string second = ScratchPath("second.wav");
    outcome = RunProgram(
        TOVA_RENDER, {"--midi", WriteSong("play.mid", {NoteOn(0, 60), NoteOff(4 * kQuarter, 60)}),
                      "--out", second, "--state-in", state, "--param", "Play Thru=Off"});
    ASSERT_EQ(0, outcome.status) << outcome.err;
    const std::vector<float> restored = ReadLeft(second);
    ASSERT_EQ(4 * kQuarterFrames + 96000u, restored.size());
    EXPECT_TRUE(std::equal(restored.begin(), restored.begin() + 4 * kQuarterFrames,
                           left.begin() + 8 * kQuarterFrames));
}

TEST(TovaRender, BadArgumentsGiveOneLineAndTheirStatus)
{
    const std::string out = ScratchPath("refused.wav");
    // A track cut two bytes short of the 8 it claims.
    const std::string cut = ScratchPath("cut.mid");
    Bytes song = SingleTrackFile(480, {NoteOn(0, 60)});
    song.resize(song.size() - 2);
    WriteFile(cut, song);
    const std::string wav = SignalInput("short.wav", 4800, [](double) { return 0.0f; });
    const std::string absent = ScratchPath("absent.wav");
    const std::string block = "the block size must be a whole number from 1 to 2048";
    struct Case
    {
        std::vector<std::string> args;
        int status;
        std::string message; // empty: the words are the library's own
    };
    const Case cases[] = {
        {{}, 2, "--out FILE is required (try --help)"},
        {{"--out"}, 2, "--out needs a value"},
        {{"--out", out, "--loud"}, 2, "unknown option '--loud' (try --help)"},
        {{"--out", out, "--block", "0"}, 2, "--block '0': " + block},
        {{"--out", out, "--block", "2049"}, 2, "--block '2049': " + block},
        {{"--out", out, "--bus", "4"}, 2, "--bus '4': the bus must be 0, 1, 2 or 3"},
        {{"--out", out, "--set", "Freeze=1"},
         2,
         "--set 'Freeze=1': expected TIME:NAME=VALUE with TIME in seconds"},
        {{"--out", out, "--param", "Tape speed=1"},
         2,
         "unknown parameter 'Tape speed' (did you mean 'Tape Speed'?)"},
        {{"--out", out, "--param", "Tape Speed=11"},
         2,
         "'Tape Speed' takes a number from 0 to 10, not '11'"},
        {{"--out", out, "--length", "1", "--set", "1:Freeze=1"},
         2,
         "--set at 1.000 s lies past the end of the 1.000 s render"},
        {{"--out", out, "--in", wav, "--rate", "44100"},
         2,
         "--rate 44100 differs from the 48000 Hz of " + wav + " (tova-render does not resample)"},
        {{"--out", out, "--import", absent}, 1, absent + ": No such file or directory"},
        {{"--out", out, "--midi", cut},
         1,
         cut + ": chunk at byte 0xE of 8 bytes runs past the end of the file"},
        {{"--out", out, "--import-plain", cut},
         1,
         cut + ": the component could not import it (status 'typ?')"},
        {{"--out", out, "--state-in", wav}, 1, ""},
        {{"--out", ScratchPath("no/such/folder.wav"), "--length", "0.1"}, 1, ""},
    };
    for (const Case& c : cases)
    {
        std::string joined;
        for (const std::string& arg : c.args)
            joined += arg + " ";
        SCOPED_TRACE(joined);
        const Outcome outcome = RunProgram(TOVA_RENDER, c.args);
        EXPECT_EQ(c.status, outcome.status);
        EXPECT_EQ(c.message.empty() ? outcome.err : "tova-render: " + c.message + "\n",
                  outcome.err);
        EXPECT_EQ(0u, outcome.err.rfind("tova-render: ", 0)) << outcome.err;
        EXPECT_EQ(1, std::count(outcome.err.begin(), outcome.err.end(), '\n')) << outcome.err;
    }
}
