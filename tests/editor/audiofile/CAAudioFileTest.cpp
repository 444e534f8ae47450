// The import's audio-file reader: formats, lengths and frames of files in every format libsndfile
// writes here, the packet-count protocol of ReadPackets, the client formats it converts to, and
// the status codes of files it cannot read.  (How mono and wider files are stored is an import
// scenario on the integration harness.)

#include "AudioFileTestUtil.h"

#include "editor/audiofile/CAAudioFile.h"
#include "editor/audiofile/CAAudioFileImport.h"
#include "editor/audiofile/CAXException.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

namespace
{
// Exactly representable in every PCM encoding from 16 bits up: multiples of 1/256.
float Exact(std::int64_t frame, int channel)
{
    return static_cast<float>((frame % 200) - 100 + 50 * channel) / 256.0f;
}

// The status of the CAXException that call throws, with its operation text; 0 when none.
template <class Call> OSStatus Thrown(Call call, std::string* operation = nullptr)
{
    try
    {
        call();
    }
    catch (const CAXException& e)
    {
        if (operation != nullptr) *operation = e.what();
        return e.Error();
    }
    return noErr;
}

AudioBufferList OneBuffer(std::vector<float>& buffer)
{
    AudioBufferList list;
    list.mNumberBuffers = 1;
    list.mBuffers[0].mData = buffer.data();
    list.mBuffers[0].mDataByteSize = static_cast<UInt32>(buffer.size() * sizeof(float));
    return list;
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Root mean square of a channel from frame `from` on.
double Rms(const std::vector<float>& x, std::size_t from)
{
    double sum = 0;
    for (std::size_t i = from; i < x.size(); ++i)
        sum += double{x[i]} * x[i];
    return x.size() > from ? std::sqrt(sum / static_cast<double>(x.size() - from)) : 0.0;
}
} // namespace

TEST(CAAudioFile, OpenReportsTheFormatAndReadPacketsWhatFitsThenZeroAtTheEnd)
{
    const std::string pcm = TempAudioPath("format.wav");
    ASSERT_TRUE(WriteAudioFile(pcm, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 1000, Exact));
    CAAudioFile opened;
    opened.Open(pcm);
    const AudioStreamBasicDescription& format = opened.GetFileDataFormat();
    EXPECT_EQ(format.mSampleRate, 44100.0);
    EXPECT_EQ(format.mFormatID, kAudioFormatLinearPCM);
    EXPECT_EQ(format.mChannelsPerFrame, 2u);
    EXPECT_EQ(format.mFramesPerPacket, 1u);
    EXPECT_EQ(format.mBytesPerPacket, 4u); // 2 channels of 16 bits
    EXPECT_EQ(format.mBitsPerChannel, 16u);
    EXPECT_EQ(opened.GetNumberPackets(), 1000);
    EXPECT_EQ(opened.GetIOBufferSize(), CAAudioFile::kMinIOBufferSize);
    std::filesystem::remove(pcm);

    const std::string path = TempAudioPath("packets.wav");
    ASSERT_TRUE(WriteAudioFile(path, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 2, 25, Exact));
    CAAudioFile file;
    file.Open(path);
    std::vector<float> buffer(20); // room for 10 stereo packets
    AudioBufferList list = OneBuffer(buffer);
    {
        SCOPED_TRACE("more wanted than the buffer holds: 80 bytes / 8 per packet = 10");
        UInt32 count = 1000;
        file.ReadPackets(count, &list);
        EXPECT_EQ(count, 10u);
        EXPECT_EQ(list.mBuffers[0].mDataByteSize, 80u);
        for (int i = 0; i < 10; ++i)
        {
            EXPECT_EQ(buffer[2 * i], Exact(i, 0));
            EXPECT_EQ(buffer[2 * i + 1], Exact(i, 1));
        }
    }
    {
        SCOPED_TRACE("fewer wanted than fit");
        UInt32 count = 4;
        list.mBuffers[0].mDataByteSize = 80;
        file.ReadPackets(count, &list);
        EXPECT_EQ(count, 4u);
        EXPECT_EQ(list.mBuffers[0].mDataByteSize, 32u);
        EXPECT_EQ(buffer[0], Exact(10, 0));
    }
    {
        SCOPED_TRACE("the rest: 25 - 14 = 11 frames, 10 then 1, then the end");
        UInt32 count = 100;
        list.mBuffers[0].mDataByteSize = 80;
        file.ReadPackets(count, &list);
        EXPECT_EQ(count, 10u);
        count = 100;
        list.mBuffers[0].mDataByteSize = 80;
        file.ReadPackets(count, &list);
        EXPECT_EQ(count, 1u);
        EXPECT_EQ(buffer[1], Exact(24, 1));
        count = 100;
        list.mBuffers[0].mDataByteSize = 80;
        file.ReadPackets(count, &list);
        EXPECT_EQ(count, 0u);
        EXPECT_EQ(list.mBuffers[0].mDataByteSize, 0u);
    }
    std::filesystem::remove(path);
}

TEST(CAAudioFile, ClientFormatsAreBigEndianFloatsOrRefused)
{
    const std::string path = TempAudioPath("client.wav");
    ASSERT_TRUE(WriteAudioFile(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 10, Exact));
    CAAudioFile file;
    file.Open(path);
    const AudioStreamBasicDescription good = file.GetClientDataFormat();
    auto refused = [&](AudioStreamBasicDescription format)
    {
        std::string operation;
        EXPECT_EQ(Thrown([&] { file.SetClientDataFormat(format); }, &operation),
                  kAudioConverterErr_FormatNotSupported);
        EXPECT_EQ(operation, "set audio converter property");
    };
    AudioStreamBasicDescription format = good;
    {
        SCOPED_TRACE("another rate: no resampling");
        format.mSampleRate = 48000;
        refused(format);
    }
    {
        SCOPED_TRACE("another channel count: no remixing");
        format = good;
        format.mChannelsPerFrame = 1;
        format.mBytesPerFrame = format.mBytesPerPacket = 4;
        refused(format);
    }
    {
        SCOPED_TRACE("16-bit integers");
        format = good;
        format.mFormatFlags = kAudioFormatFlagIsSignedInteger | kAudioFormatFlagIsPacked;
        format.mBitsPerChannel = 16;
        format.mBytesPerFrame = format.mBytesPerPacket = 4;
        refused(format);
    }
    {
        SCOPED_TRACE("one buffer per channel");
        format = good;
        format.mFormatFlags |= kAudioFormatFlagIsNonInterleaved;
        refused(format);
    }
    EXPECT_EQ(Thrown([&] { file.SetClientDataFormat(good); }), noErr);
    std::filesystem::remove(path);

    // Big-endian floats, as the original import asked (flags 0xB), come byte-swapped.
    const std::string mono = TempAudioPath("bigendian.wav");
    ASSERT_TRUE(WriteAudioFile(mono, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 1, 4, Exact));
    CAAudioFile floats;
    floats.Open(mono);
    AudioStreamBasicDescription client = floats.GetClientDataFormat();
    client.mFormatFlags |= kAudioFormatFlagIsBigEndian; // 0xB, as the original import asked
    EXPECT_EQ(client.mFormatFlags, 0xBu);
    floats.SetClientDataFormat(client);
    std::vector<float> buffer(4);
    AudioBufferList list = OneBuffer(buffer);
    UInt32 count = 4;
    floats.ReadPackets(count, &list);
    ASSERT_EQ(count, 4u);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(std::bit_cast<std::uint32_t>(buffer[i]),
                  __builtin_bswap32(std::bit_cast<std::uint32_t>(Exact(i, 0))));
    std::filesystem::remove(mono);
}

TEST(CAAudioFile, CallsOutOfOrderAreRefused)
{
    const std::string path = TempAudioPath("order.wav");
    ASSERT_TRUE(WriteAudioFile(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 10, Exact));
    CAAudioFile file;
    std::vector<float> buffer(8);
    AudioBufferList list = OneBuffer(buffer);
    UInt32 count = 4;
    std::string operation;
    EXPECT_EQ(Thrown([&] { file.ReadPackets(count, &list); }, &operation), kAudioFileNotOpenError);
    EXPECT_EQ(operation, "read audio file");
    file.Open(path);
    EXPECT_NE(Thrown([&] { file.Open(path); }, &operation), noErr);
    EXPECT_EQ(operation, "file already open");
    EXPECT_EQ(Thrown([&] { file.ReadPackets(count, nullptr); }), kAudio_ParamError);
    file.Close();
    file.Close(); // a second close does nothing
    file.Open(path);
    EXPECT_EQ(file.GetNumberPackets(), 10);
    std::filesystem::remove(path);
}

TEST(CAAudioFile, FilesItCannotReadGiveTheirStatus)
{
    std::string operation;
    {
        SCOPED_TRACE("missing");
        CAAudioFile file;
        EXPECT_EQ(Thrown([&] { file.Open(TempAudioPath("missing.wav")); }, &operation),
                  kAudioFileFileNotFoundError);
        EXPECT_EQ(operation, "open audio file");
    }
    {
        SCOPED_TRACE("empty");
        const std::string path = TempAudioPath("empty.wav");
        WriteBytes(path, "");
        CAAudioFile file;
        EXPECT_EQ(Thrown([&] { file.Open(path); }), kAudioFileUnsupportedFileTypeError);
        std::filesystem::remove(path);
    }
    {
        SCOPED_TRACE("not audio");
        const std::string path = TempAudioPath("text.wav");
        WriteBytes(path, "This is a shopping list, not a song.\n");
        CAAudioFile file;
        EXPECT_EQ(Thrown([&] { file.Open(path); }), kAudioFileUnsupportedFileTypeError);
        std::filesystem::remove(path);
    }
    {
        SCOPED_TRACE("cut inside the header");
        const std::string path = TempAudioPath("cut.wav");
        ASSERT_TRUE(WriteAudioFile(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 100, Exact));
        WriteBytes(path, ReadBytes(path).substr(0, 20));
        CAAudioFile file;
        EXPECT_EQ(Thrown([&] { file.Open(path); }), kAudioFileInvalidFileError);
        std::filesystem::remove(path);
    }
    {
        SCOPED_TRACE("a directory");
        CAAudioFile file;
        const std::string path = TempAudioPath("folder");
        std::filesystem::create_directories(path);
        EXPECT_NE(Thrown([&] { file.Open(path); }), noErr);
        std::filesystem::remove(path);
    }
}

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
        ASSERT_EQ(Thrown([&] { DecodeAudioFileForImport(path, 1 << 24, decoded); }), noErr);
        EXPECT_EQ(decoded.sampleRate, rate);
        EXPECT_EQ(decoded.channels, 2u);
        EXPECT_EQ(decoded.left.size(), decoded.right.size());
        EXPECT_EQ(static_cast<SInt64>(decoded.left.size()), decoded.fileFrames);
        if (c.lossless)
        {
            // libsndfile scales floats by 32767 into integers and by 1/32768 out of them, so
            // a value comes back within 1/32768 of itself (x × 32767/32768 differs by x/32768).
            ASSERT_EQ(decoded.fileFrames, frames);
            bool close = true;
            for (std::int64_t i = 0; i < frames && close; ++i)
                close = std::fabs(decoded.left[i] - Exact(i, 0)) <= 1.0f / 32768 &&
                        std::fabs(decoded.right[i] - Exact(i, 1)) <= 1.0f / 32768;
            EXPECT_TRUE(close);
        }
        else
        {
            // Encoders add priming and padding frames; the tone itself comes through: a sine
            // of amplitude 0.5 has an RMS of 0.5 / sqrt(2) = 0.354.
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
    DecodeAudioFileForImport(path, 1 << 24, decoded);
    ASSERT_EQ(decoded.left.size(), 300000u);
    bool same = true;
    for (std::int64_t i = 0; i < 300000 && same; ++i)
        same = decoded.left[i] == Exact(i, 0) && decoded.right[i] == Exact(i, 1);
    EXPECT_TRUE(same);

    DecodeAudioFileForImport(path, 270001, decoded);
    EXPECT_EQ(decoded.left.size(), 270001u);
    EXPECT_EQ(decoded.fileFrames, 300000) << "the file's length, not what was kept";
    EXPECT_EQ(decoded.right.back(), Exact(270000, 1));
    DecodeAudioFileForImport(path, 0, decoded);
    EXPECT_TRUE(decoded.left.empty());
    std::filesystem::remove(path);
}

TEST(CAAudioFileImport, ADamagedStreamFailsWhileReading)
{
    // White noise compresses badly, so a FLAC file cut to half its size ends mid-frame.
    const std::string path = TempAudioPath("cut.flac");
    std::uint32_t seed = 1;
    ASSERT_TRUE(WriteAudioFile(path, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 2, 132300,
                               [&](std::int64_t, int)
                               {
                                   seed = seed * 1664525u + 1013904223u;
                                   return static_cast<float>(seed >> 8) / 16777216.0f - 0.5f;
                               }));
    const std::string bytes = ReadBytes(path);
    WriteBytes(path, bytes.substr(0, bytes.size() / 2));
    DecodedAudioFile decoded;
    std::string operation;
    EXPECT_EQ(Thrown([&] { DecodeAudioFileForImport(path, 1 << 24, decoded); }, &operation),
              kAudioFileInvalidFileError);
    EXPECT_EQ(operation, "read audio file");
    std::filesystem::remove(path);
}

TEST(CAXException, KeepsAtMost255CharactersOfTheOperation)
{
    const std::string text(300, 'x');
    const CAXException e(text, -43);
    EXPECT_EQ(std::strlen(e.what()), CAXException::kMaxOperation);
    EXPECT_EQ(e.Error(), -43);
}
