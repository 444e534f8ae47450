#include "editor/audiofile/CAAudioFile.h"

#include "editor/audiofile/AudioFileDecoding.h"
#include "editor/audiofile/CAXException.h"

#include <sndfile.h>

#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdint>

namespace
{
// The extended audio-file services' status for calls made in the wrong order.
constexpr OSStatus kExtAudioFileError_InvalidOperationOrder = -66565;

constexpr UInt32 kFloatBytes = sizeof(float);

// Why libsndfile could not open a file, as the platform's status.
OSStatus OpenStatus(const std::string& path)
{
    if (::access(path.c_str(), F_OK) != 0)
        return errno == EACCES ? kAudioFilePermissionsError : kAudioFileFileNotFoundError;
    if (::access(path.c_str(), R_OK) != 0) return kAudioFilePermissionsError;
    switch (sf_error(nullptr))
    {
    case SF_ERR_UNRECOGNISED_FORMAT:
        return kAudioFileUnsupportedFileTypeError;
    case SF_ERR_UNSUPPORTED_ENCODING:
        return kAudioFileUnsupportedDataFormatError;
    case SF_ERR_SYSTEM:
        return kAudioFileUnspecifiedError;
    default: // malformed, and libsndfile's finer codes, which all describe a damaged file
        return kAudioFileInvalidFileError;
    }
}

// The file's encoding: its format id and, for linear PCM, bytes per sample (0 when the file
// is compressed and its packets have no fixed size).
struct Encoding
{
    UInt32 formatID;
    UInt32 flags;
    UInt32 bytes;
};

Encoding EncodingOf(int sfFormat)
{
    constexpr UInt32 kInt = kAudioFormatFlagIsSignedInteger | kAudioFormatFlagIsPacked;
    constexpr UInt32 kFloat = kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked;
    switch (sfFormat & SF_FORMAT_SUBMASK)
    {
    case SF_FORMAT_PCM_S8:
        return {kAudioFormatLinearPCM, kInt, 1};
    case SF_FORMAT_PCM_U8:
        return {kAudioFormatLinearPCM, kAudioFormatFlagIsPacked, 1};
    case SF_FORMAT_PCM_16:
        return {kAudioFormatLinearPCM, kInt, 2};
    case SF_FORMAT_PCM_24:
        return {kAudioFormatLinearPCM, kInt, 3};
    case SF_FORMAT_PCM_32:
        return {kAudioFormatLinearPCM, kInt, 4};
    case SF_FORMAT_FLOAT:
        return {kAudioFormatLinearPCM, kFloat, 4};
    case SF_FORMAT_DOUBLE:
        return {kAudioFormatLinearPCM, kFloat, 8};
    case SF_FORMAT_ULAW:
        return {FourCharCode("ulaw"), 0, 1};
    case SF_FORMAT_ALAW:
        return {FourCharCode("alaw"), 0, 1};
    case SF_FORMAT_VORBIS:
        return {FourCharCode("vorb"), 0, 0};
    case SF_FORMAT_OPUS:
        return {FourCharCode("opus"), 0, 0};
    case SF_FORMAT_MPEG_LAYER_III:
        return {FourCharCode(".mp3"), 0, 0};
    default:
        return (sfFormat & SF_FORMAT_TYPEMASK) == SF_FORMAT_FLAC
                   ? Encoding{FourCharCode("flac"), 0, 0}
                   : Encoding{FourCharCode("????"), 0, 0};
    }
}

} // namespace

AudioStreamBasicDescription CAAudioFile::FloatFormat(Float64 sampleRate, UInt32 channels)
{
    AudioStreamBasicDescription format;
    format.mSampleRate = sampleRate;
    format.mFormatID = kAudioFormatLinearPCM;
    format.mFormatFlags = kAudioFormatFlagsNativeFloatPacked;
    format.mBytesPerPacket = kFloatBytes * channels;
    format.mFramesPerPacket = 1;
    format.mBytesPerFrame = kFloatBytes * channels;
    format.mChannelsPerFrame = channels;
    format.mBitsPerChannel = 8 * kFloatBytes;
    return format;
}

CAAudioFile::~CAAudioFile()
{
    Close();
}

void CAAudioFile::Open(const std::string& path)
{
    if (mFile != nullptr)
        throw CAXException("file already open", kExtAudioFileError_InvalidOperationOrder);
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) throw CAXException("open audio file", OpenStatus(path));
    if (info.samplerate <= 0 || info.channels <= 0)
    {
        sf_close(file);
        throw CAXException("get audio file's data format", kAudioFileInvalidFileError);
    }
    if (info.frames < 0)
    {
        sf_close(file);
        throw CAXException("get audio file's packet count", kAudioFileInvalidFileError);
    }
    const auto channels = static_cast<UInt32>(info.channels);
    const Encoding encoding = EncodingOf(info.format);
    mFileFormat = AudioStreamBasicDescription{};
    mFileFormat.mSampleRate = info.samplerate;
    mFileFormat.mFormatID = encoding.formatID;
    mFileFormat.mFormatFlags = encoding.flags;
    mFileFormat.mBytesPerPacket = encoding.bytes * channels;
    mFileFormat.mFramesPerPacket = 1;
    mFileFormat.mBytesPerFrame = encoding.bytes * channels;
    mFileFormat.mChannelsPerFrame = channels;
    mFileFormat.mBitsPerChannel = 8 * encoding.bytes;
    mPackets = info.frames;
    // A compressed packet decodes to one frame of floats.
    const UInt32 largestPacket = std::max(encoding.bytes, kFloatBytes) * channels;
    mIOBufferSize = std::max(kMinIOBufferSize, largestPacket);
    mClientFormat = FloatFormat(mFileFormat.mSampleRate, channels);
    mFile = file;
}

void CAAudioFile::SetClientDataFormat(const AudioStreamBasicDescription& format)
{
    if (mFile == nullptr)
        throw CAXException("set audio converter property", kAudioFileNotOpenError);
    // libsndfile converts to floats in either byte order; it neither resamples nor remixes.
    AudioStreamBasicDescription supported =
        FloatFormat(mFileFormat.mSampleRate, mFileFormat.mChannelsPerFrame);
    supported.mFormatFlags |= format.mFormatFlags & kAudioFormatFlagIsBigEndian;
    if (!(format == supported))
        throw CAXException("set audio converter property", kAudioConverterErr_FormatNotSupported);
    mClientFormat = format;
}

void CAAudioFile::ReadPackets(UInt32& ioNumPackets, AudioBufferList* ioData)
{
    if (mFile == nullptr) throw CAXException("read audio file", kAudioFileNotOpenError);
    if (ioData == nullptr || ioData->mNumberBuffers < 1 || ioData->mBuffers[0].mData == nullptr ||
        reinterpret_cast<std::uintptr_t>(ioData->mBuffers[0].mData) % alignof(float) != 0)
        throw CAXException("read audio file", kAudio_ParamError);
    AudioBuffer& buffer = ioData->mBuffers[0];
    const UInt32 packetBytes = mClientFormat.mBytesPerPacket;
    const UInt32 wanted = std::min(ioNumPackets, buffer.mDataByteSize / packetBytes);
    auto* floats = static_cast<float*>(buffer.mData);
    const sf_count_t got = sf_readf_float(mFile, floats, wanted);
    if (got < 0 || sf_error(mFile) != SF_ERR_NO_ERROR)
        throw CAXException("read audio file", kAudioFileInvalidFileError);
    const auto delivered = static_cast<UInt32>(got);
    if (mClientFormat.mFormatFlags & kAudioFormatFlagIsBigEndian)
    {
        const std::size_t n = std::size_t{delivered} * mClientFormat.mChannelsPerFrame;
        for (std::size_t i = 0; i < n; ++i)
            floats[i] =
                std::bit_cast<float>(__builtin_bswap32(std::bit_cast<std::uint32_t>(floats[i])));
    }
    ioNumPackets = delivered;
    buffer.mDataByteSize = delivered * packetBytes;
}

void CAAudioFile::Close()
{
    if (mFile == nullptr) return;
    sf_close(mFile);
    mFile = nullptr;
    mFileFormat = AudioStreamBasicDescription{};
    mClientFormat = AudioStreamBasicDescription{};
    mPackets = 0;
    mIOBufferSize = 0;
}
