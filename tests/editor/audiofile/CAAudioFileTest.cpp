// The import's audio-file reader: files libsndfile writes come back frame for frame (or, when
// lossy, as the same tone), long files cross chunks and are cut at the limit, and files it
// cannot read give their status.

#include "AudioFileTestUtil.h"

#include "editor/audiofile/CAAudioFileImport.h"
#include "editor/audiofile/CAXException.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

namespace
{
// Exactly representable in every PCM encoding from 16 bits up: multiples of 1/256.
float Exact(std::int64_t frame, int channel)
{
    return static_cast<float>((frame % 200) - 100 + 50 * channel) / 256.0f;
}

// The status of the CAXException the decode throws (noErr when none), with its operation.
OSStatus Decode(const std::string& path, SInt64 limit, DecodedAudioFile& decoded,
                std::string* operation = nullptr)
{
    try
    {
        DecodeAudioFileForImport(path, limit, decoded);
    }
    catch (const CAXException& e)
    {
        if (operation != nullptr) *operation = e.what();
        return e.Error();
    }
    return noErr;
}

double Rms(const std::vector<float>& x, std::size_t from)
{
    double sum = 0;
    for (std::size_t i = from; i < x.size(); ++i)
        sum += double{x[i]} * x[i];
    return std::sqrt(sum / static_cast<double>(x.size() - from));
}
} // namespace

TEST(CAAudioFileImport, DecodesEveryFormatLibsndfileWrites)
{
    struct Case
    {
        const char* name;
        int format;
        int rate;
        bool lossless;
    };
    const Case cases[] = {
        {"pcm16.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, true},
        {"pcm24.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_24, 48000, true},
        {"float.caf", SF_FORMAT_CAF | SF_FORMAT_FLOAT, 96000, true},
        {"lossless.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, true},
        {"vorbis.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100, false},
        {"opus.opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, 48000, false},
        {"layer3.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 44100, false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const std::string path = TempAudioPath(c.name);
        const int rate = c.rate;
        const std::int64_t frames = rate; // one second
        ASSERT_TRUE(WriteAudioFile(path, c.format, rate, 2, frames,
                                   [&](std::int64_t i, int ch)
                                   { return c.lossless ? Exact(i, ch) : Sine440(i, rate); }));
        DecodedAudioFile decoded;
        ASSERT_EQ(Decode(path, 1 << 24, decoded), noErr);
        EXPECT_EQ(decoded.sampleRate, rate);
        EXPECT_EQ(decoded.channels, 2u);
        EXPECT_EQ(decoded.left.size(), decoded.right.size());
        EXPECT_EQ(static_cast<SInt64>(decoded.left.size()), decoded.fileFrames);
        if (c.lossless)
        {
            // Floats go into integers × 32767 and come out × 1/32768: within x/32768 of x.
            ASSERT_EQ(decoded.fileFrames, frames);
            bool close = true;
            for (std::int64_t i = 0; i < frames && close; ++i)
                close = std::fabs(decoded.left[i] - Exact(i, 0)) <= 1.0f / 32768 &&
                        std::fabs(decoded.right[i] - Exact(i, 1)) <= 1.0f / 32768;
            EXPECT_TRUE(close);
        }
        else
        {
            // Encoders add priming and padding; a sine of amplitude 0.5 has RMS 0.5/√2 = 0.354.
            EXPECT_NEAR(static_cast<double>(decoded.fileFrames), frames, 0.1 * frames);
            EXPECT_NEAR(Rms(decoded.left, decoded.left.size() / 4), 0.354, 0.05);
            EXPECT_NEAR(Rms(decoded.right, decoded.right.size() / 4), 0.354, 0.05);
        }
        std::filesystem::remove(path);
    }
}

TEST(CAAudioFileImport, LongFilesCrossChunksIntactAndAreCutAtTheLimit)
{
    // One chunk is 64 × 32768 bytes = 262144 stereo float frames; 300000 frames take two.
    const std::string path = TempAudioPath("long.wav");
    ASSERT_TRUE(WriteAudioFile(path, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 2, 300000, Exact));
    DecodedAudioFile decoded;
    ASSERT_EQ(Decode(path, 1 << 24, decoded), noErr);
    ASSERT_EQ(decoded.left.size(), 300000u);
    bool same = true;
    for (std::int64_t i = 0; i < 300000 && same; ++i)
        same = decoded.left[i] == Exact(i, 0) && decoded.right[i] == Exact(i, 1);
    EXPECT_TRUE(same);

    ASSERT_EQ(Decode(path, 270001, decoded), noErr);
    EXPECT_EQ(decoded.left.size(), 270001u);
    EXPECT_EQ(decoded.fileFrames, 300000) << "the file's length, not what was kept";
    EXPECT_EQ(decoded.right.back(), Exact(270000, 1));
    ASSERT_EQ(Decode(path, 0, decoded), noErr);
    EXPECT_TRUE(decoded.left.empty());
    std::filesystem::remove(path);
}

TEST(CAAudioFileImport, FilesItCannotReadGiveTheirStatus)
{
    // White noise compresses badly, so a FLAC file cut to half its size ends mid-frame.
    const std::string flac = TempAudioPath("cut.flac");
    std::uint32_t seed = 1;
    ASSERT_TRUE(WriteAudioFile(flac, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 2, 132300,
                               [&](std::int64_t, int)
                               {
                                   seed = seed * 1664525u + 1013904223u;
                                   return static_cast<float>(seed >> 8) / 16777216.0f - 0.5f;
                               }));
    const std::string wav = TempAudioPath("cut.wav");
    ASSERT_TRUE(WriteAudioFile(wav, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 100, Exact));
    std::filesystem::resize_file(flac, std::filesystem::file_size(flac) / 2);
    std::filesystem::resize_file(wav, 20); // inside the header
    std::ofstream(TempAudioPath("empty.wav"));
    std::ofstream(TempAudioPath("text.wav")) << "This is a shopping list, not a song.\n";
    std::filesystem::create_directories(TempAudioPath("folder"));
    struct Case
    {
        const char* name;
        OSStatus expected;
        const char* operation;
    };
    const Case cases[] = {
        {"missing.wav", kAudioFileFileNotFoundError, "open audio file"},
        {"empty.wav", kAudioFileUnsupportedFileTypeError, nullptr},
        {"text.wav", kAudioFileUnsupportedFileTypeError, nullptr},
        {"cut.wav", kAudioFileInvalidFileError, nullptr},
        {"cut.flac", kAudioFileInvalidFileError, "read audio file"}, // fails while reading
        {"folder", kAudioFileUnsupportedFileTypeError, nullptr},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        DecodedAudioFile decoded;
        std::string operation;
        EXPECT_EQ(Decode(TempAudioPath(c.name), 1 << 24, decoded, &operation), c.expected);
        if (c.operation != nullptr)
        {
            EXPECT_EQ(operation, c.operation);
        }
    }
    std::filesystem::remove_all(std::filesystem::path(TempAudioPath("x")).parent_path());
}
