// MIDI through the frame's dispatch: learned notes, controllers and the pitch wheel, and what a
// delivered note does to its key (record, erase, copy, import, play, legato).
//
// 48 kHz at 120 bpm: a beat is 24000 frames; blocks of 375 frames are 1/64 beat.

#include "integration/CTovaProbe.h"
#include "integration/ParameterListener.h"
#include "integration/RecordedFrames.h"
#include "integration/TovaHost.h"

#include "samples/CSample.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
constexpr double kRate = 48000;
constexpr int kBeat = 24000;
constexpr UInt32 kBlock = 375;
constexpr UInt8 kControlChange = 0xB0;
constexpr UInt8 kPitchWheel = 0xE0;

class MidiScenario : public ::testing::Test
{
protected:
    MidiScenario() : host(kRate), probe(host.Tova()) { CTova::SetLearnDefaults(); }
    // The learn tables belong to the process: the next test starts from the defaults.
    ~MidiScenario() override { CTova::SetLearnDefaults(); }

    void Render() { ASSERT_EQ(noErr, host.Render(kBlock)); }
    void Learn(AudioUnitParameterID id) { probe.LearnParam() = static_cast<SInt16>(id); }
    void Control(UInt8 controller, UInt8 value)
    {
        ASSERT_EQ(noErr, host.Midi(kControlChange, controller, value));
    }
    void Wheel(UInt8 lsb, UInt8 msb) { ASSERT_EQ(noErr, host.Midi(kPitchWheel, lsb, msb)); }

    TovaHost host;
    CTovaProbe probe;
};
} // namespace

TEST_F(MidiScenario, DefaultNotesAreMomentaryButtonsAndQueueNothing)
{
    struct Binding
    {
        UInt8 note;
        AudioUnitParameterID id;
    };
    for (const Binding binding : {Binding{48, kTovaParam_Recording},
                                  Binding{49, kTovaParam_Erasing}, Binding{50, kTovaParam_Copying}})
    {
        SCOPED_TRACE(binding.note);
        // An own sample: a queued note on would play it, or with "Recording" on re-record it.
        probe.GiveSample(binding.note, 1000);
        ParameterListener listener(host.Unit(), {binding.id});
        host.NoteOn(binding.note);
        EXPECT_EQ(1.0f, host.Get(binding.id));
        Render();
        EXPECT_EQ(1.0f, host.Get(binding.id));
        host.NoteOff(binding.note);
        EXPECT_EQ(0.0f, host.Get(binding.id));
        Render();
        EXPECT_EQ(0, probe.Voicer(0).Top());
        EXPECT_EQ(0, probe.HeldCount());
        EXPECT_EQ(-1, probe.PendingStart());
        const auto& heard = listener.Heard();
        ASSERT_EQ(2u, heard.size());
        EXPECT_EQ(1.0f, heard[0].second);
        EXPECT_EQ(0.0f, heard[1].second);
    }
}

TEST_F(MidiScenario, LearningBindsANoteWithoutPlayingItAndTheSameNoteAgainUnbindsIt)
{
    probe.GiveSample(70, 100000);
    probe.EraseCount() = 2;
    Learn(kTovaParam_Legato);
    host.NoteOn(70);
    EXPECT_EQ(kTovaParam_Legato, probe.LearnedNote(70).load());
    EXPECT_EQ(-1, probe.LearnParam().load());
    EXPECT_EQ(0.0f, host.Get(kTovaParam_Legato)); // learning only binds
    Render();
    EXPECT_EQ(0, probe.Voicer(0).Top());
    EXPECT_EQ(0, probe.EraseCount()); // learning a note starts the erase count again

    host.NoteOn(70);
    EXPECT_EQ(1.0f, host.Get(kTovaParam_Legato));
    host.NoteOff(70);
    EXPECT_EQ(0.0f, host.Get(kTovaParam_Legato));

    // Another parameter takes the note over; learning that one again on it unbinds it.
    Learn(kTovaParam_Copying);
    host.NoteOn(70);
    EXPECT_EQ(kTovaParam_Copying, probe.LearnedNote(70).load());
    Learn(kTovaParam_Copying);
    host.NoteOn(70);
    EXPECT_EQ(-1, probe.LearnedNote(70).load());
    EXPECT_EQ(0.0f, host.Get(kTovaParam_Copying));
    Render();
    EXPECT_EQ(0, probe.Voicer(0).Top());

    host.NoteOn(70); // an ordinary note again
    Render();
    EXPECT_EQ(1, probe.Voicer(0).Top());
    EXPECT_TRUE(probe.Key(70).IsPlaying());
}

TEST_F(MidiScenario, ARelativeControllerStepsByOneHundredTwentyEighthsUntilItTurnsAbsolute)
{
    // "Tape Speed" 0 … 10, default 1: the default's step is trunc(0.1 × 128 + 0.5) = 13 and a
    // step is 10 / 128 = 0.078125.
    Learn(kTovaParam_TapeSpeed);
    Control(20, 65);
    EXPECT_EQ(1, probe.Incremental(20).load());
    EXPECT_EQ(1.09375f, host.Get(kTovaParam_TapeSpeed)); // step 13 + 1 = 14
    Control(20, 63);
    EXPECT_EQ(1.0f, host.Get(kTovaParam_TapeSpeed)); // back on 13: exactly the default
    Control(20, 63);
    EXPECT_EQ(0.9375f, host.Get(kTovaParam_TapeSpeed)); // 12
    Control(20, 87);
    EXPECT_EQ(2.734375f, host.Get(kTovaParam_TapeSpeed)); // 12 + 23 = 35
    Control(20, 40);
    EXPECT_EQ(0.859375f, host.Get(kTovaParam_TapeSpeed)); // 35 − 24 = 11
    EXPECT_EQ(1, probe.Incremental(20).load());
    for (int i = 0; i < 3; ++i)
        Control(20, 40);
    EXPECT_EQ(0.0f, host.Get(kTovaParam_TapeSpeed)); // held at the bottom of the range

    Control(20, 88); // outside 40 … 87: absolute from now on
    EXPECT_EQ(0, probe.Incremental(20).load());
    EXPECT_EQ(6.875f, host.Get(kTovaParam_TapeSpeed)); // 88 / 128 × 10
    Control(20, 65);
    EXPECT_EQ(5.078125f, host.Get(kTovaParam_TapeSpeed)); // 65 / 128 × 10, not a step
    EXPECT_EQ(0, probe.Incremental(20).load());

    // Learned again, the controller starts relative again.
    Learn(kTovaParam_TapeSpeed);
    Control(20, 65); // unbinds it
    EXPECT_EQ(-1, probe.LearnedCC(20).load());
    EXPECT_EQ(5.078125f, host.Get(kTovaParam_TapeSpeed));
    Learn(kTovaParam_TapeSpeed);
    Control(20, 65);
    EXPECT_EQ(1, probe.Incremental(20).load());
    EXPECT_EQ(5.15625f, host.Get(kTovaParam_TapeSpeed)); // trunc(65.5) = 65, + 1 = 66
}

TEST_F(MidiScenario, AnAbsoluteControllerReachesTheMaximumAndTheExactDefault)
{
    // "Pitch" −24 … 24, default 0 on step 64.
    Learn(kTovaParam_Pitch);
    Control(21, 0);
    EXPECT_EQ(-24.0f, host.Get(kTovaParam_Pitch));
    Control(21, 127); // taken as 128
    EXPECT_EQ(24.0f, host.Get(kTovaParam_Pitch));
    Control(21, 96);
    EXPECT_EQ(12.0f, host.Get(kTovaParam_Pitch));
    Control(21, 64);
    EXPECT_EQ(0.0f, host.Get(kTovaParam_Pitch));

    // "Tape Speed": step 13 would be 13 / 128 × 10 = 1.015625, but it is the default's step.
    Learn(kTovaParam_TapeSpeed);
    Control(22, 0);
    EXPECT_EQ(0.0f, host.Get(kTovaParam_TapeSpeed));
    Control(22, 13);
    EXPECT_EQ(1.0f, host.Get(kTovaParam_TapeSpeed));
    Control(22, 14);
    EXPECT_EQ(1.09375f, host.Get(kTovaParam_TapeSpeed));
}

TEST_F(MidiScenario, ThePitchWheelIsLearnedInItsOwnSlotAndAlwaysAbsolute)
{
    Learn(kTovaParam_Pitch);
    Wheel(0, 64); // 8192 / 16384 = 0.5
    EXPECT_EQ(kTovaParam_Pitch, probe.LearnedCC(CTova::kPitchWheelSlot).load());
    EXPECT_EQ(0, probe.Incremental(CTova::kPitchWheelSlot).load());
    EXPECT_EQ(0.0f, host.Get(kTovaParam_Pitch));
    Wheel(127, 127); // msb 127 taken as 128: past the top, clamped
    EXPECT_EQ(24.0f, host.Get(kTovaParam_Pitch));
    Wheel(0, 0);
    EXPECT_EQ(-24.0f, host.Get(kTovaParam_Pitch));
    Wheel(64, 96); // (96 × 128 + 64) / 16384 = 0.75390625 → −24 + 36.1875
    EXPECT_EQ(12.1875f, host.Get(kTovaParam_Pitch));
    Control(64, 0); // controllers keep their own slots
    EXPECT_EQ(12.1875f, host.Get(kTovaParam_Pitch));

    Learn(kTovaParam_Pitch);
    Wheel(0, 0);
    EXPECT_EQ(-1, probe.LearnedCC(CTova::kPitchWheelSlot).load());
    EXPECT_EQ(12.1875f, host.Get(kTovaParam_Pitch));
}

TEST_F(MidiScenario, EntriesNamingNoParameterOfOursBindNothing)
{
    // As preferences edited by hand might hold them.
    probe.LearnedNote(70) = 99;
    probe.LearnedCC(5) = 200;
    probe.GiveSample(70, 100000);
    host.NoteOn(70);
    Control(5, 100);
    Render();
    EXPECT_TRUE(probe.Key(70).IsPlaying());
    for (AudioUnitParameterID id = 0; id < kTovaParam_Count; ++id)
        EXPECT_EQ(CTova::s_asParInfo[id].defaultValue, host.Get(id)) << id;
}

TEST_F(MidiScenario, AnEmptyKeyPressedWhileAnotherRecordsStartsWhenTheRunningOneStops)
{
    TovaHost::Stereo signal = Loud(200000);
    const std::vector<float> input = signal.left;
    host.SetInput(std::move(signal));
    host.SetPlaying(true); // "To Beat"
    host.Set(kTovaParam_Recording, 1);
    host.NoteOn(62);
    ASSERT_EQ(noErr, host.RenderTo(42000, kBlock)); // 1.75 beats
    ASSERT_EQ(62, probe.RecordKey());
    host.NoteOn(64);
    ASSERT_EQ(noErr, host.RenderTo(2 * kBeat - kBlock, kBlock));
    EXPECT_EQ(62, probe.RecordKey()); // the second half of the beat waits
    EXPECT_EQ(64, probe.PendingStart());
    EXPECT_EQ(62, probe.PendingStop());
    ASSERT_EQ(noErr, host.RenderTo(2 * kBeat + kBlock, kBlock));
    EXPECT_EQ(64, probe.RecordKey());
    EXPECT_EQ(2 * kBeat, probe.Key(62).Size()); // frames 0 … 47999
    EXPECT_EQ(0, DifferingFrames(probe, 62, input, 0));

    host.NoteOff(62); // no longer the recording key: only a released note
    ASSERT_EQ(noErr, host.RenderTo(78000, kBlock)); // 3.25 beats
    EXPECT_EQ(64, probe.RecordKey());
    host.NoteOff(64);
    ASSERT_EQ(noErr, host.RenderTo(78000 + kBlock, kBlock));
    EXPECT_EQ(-1, probe.RecordKey());
    // Frames 48000 … 78015, cut to one beat; the new recording began where the other ended.
    EXPECT_EQ(kBeat, probe.Key(64).Size());
    EXPECT_EQ(0, DifferingFrames(probe, 64, input, 2 * kBeat));
    EXPECT_EQ(2 * kBeat, probe.Key(62).Size());
}

TEST_F(MidiScenario, LegatoBendsTheSoundingKeyInsteadOfStartingAVoice)
{
    probe.GiveSample(60, 200000);
    probe.GiveSample(64, 200000);
    host.Set(kTovaParam_Legato, 1);
    host.NoteOn(60);
    Render();
    ASSERT_TRUE(probe.Key(60).IsPlaying());
    EXPECT_EQ(60, probe.LegatoKey());

    host.NoteOn(64, 50);
    Render();
    EXPECT_EQ(1, probe.Voicer(0).Top());
    EXPECT_FALSE(probe.Key(64).IsPlaying());
    EXPECT_DOUBLE_EQ(1.2599210498948732, probe.Key(60).LegatoShift()); // 2^(4/12)
    EXPECT_EQ(0.5f, probe.Key(60).Gain());
    EXPECT_EQ(2, probe.HeldCount());

    host.NoteOff(64);
    Render();
    EXPECT_EQ(1.0, probe.Key(60).LegatoShift());
    EXPECT_TRUE(probe.Key(60).IsPlaying());
    EXPECT_EQ(1, probe.HeldCount());

    host.NoteOff(60);
    Render();
    EXPECT_FALSE(probe.Key(60).IsPlaying()); // recorded without a tempo: stops at once
    EXPECT_EQ(-1, probe.LegatoKey());
    EXPECT_EQ(0, probe.HeldCount());

    // Released the other way round: the key follows the note still held, and stops with it.
    host.NoteOn(60);
    Render();
    host.NoteOn(67);
    Render();
    host.NoteOff(60);
    Render();
    EXPECT_TRUE(probe.Key(60).IsPlaying());
    EXPECT_DOUBLE_EQ(1.4983070768766815, probe.Key(60).LegatoShift()); // 2^(7/12)
    host.NoteOff(67);
    Render();
    EXPECT_FALSE(probe.Key(60).IsPlaying());
}

TEST_F(MidiScenario, VelocityBecomesTheKeysGain)
{
    probe.GiveSample(60, 100000);
    probe.GiveSample(61, 100000);
    host.NoteOn(60, 127);
    host.NoteOn(61, 100);
    Render();
    EXPECT_EQ(1.27f, probe.Key(60).Gain());
    EXPECT_EQ(1.0f, probe.Key(61).Gain());
}

TEST_F(MidiScenario, ErasingEmptiesTheKeyOrTwiceEverySharerOfItsSample)
{
    CSample* low = probe.GiveSample(40, 1000);
    probe.GiveSample(70, 2000);
    // Filled around as a refill would: 40 rules 0 … 54, 70 rules 55 … 125.
    probe.CopySample(40, 0, 126, true, true);
    probe.CopySample(70, 0, 126, true, true);
    host.Set(kTovaParam_Erasing, 1);
    host.NoteOn(70);
    Render();
    EXPECT_EQ(0, probe.EraseCount());
    // The refill spreads 40 alone over 0 … 125.
    EXPECT_EQ(low, probe.Key(70).Sample());
    EXPECT_TRUE(probe.Key(70).Automatic());
    EXPECT_DOUBLE_EQ(std::exp2(30 / 12.0), probe.Key(70).PitchShift());
    EXPECT_EQ(1000, probe.Factory().Fill());
    EXPECT_EQ(0, probe.Voicer(0).Top());

    // Pressed twice: the sample of the next key pressed goes from every key that holds it,
    // the copies below its own key included, although the refill after each key would bring
    // it back from its own key while that one still holds it.
    for (int i = 0; i < 2; ++i)
    {
        host.Set(kTovaParam_Erasing, 0);
        host.Set(kTovaParam_Erasing, 1);
    }
    Render();
    ASSERT_EQ(2, probe.EraseCount());
    host.NoteOn(45);
    Render();
    for (int k = 0; k < CTova::kNumKeys; ++k)
        EXPECT_EQ(nullptr, probe.Key(k).Sample()) << k;
    EXPECT_FALSE(low->IsUsed());
    EXPECT_EQ(0, probe.Factory().Fill());
    EXPECT_EQ(0, probe.EraseCount());
}

TEST_F(MidiScenario, CopyingGivesAnEmptyKeyTheSourcesSampleTransposedAndNothingElse)
{
    CSample* own = probe.GiveSample(40, 1000);
    probe.CopySample(40, 1, 126, true, false); // keys 1 … 125
    host.Set(kTovaParam_Copying, 1);
    host.NoteOn(0); // no frames and not a copy: not a source
    Render();
    EXPECT_EQ(-1, probe.CopySource());
    host.NoteOn(10); // an automatic copy may be the source
    Render();
    EXPECT_EQ(10, probe.CopySource());
    host.NoteOn(127);
    host.NoteOn(126);
    host.NoteOn(60); // has frames: unchanged
    Render();
    EXPECT_EQ(own, probe.Key(127).Sample());
    EXPECT_FALSE(probe.Key(127).Automatic());
    // Key 10 plays 40 down 30 semitones; 127 is 117 above 10: 2^(87/12) of key 40's pitch.
    EXPECT_DOUBLE_EQ(std::exp2(87 / 12.0), probe.Key(127).PitchShift());
    EXPECT_DOUBLE_EQ(std::exp2(86 / 12.0), probe.Key(126).PitchShift());
    EXPECT_FALSE(probe.Key(126).Automatic());
    EXPECT_TRUE(probe.Key(60).Automatic());
    EXPECT_DOUBLE_EQ(std::exp2(20 / 12.0), probe.Key(60).PitchShift());
    EXPECT_TRUE(probe.Key(125).Automatic());
    EXPECT_EQ(nullptr, probe.Key(0).Sample());
    EXPECT_EQ(0, probe.Voicer(0).Top());
    EXPECT_EQ(10, probe.CopySource()); // chosen until "Copying" is set again

    host.Set(kTovaParam_Copying, 1);
    host.NoteOn(127);
    Render();
    EXPECT_EQ(127, probe.CopySource());
}

TEST_F(MidiScenario, AWaitingImportGoesToTheNextKeyPressedEvenWhileRecordingIsOn)
{
    CSample* import = probe.GiveImport(3000);
    host.Set(kTovaParam_Recording, 1);
    host.NoteOn(70);
    Render();
    EXPECT_EQ(nullptr, probe.ImportSample());
    EXPECT_EQ(import, probe.Key(70).Sample());
    EXPECT_FALSE(probe.Key(70).Automatic());
    EXPECT_EQ(1.0, probe.Key(70).PitchShift());
    EXPECT_EQ(-1, probe.PendingStart());
    EXPECT_EQ(-1, probe.RecordKey());
    EXPECT_EQ(0, probe.Voicer(0).Top());
    EXPECT_TRUE(probe.Key(1).Automatic()); // spread over 1 … 125
    EXPECT_EQ(import, probe.Key(125).Sample());
    EXPECT_EQ(125, import->RefCount());

    host.NoteOff(70);
    host.NoteOn(70); // own sample now: recording falls through to playing it
    Render();
    EXPECT_EQ(-1, probe.PendingStart());
    EXPECT_TRUE(probe.Key(70).IsPlaying());
}

TEST_F(MidiScenario, HeldNotesKeepTheNewest127AndAllNotesOffForgetsThem)
{
    for (UInt8 note : {48, 49, 50})
        probe.LearnedNote(note) = -1;
    for (int note = 0; note < CTova::kNumKeys; ++note)
        host.NoteOn(static_cast<UInt8>(note));
    Render();
    EXPECT_EQ(127, probe.HeldCount());
    EXPECT_EQ(1, probe.HeldNote(0)); // key 0, the oldest, was dropped
    EXPECT_EQ(127, probe.HeldNote(126));
    host.Midi(kControlChange, 123, 0); // all notes off
    Render();
    EXPECT_EQ(0, probe.HeldCount());
}
