#include "RenderTestUtil.h"
#include "hosts/render/AudioFileReader.h"
#include "hosts/render/AudioFileWriter.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <vector>

namespace
{
struct Stereo
{
    std::vector<float> left;
    std::vector<float> right;
};

void Write(const std::string& path, const Stereo& audio, AudioFileWriter::SampleFormat format)
{
    AudioFileWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Open(path, 44100.0, format, error)) << error;
    ASSERT_TRUE(writer.WriteStereo(audio.left.data(), audio.right.data(),
                                   static_cast<std::uint32_t>(audio.left.size()), error))
        << error;
    ASSERT_TRUE(writer.Close(error)) << error;
}

Stereo ReadAll(const std::string& path, std::uint32_t frames)
{
    AudioFileReader reader;
    std::string error;
    EXPECT_TRUE(reader.Open(path, error)) << error;
    Stereo audio{std::vector<float>(frames + 8, -7.0f), std::vector<float>(frames + 8, -7.0f)};
    const std::uint32_t got = reader.ReadStereo(audio.left.data(), audio.right.data(), frames + 8);
    EXPECT_EQ(frames, got);
    audio.left.resize(got);
    audio.right.resize(got);
    return audio;
}

int FileFormat(const std::string& path)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file != nullptr) sf_close(file);
    return info.format;
}
} // namespace

TEST(AudioFile, FloatWavRoundTripIsExact)
{
    // More frames than one internal chunk (4096), with values beyond full scale kept as they are.
    Stereo audio;
    for (int i = 0; i < 10000; ++i)
    {
        audio.left.push_back(static_cast<float>(i) / 5000.0f - 1.0f);
        audio.right.push_back(i == 7 ? 1.75f : -0.25f * static_cast<float>(i % 5));
    }
    const std::string path = ScratchPath("float.wav");
    Write(path, audio, AudioFileWriter::SampleFormat::Float);
    EXPECT_EQ(SF_FORMAT_WAV | SF_FORMAT_FLOAT, FileFormat(path));
    const Stereo back = ReadAll(path, 10000);
    EXPECT_EQ(audio.left, back.left);
    EXPECT_EQ(audio.right, back.right);

    AudioFileReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(path, error));
    EXPECT_EQ(44100.0, reader.SampleRate());
    EXPECT_EQ(2, reader.Channels());
    EXPECT_EQ(10000u, reader.Frames());
}

TEST(AudioFile, IntegerOutputClipsInsteadOfWrapping)
{
    const Stereo audio{{1.5f, -1.5f, 0.5f}, {0.0f, 2.0f, -0.5f}};
    const std::string path = ScratchPath("clip.aiff");
    Write(path, audio, AudioFileWriter::SampleFormat::PCM16);
    EXPECT_EQ(SF_FORMAT_AIFF | SF_FORMAT_PCM_16, FileFormat(path));
    const Stereo back = ReadAll(path, 3);
    // Full scale of 16 bits reads back as 32767 / 32768.
    EXPECT_FLOAT_EQ(32767.0f / 32768.0f, back.left[0]);
    EXPECT_FLOAT_EQ(-1.0f, back.left[1]);
    EXPECT_FLOAT_EQ(0.5f, back.left[2]);
    EXPECT_FLOAT_EQ(32767.0f / 32768.0f, back.right[1]);
}

TEST(AudioFile, FormatFollowsTheExtension)
{
    const Stereo audio{{0.25f, 0.5f}, {-0.25f, -0.5f}};
    const std::string dir = ScratchDirectory();
    Write(dir + "/out.flac", audio, AudioFileWriter::SampleFormat::Float);
    // FLAC holds no floats: 24-bit integers instead.
    EXPECT_EQ(SF_FORMAT_FLAC | SF_FORMAT_PCM_24, FileFormat(dir + "/out.flac"));
    Write(dir + "/out.W64", audio, AudioFileWriter::SampleFormat::PCM24);
    EXPECT_EQ(SF_FORMAT_W64 | SF_FORMAT_PCM_24, FileFormat(dir + "/out.W64"));

    AudioFileWriter writer;
    std::string error;
    EXPECT_FALSE(
        writer.Open(dir + "/out.xyz", 44100.0, AudioFileWriter::SampleFormat::Float, error));
    EXPECT_NE(std::string::npos, error.find("extension"));
    EXPECT_FALSE(
        writer.Open(dir + ".d/noextension", 44100.0, AudioFileWriter::SampleFormat::Float, error));
    EXPECT_FALSE(writer.Open(dir + "/missing/out.wav", 44100.0,
                             AudioFileWriter::SampleFormat::Float, error));
    EXPECT_FALSE(error.empty());
}

TEST(AudioFile, MonoFeedsBothChannelsAndMoreThanTwoChannelsAreRefused)
{
    const auto write = [](const std::string& path, int channels, const float* samples)
    {
        SF_INFO info{};
        info.samplerate = 22050;
        info.channels = channels;
        info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
        SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
        ASSERT_NE(nullptr, file);
        sf_writef_float(file, samples, 1);
        sf_close(file);
    };
    const float samples[] = {0.125f, -0.5f, 0.75f};
    write(ScratchPath("mono.wav"), 1, samples);
    const Stereo back = ReadAll(ScratchPath("mono.wav"), 1);
    EXPECT_EQ(std::vector<float>{0.125f}, back.left);
    EXPECT_EQ(back.left, back.right);

    write(ScratchPath("three.wav"), 3, samples);
    AudioFileReader reader;
    std::string error;
    EXPECT_FALSE(reader.Open(ScratchPath("three.wav"), error));
    EXPECT_EQ("3 channels (mono or stereo input only)", error);
    EXPECT_FALSE(reader.Open(ScratchPath("missing.wav"), error));
    EXPECT_FALSE(error.empty());
}
