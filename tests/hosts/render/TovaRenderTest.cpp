// The installed program itself, with Tova's engine, driven as a user drives it: recordings
// in step with the bar from a MIDI file, transposed keys, saved and restored states, imports,
// and the command line's refusals.

#include "RenderTestUtil.h"
#include "TovaTestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace
{
constexpr double kRate = 48000.0;
// 480 ticks per quarter note; at the default 120 bpm a quarter lasts 0.5 s = 24000 frames.
constexpr std::uint32_t kQuarter = 480;
constexpr std::uint64_t kQuarterFrames = 24000;
// Among Tova's default learned notes: note 48, held, switches "Recording" on.
constexpr std::uint8_t kRecordingNote = 48;

// A key an octave up plays its sample through a delay-line shifter whose two heads, half its
// 1700-frame line apart, hand over to each other every 850 frames. A tone of 8 cycles per 850
// frames (451.76 Hz) meets itself in phase at every hand-over, so the shifted tone stays one
// clean sine; at any other frequency the hand-overs would step its phase.
constexpr double kTone = 8 * kRate / 850;

float TestTone(double i)
{
    return Tone(kTone, kRate, i);
}

Outcome RunTova(const std::vector<std::string>& args)
{
    return RunProgram(TOVA_RENDER, args);
}

// Hold "Recording" while key 60 is held from `from` to `to` (ticks).
std::vector<TimedBytes> RecordKey60(std::uint32_t from, std::uint32_t to)
{
    return {NoteOn(from, kRecordingNote), NoteOn(from, 60), NoteOff(to, 60),
            NoteOff(to, kRecordingNote)};
}

std::string WriteSong(const std::string& name, std::vector<TimedBytes> events)
{
    const std::string path = ScratchPath(name);
    WriteFile(path, SingleTrackFile(kQuarter, std::move(events)));
    return path;
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
}

TEST(TovaRender, ABarOfSineRecordedToTheBarPlaysAnOctaveUpOnKey72)
{
    // Three seconds of the tone. Bar 0 (beats 0 … 4) is recorded onto key 60; key 60 plays in
    // bar 2 and key 72 in bar 4, each for one bar.
    const std::string in = SignalInput("sine.wav", 3 * 48000, TestTone);
    std::vector<TimedBytes> song = RecordKey60(0, 4 * kQuarter);
    for (const TimedBytes& note : {NoteOn(8 * kQuarter, 60), NoteOff(12 * kQuarter, 60),
                                   NoteOn(16 * kQuarter, 72), NoteOff(20 * kQuarter, 72)})
        song.push_back(note);
    const std::string out = ScratchPath("octave.wav");
    const std::string state = ScratchPath("octave.plist");
    const Outcome outcome =
        RunTova({"--in", in, "--midi", WriteSong("octave.mid", song), "--out", out, "--param",
                 "Record Sync=To Bar", "--param", "Play Thru=Off", "--state-out", state});
    ASSERT_EQ(0, outcome.status) << outcome.err;

    // One recording, one bar long: 4 beats × 0.5 s × 48000 = 96000 frames, made in step with
    // the bar (sync 2) at 120 bpm; key 72 holds its copy an octave up.
    const SavedTova saved = SavedTova::Read(state);
    ASSERT_EQ(std::vector<int>{60}, saved.OwnKeys());
    const SavedTova::Slot& slot = saved.slots.at(saved.keys[60].slot);
    EXPECT_EQ(96000, slot.size);
    EXPECT_EQ(2, slot.sync);
    EXPECT_EQ(120.0, slot.tempo);
    EXPECT_EQ(saved.keys[60].slot, saved.keys[72].slot);
    EXPECT_TRUE(saved.keys[72].automatic);
    EXPECT_DOUBLE_EQ(2.0, saved.keys[72].pitchShift);

    std::uint64_t frames = 0;
    const std::vector<float> left = ReadLeft(out, frames);
    ASSERT_EQ(20 * kQuarterFrames + 96000u, frames); // the last event, then 2 s of tail
    // Key 60 sounds in bar 2 only (frames 192000 … 288000), key 72 in bar 4 (384000 …
    // 480000); nothing else is heard, as the input does not pass through.
    EXPECT_EQ(0.0, Rms(left, 0, 8 * kQuarterFrames));
    EXPECT_GT(Rms(left, 8 * kQuarterFrames + 1000, 12 * kQuarterFrames), 0.3);
    EXPECT_LT(Rms(left, 12 * kQuarterFrames + 4800, 16 * kQuarterFrames), 1e-4);
    EXPECT_GT(Rms(left, 16 * kQuarterFrames + 1000, 20 * kQuarterFrames), 0.3);
    // Counted by zero crossings well inside each note: the tone on key 60, twice it on 72.
    const double low = Frequency(left, 8 * kQuarterFrames + 20000, 12 * kQuarterFrames, kRate);
    const double high = Frequency(left, 16 * kQuarterFrames + 20000, 20 * kQuarterFrames, kRate);
    EXPECT_NEAR(kTone, low, 0.5);
    EXPECT_NEAR(2 * kTone, high, 0.5);
}

TEST(TovaRender, ASavedStatePlaysTheSameLoopFromNoteOnsAlone)
{
    const std::string in = SignalInput("sine-again.wav", 3 * 48000, TestTone);
    std::vector<TimedBytes> song = RecordKey60(0, 4 * kQuarter);
    song.push_back(NoteOn(8 * kQuarter, 60));
    song.push_back(NoteOff(12 * kQuarter, 60));
    const std::string first = ScratchPath("first.wav");
    const std::string state = ScratchPath("loop.bplist");
    ASSERT_EQ(
        0, RunTova({"--in", in, "--midi", WriteSong("record.mid", song), "--out", first, "--param",
                    "Record Sync=To Bar", "--param", "Play Thru=Off", "--state-out", state})
               .status);
    EXPECT_EQ("bplist00", Slurp(state).substr(0, 8));

    // A new run with no input: the state brings the loop, key 60 plays it from bar 0.
    const std::string second = ScratchPath("second.wav");
    const Outcome outcome =
        RunTova({"--midi", WriteSong("play.mid", {NoteOn(0, 60), NoteOff(4 * kQuarter, 60)}),
                 "--out", second, "--state-in", state, "--param", "Play Thru=Off"});
    ASSERT_EQ(0, outcome.status) << outcome.err;
    std::uint64_t frames = 0;
    const std::vector<float> original = ReadLeft(first, frames);
    const std::vector<float> restored = ReadLeft(second, frames);
    ASSERT_EQ(4 * kQuarterFrames + 96000u, frames);
    // Bar 2 of the first run and bar 0 of the second: the same loop, sample for sample.
    EXPECT_TRUE(std::equal(restored.begin(), restored.begin() + 4 * kQuarterFrames,
                           original.begin() + 8 * kQuarterFrames));
    EXPECT_GT(Rms(restored, 1000, 4 * kQuarterFrames), 0.3);
}

TEST(TovaRender, RecordingsKeepToTheBarInEighthsAcrossMeterAndTempoChanges)
{
    // The input is a ramp that tells the time: frame i holds i / 480000. Key 60 is pressed a
    // sixteenth after a bar line and released a sixteenth after the next: the recording
    // catches up from the live input to the first bar line and ends at the second, so the
    // sample starts with the frame of that bar line and lasts one bar.
    const std::string in = SignalInput("clock.wav", 10 * 48000,
                                       [](double i) { return static_cast<float>(i / 480000.0); });
    constexpr std::uint32_t kSixteenth = kQuarter / 4;
    // 120 bpm: a quarter lasts 24000 frames; 96 bpm (625000 µs): 30000.
    const TimedBytes slower = {4 * kQuarter, {0xFF, 0x51, 0x03, 0x09, 0x89, 0x68}};
    struct Case
    {
        const char* name;
        std::vector<TimedBytes> map;
        std::uint32_t barLine; // ticks
        std::uint32_t barTicks;
        std::uint64_t barLineFrame;
        std::uint64_t barFrames;
        double tempo; // as the sample keeps it
    };
    const Case cases[] = {
        // Bar 1 of 6/8: six eighths, 1.5 s … 3 s, at 240 eighths per minute; a host
        // counting quarter notes would have the plug-in wait for beat 6 of 6.
        {"6/8", {Meter(0, 6, 3)}, 3 * kQuarter, 3 * kQuarter, 72000, 72000, 240},
        // 3/4 cut short by 5/8 at quarter 4 (one quarter into its second bar): bar 2 of
        // 5/8 from quarter 4 + 2.5 = 6.5, 3.25 s … 4.5 s, at 240 eighths per minute.
        {"3/4 then 5/8",
         {Meter(0, 3, 2), Meter(4 * kQuarter, 5, 3)},
         4 * kQuarter + 5 * kQuarter / 2,
         5 * kQuarter / 2,
         156000,
         60000,
         240},
        // 4/4 at 120 bpm for one bar, then 96 bpm: bar 1 lasts 4 × 30000 frames from 2 s.
        {"120 then 96 bpm", {slower}, 4 * kQuarter, 4 * kQuarter, 96000, 120000, 96},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        std::vector<TimedBytes> song = c.map;
        for (const TimedBytes& event :
             RecordKey60(c.barLine + kSixteenth, c.barLine + c.barTicks + kSixteenth))
            song.push_back(event);
        const std::string state = ScratchPath("meter.plist");
        const Outcome outcome = RunTova(
            {"--in", in, "--midi", WriteSong("meter.mid", song), "--out", ScratchPath("meter.wav"),
             "--param", "Record Sync=To Bar", "--length", "6", "--state-out", state});
        ASSERT_EQ(0, outcome.status) << outcome.err;
        const SavedTova saved = SavedTova::Read(state);
        EXPECT_EQ(std::vector<int>{60}, saved.OwnKeys());
        if (saved.keys[60].slot < 0 || saved.keys[60].automatic) continue;
        EXPECT_NEAR(c.tempo, saved.slots.at(saved.keys[60].slot).tempo, 1e-3);
        const std::vector<float> sample = saved.LeftOf(60);
        EXPECT_EQ(c.barFrames, sample.size());
        if (sample.size() != c.barFrames) continue;
        // Past the 50-frame fade-in: frame 100 of the sample is frame barLine + 100 of the
        // input, within two frames (1 / 240000); the same near the end.
        const double expected = static_cast<double>(c.barLineFrame + 100) / 480000.0;
        EXPECT_NEAR(expected, sample[100], 1.0 / 240000);
        EXPECT_NEAR(expected + static_cast<double>(c.barFrames - 200) / 480000.0,
                    sample[c.barFrames - 100], 1.0 / 240000);
    }
}

TEST(TovaRender, AnImportedFileGoesToTheNextKeyPressedAndPlaysFromThere)
{
    // Two seconds of the tone: with --import it lasts four beats at 120 bpm, so it gets
    // that tempo and plays in step with the bar. The first note on gives it key 60 without
    // sounding; the next one plays it.
    const std::string file = SignalInput("import.wav", 96000, TestTone);
    const std::string out = ScratchPath("imported.wav");
    const std::string state = ScratchPath("imported.plist");
    const Outcome outcome =
        RunTova({"--import", file, "--midi",
                 WriteSong("import.mid", {NoteOn(0, 60), NoteOff(kQuarter, 60),
                                          NoteOn(4 * kQuarter, 72), NoteOff(8 * kQuarter, 72)}),
                 "--out", out, "--param", "Play Thru=Off", "--state-out", state});
    ASSERT_EQ(0, outcome.status) << outcome.err;
    const SavedTova saved = SavedTova::Read(state);
    ASSERT_EQ(std::vector<int>{60}, saved.OwnKeys());
    const SavedTova::Slot& slot = saved.slots.at(saved.keys[60].slot);
    EXPECT_EQ(96000, slot.size);
    EXPECT_EQ(120.0, slot.tempo); // 48000 × 240 / 96000
    EXPECT_EQ(2, slot.sync);

    std::uint64_t frames = 0;
    const std::vector<float> left = ReadLeft(out, frames);
    // Bar 0: the assigning note is silent; bar 1: key 72 plays the file an octave up.
    EXPECT_EQ(0.0, Rms(left, 0, 4 * kQuarterFrames));
    EXPECT_GT(Rms(left, 4 * kQuarterFrames + 1000, 8 * kQuarterFrames), 0.3);
    EXPECT_NEAR(2 * kTone, Frequency(left, 4 * kQuarterFrames + 20000, 8 * kQuarterFrames, kRate),
                0.5);
}

TEST(TovaRender, BadArgumentsGiveOneLineAndTheirStatus)
{
    const std::string out = ScratchPath("refused.wav");
    // A header, then a track that claims 100 bytes and holds 4.
    const std::string cut = ScratchPath("cut.mid");
    WriteFile(cut,
              Concat({Header(0, 1, 480), {'M', 'T', 'r', 'k', 0, 0, 0, 100, 0, 0x90, 60, 100}}));
    const std::string clock = SignalInput("short.wav", 4800, [](double) { return 0.0f; });
    const std::string blockRule = "the block size must be a whole number from 1 to 2048";
    struct Case
    {
        std::vector<std::string> args;
        int status;
        std::string message; // empty: the words are the library's own
    };
    const Case cases[] = {
        {{}, 2, "--out FILE is required (try --help)"},
        {{"--out"}, 2, "--out needs a value"},
        {{"--out", ""}, 2, "--out needs a value"},
        {{"--out", out, "--loud"}, 2, "unknown option '--loud' (try --help)"},
        {{"--out", out, "--block", "0"}, 2, "--block '0': " + blockRule},
        {{"--out", out, "--block", "2049"}, 2, "--block '2049': " + blockRule},
        {{"--out", out, "--block", "256k"}, 2, "--block '256k': " + blockRule},
        {{"--out", out, "--bus", "4"}, 2, "--bus '4': the bus must be 0, 1, 2 or 3"},
        {{"--out", out, "--rate", "0"},
         2,
         "--rate '0': the sample rate must be a number from 1 to 768000"},
        {{"--out", out, "--length", "-1"},
         2,
         "--length '-1': the length must be a number of seconds above 0 and at most 86400"},
        {{"--out", out, "--tempo", "fast"},
         2,
         "--tempo 'fast': the tempo must be a number of beats per minute above 0 and at most "
         "1000"},
        {{"--out", out, "--transport", "rolling"},
         2,
         "--transport 'rolling': the transport is 'playing' or 'stopped'"},
        {{"--out", out, "--param", "Tape Speed"}, 2, "--param 'Tape Speed': expected NAME=VALUE"},
        {{"--out", out, "--set", "Freeze=1"},
         2,
         "--set 'Freeze=1': expected TIME:NAME=VALUE with TIME in seconds"},
        {{"--out", out, "--param", "Tape speed=1"},
         2,
         "unknown parameter 'Tape speed' (did you mean 'Tape Speed'?)"},
        {{"--out", out, "--param", "Tape Speed=11"},
         2,
         "'Tape Speed' takes a number from 0 to 10, not '11'"},
        {{"--out", out, "--param", "Record Sync=To Phrase"},
         2,
         "'Record Sync' takes a number from 0 to 2 or one of 'No Sync', 'To Beat', 'To Bar', not "
         "'To Phrase'"},
        {{"--out", out, "--param", "35=1"}, 2, "unknown parameter '35'"},
        {{"--out", out, "--length", "1", "--set", "1:Freeze=1"},
         2,
         "--set at 1.000 s lies past the end of the 1.000 s render"},
        {{"--out", out, "--in", clock, "--rate", "44100"},
         2,
         "--rate 44100 differs from the 48000 Hz of " + clock + " (tova-render does not resample)"},
        {{"--out", out, "--midi", ScratchPath("absent.mid")},
         1,
         ScratchPath("absent.mid") + ": No such file or directory"},
        {{"--out", out, "--midi", cut},
         1,
         cut + ": chunk at byte 0xE of 100 bytes runs past the end of the file"},
        {{"--out", out, "--midi", ScratchDirectory()}, 1, ""},
        {{"--out", out, "--in", cut}, 1, ""},
        {{"--out", out, "--state-in", clock}, 1, ""},
        {{"--out", out, "--import", ScratchPath("absent.wav")},
         1,
         ScratchPath("absent.wav") + ": No such file or directory"},
        {{"--out", out, "--import-plain", cut},
         1,
         cut + ": the component could not import it (status 'typ?')"},
        {{"--out", ScratchPath("no/such/folder.wav"), "--length", "0.1"}, 1, ""},
        {{"--out", ScratchPath("out.unknown"), "--length", "0.01"},
         1,
         ScratchPath("out.unknown") +
             ": no audio format known for this name's extension (try .wav)"},
    };
    for (const Case& c : cases)
    {
        std::string joined;
        for (const std::string& arg : c.args)
            joined += arg + " ";
        SCOPED_TRACE(joined);
        const Outcome outcome = RunTova(c.args);
        EXPECT_EQ(c.status, outcome.status);
        if (!c.message.empty())
        {
            EXPECT_EQ("tova-render: " + c.message + "\n", outcome.err);
        }
        EXPECT_EQ(0u, outcome.err.rfind("tova-render: ", 0)) << outcome.err;
        EXPECT_EQ(1, std::count(outcome.err.begin(), outcome.err.end(), '\n')) << outcome.err;
    }
}
