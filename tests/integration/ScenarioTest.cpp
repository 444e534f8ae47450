// Scenarios played through the host API: a synced recording, a learned MIDI controller, and an
// audio file imported and played. 48 kHz at 120 bpm: a beat is 48000 × 60 / 120 = 24000 frames,
// a 4-beat bar 96000; blocks of 375 frames are 1/64 beat.

#include "editor/audiofile/AudioFileTestUtil.h"
#include "integration/CTovaProbe.h"
#include "integration/TovaHost.h"

#include "editor/audiofile/CAAudioFileImport.h"
#include "samples/CSample.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <tuple>

TEST(TovaScenario, ABarSyncedRecordingTakesItsHeadFromTheLiveRingAndIsCutToWholeBars)
{
    constexpr UInt32 kBlock = 375;
    TovaHost host(48000);
    CTovaProbe probe(host.Tova());
    // Above the threshold 2^−8 and each different: 0.25 + i / 2^21.
    std::vector<float> input(200000);
    for (std::size_t i = 0; i < input.size(); ++i)
        input[i] = 0.25f + static_cast<float>(i) / (1 << 21);
    host.SetInput({input, input});
    host.Set(kTovaParam_Recording, 1);
    host.Set(kTovaParam_RecordSync, 2);
    host.clock.beat = 3; // the bar starts at beat 4, frame 24000
    host.SetPlaying(true);
    ASSERT_EQ(noErr, host.RenderFrames(54000, kBlock)); // beat 5.25, 1.25 beats into the bar
    host.NoteOn(62);
    ASSERT_EQ(noErr, host.Render(kBlock));
    EXPECT_EQ(62, probe.RecordKey()); // at once: 1.25 / 4 < 0.5
    // The first recorded sub-block brought the ring from the bar mark on: 54375 − 24000.
    EXPECT_EQ(54375 - 24000, probe.RecordSample()->Size());
    ASSERT_EQ(noErr, host.RenderFrames(126000 - 54375, kBlock)); // beat 8.25: stops at once
    host.NoteOff(62);
    ASSERT_EQ(noErr, host.Render(kBlock));
    EXPECT_EQ(-1, probe.RecordKey());
    // Frames 24000 … 126015: trunc(102016 / 96000) = 1 bar.
    const CSample* sample = probe.Key(62).Sample();
    ASSERT_NE(nullptr, sample);
    ASSERT_EQ(96000, sample->Size());
    EXPECT_EQ(2, sample->Sync());
    const float* frames = probe.Factory().Left() + sample->Start();
    EXPECT_EQ(0.0f, frames[0]); // faded in
    int differing = 0;
    for (int j = 50; j < 96000 - 50; ++j) // away from the 50 faded frames at either end
        differing += frames[j] != input[24000 + static_cast<std::size_t>(j)] ? 1 : 0;
    EXPECT_EQ(0, differing);
}

TEST(TovaScenario, ALearnedRelativeControllerStepsUntilItTurnsAbsolute)
{
    CTova::SetLearnDefaults();
    TovaHost host(48000);
    CTovaProbe probe(host.Tova());
    probe.LearnParam() = kTovaParam_TapeSpeed;
    // "Tape Speed" 0 … 10, default 1: a step is 10 / 128 = 0.078125, and relative moves start
    // from the default's step trunc(0.1 × 128 + 0.5) = 13.
    const std::tuple<UInt8, float, int> moves[] = {
        {65, 1.09375f, 1},   // 13 + 1 = 14
        {63, 1.0f, 1},       // back on 13: exactly the default
        {63, 0.9375f, 1},    // 12
        {87, 2.734375f, 1},  // 12 + 23 = 35
        {40, 0.859375f, 1},  // 35 − 24 = 11
        {40, 0.0f, 1},       // held at the bottom
        {88, 6.875f, 0},     // outside 40 … 87: absolute, 88 / 128 × 10
        {65, 5.078125f, 0}}; // 65 / 128 × 10, no longer a step
    for (const auto& [value, speed, incremental] : moves)
    {
        SCOPED_TRACE(static_cast<int>(value));
        ASSERT_EQ(noErr, host.Midi(0xB0, 20, value));
        EXPECT_EQ(speed, host.Get(kTovaParam_TapeSpeed));
        EXPECT_EQ(incremental, probe.Incremental(20).load());
    }
    CTova::SetLearnDefaults();
}

TEST(TovaScenario, AnImportedFileIsStoredFrameForFrameAndTheNextNoteTakesIt)
{
    InstallAudioFileImport();
    TovaHost host(44100, 512);
    const auto value = [](std::int64_t i, int channel)
    { return static_cast<float>(channel == 0 ? i : -i) / (1 << 20); };
    const std::string path = TempAudioPath("roundtrip.wav");
    ASSERT_TRUE(WriteAudioFile(path, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 2, 88200, value));
    const OSStatus status =
        AudioUnitSetProperty(host.Unit(), kTovaProperty_ImportWithTempo, kAudioUnitScope_Global, 0,
                             path.data(), static_cast<UInt32>(path.size()));
    std::filesystem::remove(path);
    ASSERT_EQ(noErr, status);
    CTovaProbe probe(host.Tova());
    CSample* sample = probe.ImportSample();
    ASSERT_NE(nullptr, sample);
    EXPECT_EQ(120.0, sample->Tempo()); // 44100 × 240 / 88200
    EXPECT_EQ(2, sample->Sync());
    ASSERT_EQ(88200, sample->Size());
    int differing = 0;
    for (int i = 0; i < 88200; ++i)
        differing += probe.Factory().Left()[sample->Start() + i] != value(i, 0) ||
                     probe.Factory().Right()[sample->Start() + i] != value(i, 1);
    EXPECT_EQ(0, differing);
    host.NoteOn(60);
    ASSERT_EQ(noErr, host.Render(512));
    EXPECT_EQ(sample, probe.Key(60).Sample());
    EXPECT_EQ(nullptr, probe.ImportSample());
}

TEST(TovaScenario, ABeatSyncedStopCutsToWholeBeatsAtOnceInTheFirstHalfElseAtTheNextBeat)
{
    constexpr UInt32 kBlock = 375;
    // Stop requests 2.3125, 2.703125 and 0.3125 beats after the start (148, 173 and 20 blocks).
    const struct
    {
        UInt32 blocks;
        bool atOnce;
        int beats;
    } cases[] = {{148, true, 2}, {173, false, 3}, {20, false, 1}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.blocks);
        TovaHost host(48000);
        CTovaProbe probe(host.Tova());
        host.SetInput(TovaHost::Constant(300000, 0.5f));
        host.Set(kTovaParam_Recording, 1);
        host.Set(kTovaParam_RecordSync, 1);
        host.SetPlaying(true);
        ASSERT_EQ(noErr, host.RenderFrames(24000, kBlock)); // beat 1.0
        host.NoteOn(62);
        ASSERT_EQ(noErr, host.RenderFrames(c.blocks * kBlock, kBlock));
        host.NoteOff(62);
        ASSERT_EQ(noErr, host.Render(kBlock));
        // A stop after 0.3125 beats finds less than a beat and is tried again until beat 2.
        EXPECT_EQ(c.atOnce ? -1 : 62, probe.RecordKey());
        ASSERT_EQ(noErr, host.RenderFrames(24000, kBlock));
        EXPECT_EQ(-1, probe.RecordKey());
        ASSERT_NE(nullptr, probe.Key(62).Sample());
        EXPECT_EQ(c.beats * 24000, probe.Key(62).Sample()->Size());
    }
}

TEST(TovaScenario, ANewRecordingSpreadsToTheMidpointBelowAndUpToKey125)
{
    TovaHost host(48000);
    CTovaProbe probe(host.Tova());
    CSample* own = probe.GiveSample(48, 1000);
    host.SetInput(TovaHost::Constant(10000, 0.5f));
    host.Set(kTovaParam_Recording, 1);
    host.NoteOn(60); // the host is stopped: start and stop at once, no cut
    ASSERT_EQ(noErr, host.RenderFrames(4096, 512));
    host.NoteOff(60);
    ASSERT_EQ(noErr, host.Render(512));
    const CSample* recorded = probe.Key(60).Sample();
    ASSERT_NE(nullptr, recorded);
    EXPECT_FALSE(probe.Key(60).Automatic());
    EXPECT_EQ(own, probe.Key(48).Sample());
    for (int k = 49; k < 128; ++k)
    {
        SCOPED_TRACE(k);
        const bool copy = (k >= 54 && k < 60) || (k > 60 && k <= 125);
        if (k == 60) continue;
        EXPECT_EQ(copy ? recorded : nullptr, probe.Key(k).Sample());
        if (!copy) continue;
        EXPECT_TRUE(probe.Key(k).Automatic());
        EXPECT_DOUBLE_EQ(std::exp2((k - 60) / 12.0), probe.Key(k).PitchShift());
    }
    EXPECT_DOUBLE_EQ(0.70710678118654757, probe.Key(54).PitchShift()); // 2^(−6/12)
}

TEST(TovaScenario, ARecordingThatFillsThePoolKeepsWhatFittedAndSwitchesRecordingOff)
{
    TovaHost host(48000);
    host.collect = false;
    CTovaProbe probe(host.Tova());
    probe.GiveSample(30, CTova::kPoolFrames - 10000); // 10000 frames left
    host.SetInput(TovaHost::Constant(20000, 0.5f));
    host.Set(kTovaParam_Recording, 1);
    host.NoteOn(62);
    ASSERT_EQ(noErr, host.RenderFrames(16384, 512));
    EXPECT_EQ(-1, probe.RecordKey());
    ASSERT_NE(nullptr, probe.Key(62).Sample());
    EXPECT_EQ(10000, probe.Key(62).Sample()->Size());
    EXPECT_EQ(0.0f, host.Get(kTovaParam_Recording));
    EXPECT_EQ(0.0f, host.Get(kTovaParam_Autolooper));
}
