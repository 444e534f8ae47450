#pragma once
// The audio-file reader of the import, over libsndfile: it opens a file by path (WAV, AIFF,
// FLAC, Ogg Vorbis, Opus, MP3 and whatever else libsndfile reads), reports the file's format
// and length, and delivers its frames as interleaved 32-bit floats at the file's own rate. Every
// failure is thrown as a CAXException naming the operation, with the platform's status code.
//
//     CAAudioFile file;
//     file.Open(path);
//     file.SetClientDataFormat(format); // interleaved floats, the file's rate and channels
//     UInt32 count = ...;               // in: packets wanted, out: packets delivered, 0 at the end
//     file.ReadPackets(count, &list);

#include "platform/CoreAudioTypes.h"

#include <string>

struct sf_private_tag;

class CAAudioFile
{
public:
    // The reader's I/O buffer holds at least this many bytes.
    static constexpr UInt32 kMinIOBufferSize = 32768;

    CAAudioFile() = default;
    ~CAAudioFile(); // closes an open file
    CAAudioFile(const CAAudioFile&) = delete;
    CAAudioFile& operator=(const CAAudioFile&) = delete;

    // [ui] Opens the file for reading and reads its description: data format, packet count and
    // largest packet size, which sets the I/O buffer size.
    void Open(const std::string& path);
    // [ui] The file's own format: its rate and channels, one frame per packet.
    const AudioStreamBasicDescription& GetFileDataFormat() const { return mFileFormat; }
    // [ui] The file's length in packets.
    SInt64 GetNumberPackets() const { return mPackets; }
    // [ui] Bytes of the reader's I/O buffer.
    UInt32 GetIOBufferSize() const { return mIOBufferSize; }

    // [any] Interleaved 32-bit floats, packed, in the machine's own byte order.
    static AudioStreamBasicDescription FloatFormat(Float64 sampleRate, UInt32 channels);

    // [ui] The format frames are delivered in: linear PCM, 32-bit floats, packed, interleaved,
    // at the file's rate with the file's channel count, in either byte order.
    void SetClientDataFormat(const AudioStreamBasicDescription& format);

    // [ui] Delivers at most min(ioNumPackets, the first buffer's bytes / bytes per client
    // packet) packets into the first buffer of ioData; ioNumPackets and the buffer's byte size
    // become what was delivered. 0 packets means the end of the file.
    void ReadPackets(UInt32& ioNumPackets, AudioBufferList* ioData);

    // [ui] Closes the file; nothing happens when none is open.
    void Close();

private:
    sf_private_tag* mFile = nullptr;
    AudioStreamBasicDescription mFileFormat;
    AudioStreamBasicDescription mClientFormat;
    SInt64 mPackets = 0;
    UInt32 mIOBufferSize = 0;
};
