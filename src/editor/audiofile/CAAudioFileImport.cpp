#include "editor/audiofile/CAAudioFileImport.h"

#include "editor/audiofile/CAAudioFile.h"

#include <algorithm>

namespace
{
// The conversion buffer holds this many reader buffers: 2 MiB with the usual 32 KiB.
constexpr UInt32 kBuffersPerChunk = 64;
} // namespace

void InstallAudioFileImport()
{
    AudioFileInstallDecoder(&DecodeAudioFileForImport);
}

void DecodeAudioFileForImport(const std::string& path, SInt64 maxFrames, DecodedAudioFile& out)
{
    CAAudioFile file;
    file.Open(path);
    const AudioStreamBasicDescription& format = file.GetFileDataFormat();
    const UInt32 channels = format.mChannelsPerFrame;
    out.sampleRate = format.mSampleRate;
    out.channels = channels;
    out.fileFrames = static_cast<SInt64>(format.mFramesPerPacket) * file.GetNumberPackets();
    out.left.clear();
    out.right.clear();
    // Only mono and stereo files are stored.
    if (channels > 2 || maxFrames <= 0) return;

    // Floats in the machine's own byte order: the big-endian floats the import once asked for
    // are only right on a big-endian machine.
    file.SetClientDataFormat(CAAudioFile::FloatFormat(format.mSampleRate, channels));

    const UInt32 bufferBytes = kBuffersPerChunk * file.GetIOBufferSize();
    std::vector<float> buffer(bufferBytes / sizeof(float));
    AudioBufferList list;
    list.mNumberBuffers = 1;
    list.mBuffers[0].mNumberChannels = channels;
    list.mBuffers[0].mData = buffer.data();
    // The loop starts from the low 32 bits of the count, as the reader's packet counts are.
    auto count = static_cast<UInt32>(file.GetNumberPackets());
    const auto expected = static_cast<std::size_t>(
        std::clamp<SInt64>(std::min(out.fileFrames, maxFrames), 0, maxFrames));
    out.left.reserve(expected);
    out.right.reserve(expected);
    SInt64 stored = 0;
    while (stored < maxFrames)
    {
        list.mBuffers[0].mDataByteSize = bufferBytes;
        file.ReadPackets(count, &list);
        const UInt32 frames = list.mBuffers[0].mDataByteSize / sizeof(float) / channels;
        const auto n = static_cast<UInt32>(std::min<SInt64>(frames, maxFrames - stored));
        for (UInt32 i = 0; i < n; ++i)
        {
            out.left.push_back(buffer[std::size_t{i} * channels]);
            out.right.push_back(buffer[std::size_t{i} * channels + channels - 1]);
        }
        stored += n;
        if (count == 0) break;
    }
    file.Close();
}
