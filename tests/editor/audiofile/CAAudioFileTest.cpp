// The import's audio-file reader: files libsndfile writes come back frame for frame, across
// chunks and cut at the limit, and files it cannot read give their status.

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

// Whether decoded holds frames [0, count) of Exact within tolerance.
bool Holds(const DecodedAudioFile& decoded, std::int64_t count, float tolerance)
{
    for (std::int64_t i = 0; i < count; ++i)
        if (std::fabs(decoded.left[i] - Exact(i, 0)) > tolerance ||
            std::fabs(decoded.right[i] - Exact(i, 1)) > tolerance)
            return false;
    return true;
}
} // namespace

TEST(CAAudioFileImport, LosslessFilesComeBackFrameForFrameAndAreCutAtTheLimit)
{
    struct Case
    {
        const char* name;
        int format;
        std::int64_t frames;
    };
    // One chunk is 64 × 32768 bytes = 262144 stereo float frames; 300000 frames take two.
    const Case cases[] = {
        {"pcm16.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000},
        {"pcm24.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_24, 48000},
        {"float.caf", SF_FORMAT_CAF | SF_FORMAT_FLOAT, 48000},
        {"pcm16.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 48000},
        {"long.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 300000},
    };
    DecodedAudioFile decoded;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(WriteAudioFile(TempAudioPath(c.name), c.format, 48000, 2, c.frames, Exact));
        ASSERT_EQ(Decode(TempAudioPath(c.name), 1 << 24, decoded), noErr);
        EXPECT_EQ(decoded.sampleRate, 48000);
        EXPECT_EQ(decoded.channels, 2u);
        ASSERT_EQ(decoded.fileFrames, c.frames);
        ASSERT_TRUE(decoded.left.size() == decoded.right.size() &&
                    decoded.left.size() == static_cast<std::size_t>(c.frames));
        // Floats go into integers × 32767 and come out × 1/32768: within x/32768 of x.
        EXPECT_TRUE(Holds(decoded, c.frames, 1.0f / 32768));
    }
    ASSERT_EQ(Decode(TempAudioPath("long.wav"), 270001, decoded), noErr);
    EXPECT_EQ(decoded.left.size(), 270001u);
    EXPECT_EQ(decoded.fileFrames, 300000) << "the file's length, not what was kept";
    EXPECT_EQ(decoded.right.back(), Exact(270000, 1));
    ASSERT_EQ(Decode(TempAudioPath("long.wav"), 0, decoded), noErr);
    EXPECT_TRUE(decoded.left.empty());
    std::filesystem::remove_all(std::filesystem::path(TempAudioPath("x")).parent_path());
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
    std::filesystem::resize_file(flac, std::filesystem::file_size(flac) / 2);
    const std::string wav = TempAudioPath("cut.wav");
    ASSERT_TRUE(WriteAudioFile(wav, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 100, Exact));
    std::filesystem::resize_file(wav, 20); // inside the header
    std::ofstream(TempAudioPath("text.wav")) << "This is a shopping list, not a song.\n";
    const std::pair<const char*, OSStatus> cases[] = {
        {"missing.wav", kAudioFileFileNotFoundError},
        {"text.wav", kAudioFileUnsupportedFileTypeError},
        {"cut.wav", kAudioFileInvalidFileError},
        {"cut.flac", kAudioFileInvalidFileError},
    };
    for (const auto& [name, status] : cases)
    {
        SCOPED_TRACE(name);
        DecodedAudioFile decoded;
        std::string operation;
        EXPECT_EQ(Decode(TempAudioPath(name), 1 << 24, decoded, &operation), status);
        EXPECT_EQ(operation, name == std::string("cut.flac") ? "read audio file" // while reading
                                                             : "open audio file");
    }
    std::filesystem::remove_all(std::filesystem::path(TempAudioPath("x")).parent_path());
}
