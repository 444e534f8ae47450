// Audio-file import through properties 64003 and 64004: the tempo rule and the flags of the
// waiting sample, what is stored of mono, multichannel, short and damaged files, the pool's
// limits, and the next note on playing the imported sample.

#include "CTovaProbe.h"
#include "TovaHost.h"
#include "editor/audiofile/AudioFileTestUtil.h"

#include "editor/audiofile/CAAudioFileImport.h"
#include "samples/CSample.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace
{
class Import : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { InstallAudioFileImport(); }

    OSStatus Send(const std::string& path, bool withTempo = true)
    {
        return AudioUnitSetProperty(
            host.Unit(), withTempo ? kTovaProperty_ImportWithTempo : kTovaProperty_Import,
            kAudioUnitScope_Global, 0, path.data(), static_cast<UInt32>(path.size()));
    }

    // A stereo float WAV of frames frames at rate, left = i / 2^20, right = -left.
    std::string Wav(const std::string& name, std::int64_t frames, int rate = 44100,
                    int channels = 2)
    {
        const std::string path = TempAudioPath(name);
        EXPECT_TRUE(WriteAudioFile(path, SF_FORMAT_WAV | SF_FORMAT_FLOAT, rate, channels, frames,
                                   [](std::int64_t i, int c)
                                   {
                                       const float v = static_cast<float>(i) / (1 << 20);
                                       return c == 1 ? -v : v;
                                   }));
        files.push_back(path);
        return path;
    }

    void TearDown() override
    {
        for (const std::string& file : files)
            std::filesystem::remove(file);
    }

    CSample* Waiting() { return CTovaProbe(host.Tova()).ImportSample(); }
    CSampleFactory& Pool() { return CTovaProbe(host.Tova()).Factory(); }

    TovaHost host{44100, 512};
    std::vector<std::string> files;
};
} // namespace

TEST_F(Import, TwoSecondsAt44100GiveTempo120AndSyncToTheBar)
{
    // 44100 × 240 / 88200 = 120.
    ASSERT_EQ(Send(Wav("two.wav", 88200)), noErr);
    CSample* sample = Waiting();
    ASSERT_NE(sample, nullptr);
    EXPECT_EQ(sample->Tempo(), 120.0);
    EXPECT_EQ(sample->Sync(), 2);
    EXPECT_FALSE(sample->NeverLoop());
    EXPECT_FALSE(sample->PlayAll());
    EXPECT_EQ(sample->SampleRate(), 44100.0);
    ASSERT_EQ(sample->Size(), 88200);
    EXPECT_EQ(sample->RefCount(), 1);
    for (const int i : {0, 1, 4096, 88199})
    {
        EXPECT_EQ(Pool().Left()[sample->Start() + i], static_cast<float>(i) / (1 << 20));
        EXPECT_EQ(Pool().Right()[sample->Start() + i], -static_cast<float>(i) / (1 << 20));
    }
}

TEST_F(Import, TheTempoRuleDoublesSlowLoopsAndDropsFastOnes)
{
    struct Case
    {
        std::int64_t frames;
        int rate;
        bool withTempo;
        double tempo;
        bool playAll;
    };
    const Case cases[] = {
        {176400, 44100, true, 120.0, false}, // 4 s: t = 60, doubled to 120
        {352800, 44100, true, 120.0, false}, // 8 s: 30 → 60 → 120
        {132300, 44100, true, 80.0, false},  // 3 s: t = 80 exactly, kept
        {44100, 44100, true, -1.0, true},    // 1 s: t = 240 > 180, no tempo, shorter than 2 s
        {58800, 44100, true, 180.0, false},  // 4/3 s: t = 180, not above it
        {88200, 44100, false, -1.0, false},  // 2 s without tempo: not shorter than 2 s
        {88199, 44100, false, -1.0, true},   // one frame shorter
        {96000, 48000, true, 120.0, false},  // 2 s at 48 kHz
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(::testing::Message() << c.frames << " frames at " << c.rate
                                          << (c.withTempo ? " with tempo" : " without"));
        ASSERT_EQ(Send(Wav("rule.wav", c.frames, c.rate), c.withTempo), noErr);
        CSample* sample = Waiting();
        ASSERT_NE(sample, nullptr);
        EXPECT_EQ(sample->Tempo(), c.tempo);
        EXPECT_EQ(sample->Sync(), c.tempo == -1.0 ? 0 : 2);
        EXPECT_EQ(sample->NeverLoop(), c.tempo == -1.0);
        EXPECT_EQ(sample->PlayAll(), c.playAll);
        EXPECT_EQ(sample->SampleRate(), c.rate);
    }
}

TEST_F(Import, ASecondImportReplacesTheFirstWhoseFramesAreReclaimed)
{
    ASSERT_EQ(Send(Wav("first.wav", 50000)), noErr);
    CSample* first = Waiting();
    ASSERT_NE(first, nullptr);
    ASSERT_EQ(Send(Wav("second.wav", 30000)), noErr);
    CSample* second = Waiting();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->Size(), 30000);
    EXPECT_EQ(Pool().Fill(), 30000);
    EXPECT_EQ(second->Start(), 0);
    int used = 0;
    for (int i = 0; i < CTova::kPoolSamples; ++i)
        used += Pool().GetSample(i)->IsUsed() ? 1 : 0;
    EXPECT_EQ(used, 1);
}

TEST_F(Import, SixteenFramesOrFewerLeaveNothingWaitingAndReleaseTheWaitingSample)
{
    ASSERT_EQ(Send(Wav("long.wav", 1000)), noErr);
    ASSERT_NE(Waiting(), nullptr);
    ASSERT_EQ(Send(Wav("sixteen.wav", 16)), noErr);
    EXPECT_EQ(Waiting(), nullptr);
    EXPECT_EQ(Pool().Fill(), 0);
    ASSERT_EQ(Send(Wav("seventeen.wav", 17)), noErr);
    ASSERT_NE(Waiting(), nullptr);
    EXPECT_EQ(Waiting()->Size(), 17);
}

TEST_F(Import, MonoIsStoredInBothChannelsAndThreeChannelsNotAtAll)
{
    ASSERT_EQ(Send(Wav("mono.wav", 1000, 44100, 1)), noErr);
    CSample* sample = Waiting();
    ASSERT_NE(sample, nullptr);
    bool same = true;
    for (int i = 0; i < 1000; ++i)
        same = same && Pool().Left()[sample->Start() + i] == Pool().Right()[sample->Start() + i] &&
               Pool().Left()[sample->Start() + i] == static_cast<float>(i) / (1 << 20);
    EXPECT_TRUE(same);

    ASSERT_EQ(Send(Wav("three.wav", 1000, 44100, 3)), noErr);
    EXPECT_EQ(Waiting(), nullptr);
    EXPECT_EQ(Pool().Fill(), 0);
}

TEST_F(Import, FilesThatCannotBeReadFailAndLeaveNothingWaiting)
{
    // The reader's tests give every way a file fails; here the waiting sample and the pool.
    const std::string cut = Wav("cut.wav", 1000);
    std::filesystem::resize_file(cut, 20);
    for (const auto& [path, status] :
         {std::pair{TempAudioPath("missing.wav"), kAudioFileFileNotFoundError},
          std::pair{cut, kAudioFileInvalidFileError}})
    {
        SCOPED_TRACE(path);
        ASSERT_EQ(Send(Wav("before.wav", 1000)), noErr);
        ASSERT_NE(Waiting(), nullptr);
        EXPECT_EQ(Send(path), status);
        EXPECT_EQ(Waiting(), nullptr);
        EXPECT_EQ(Pool().Fill(), 0);
    }
}

TEST_F(Import, PathsThatNameNoFileAreRefused)
{
    const char withZero[] = "a\0b.wav";
    EXPECT_EQ(AudioUnitSetProperty(host.Unit(), kTovaProperty_Import, kAudioUnitScope_Global, 0,
                                   withZero, sizeof withZero - 1),
              kAudio_ParamError);
    EXPECT_EQ(
        AudioUnitSetProperty(host.Unit(), kTovaProperty_Import, kAudioUnitScope_Global, 0, "", 0),
        kAudio_ParamError);
    const std::string longPath(4096, 'x');
    EXPECT_EQ(Send(longPath), kAudio_ParamError);
    // A terminating zero is part of a C string, not of the path.
    const std::string path = Wav("zero.wav", 100);
    EXPECT_EQ(AudioUnitSetProperty(host.Unit(), kTovaProperty_Import, kAudioUnitScope_Global, 0,
                                   path.c_str(), static_cast<UInt32>(path.size() + 1)),
              noErr);
    EXPECT_NE(Waiting(), nullptr);
}

TEST_F(Import, AFileThatFillsThePoolIsCutAtItsEnd)
{
    CTovaProbe probe(host.Tova());
    probe.GiveSample(10, CTova::kPoolFrames - 1000);
    ASSERT_EQ(Send(Wav("cut.wav", 88200)), noErr);
    ASSERT_NE(Waiting(), nullptr);
    EXPECT_EQ(Waiting()->Size(), 1000);
    EXPECT_EQ(Pool().Fill(), CTova::kPoolFrames);
    EXPECT_EQ(Waiting()->Tempo(), 120.0) << "the tempo follows from the file's length";
}

TEST_F(Import, WithEverySlotTakenNothingIsImported)
{
    CTovaProbe probe(host.Tova());
    for (int k = 0; k < CTova::kPoolSamples; ++k)
        probe.GiveSample(k, 20);
    EXPECT_EQ(Send(Wav("nowhere.wav", 1000)), kAudio_MemFullError);
    EXPECT_EQ(Waiting(), nullptr);
    EXPECT_EQ(Pool().Fill(), CTova::kPoolSamples * 20);
}

TEST_F(Import, AnImportDuringARecordingGoesBeforeItAndTheRecordingKeepsEveryFrame)
{
    host.SetInput(TovaHost::Constant(44100, 0.5f));
    host.Set(kTovaParam_Threshold, -20);
    host.Set(kTovaParam_Recording, 1);
    host.NoteOn(60);
    host.Render(512);
    host.Render(512);
    CTovaProbe probe(host.Tova());
    CSample* recording = probe.RecordSample();
    ASSERT_NE(recording, nullptr);
    const int recorded = recording->Size();
    ASSERT_GT(recorded, 0);
    ASSERT_EQ(Send(Wav("during.wav", 3000)), noErr);
    ASSERT_NE(Waiting(), nullptr);
    EXPECT_EQ(Waiting()->Start(), 0);
    EXPECT_EQ(recording->Start(), 3000);
    host.Render(512);
    EXPECT_EQ(recording->Size(), recorded + 512);
    bool intact = true;
    for (int i = 0; i < recording->Size(); ++i)
        intact = intact && Pool().Left()[recording->Start() + i] == 0.5f;
    EXPECT_TRUE(intact);
}

TEST_F(Import, TheNextNoteOnTakesTheImportedSampleAndTheKeyPlaysIt)
{
    const std::string path = TempAudioPath("tone.wav");
    files.push_back(path);
    ASSERT_TRUE(WriteAudioFile(path, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 2, 44100,
                               [](std::int64_t, int) { return 0.5f; }));
    ASSERT_EQ(Send(path, false), noErr);
    CSample* sample = Waiting();
    ASSERT_NE(sample, nullptr);
    // The next note on takes the sample; pressed again, the key plays it.
    host.NoteOn(60);
    host.Render(512);
    CTovaProbe probe(host.Tova());
    EXPECT_EQ(probe.Key(60).Sample(), sample);
    EXPECT_EQ(Waiting(), nullptr);
    host.NoteOff(60);
    host.NoteOn(60);
    host.ClearOutput();
    for (int block = 0; block < 8; ++block)
        host.Render(512);
    float loudest = 0;
    for (const float x : host.Left(0))
        loudest = std::max(loudest, std::abs(x));
    EXPECT_GT(loudest, 0.1f) << "the key plays the file";
}

TEST_F(Import, WithoutADecoderEveryImportFails)
{
    AudioFileInstallDecoder(nullptr);
    EXPECT_EQ(Send(Wav("undecoded.wav", 1000)), kAudioFileUnsupportedFileTypeError);
    EXPECT_EQ(Waiting(), nullptr);
    InstallAudioFileImport();
}
