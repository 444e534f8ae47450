#pragma once
// The basic audio types of the host platform: fixed-width scalars, status codes, time stamps,
// buffers and stream formats, with the documented numeric values.

// The property-list model names number widths and kinds after these types (CFNumberType::
// SInt32, CFType::Kind::Boolean, ...). Declaring those enumerators first keeps them from
// shadowing the aliases below, whichever header a file includes first.
#include "platform/cf/CFType.h"

#include <cstdint>

using UInt8 = std::uint8_t;
using SInt8 = std::int8_t;
using UInt16 = std::uint16_t;
using SInt16 = std::int16_t;
using UInt32 = std::uint32_t;
using SInt32 = std::int32_t;
using UInt64 = std::uint64_t;
using SInt64 = std::int64_t;
using Float32 = float;
using Float64 = double;
using Boolean = unsigned char;
using OSStatus = SInt32;
using OSType = UInt32;

// A four-character code read as a big-endian integer: FourCharCode("auvw") == 0x61757677.
constexpr OSType FourCharCode(const char (&code)[5])
{
    return (OSType(UInt8(code[0])) << 24) | (OSType(UInt8(code[1])) << 16) |
           (OSType(UInt8(code[2])) << 8) | OSType(UInt8(code[3]));
}

// Status constants are plain OSStatus values (not enumerators) so that `throw kAudio_ParamError`
// throws an OSStatus, which is what the plug-in frame turns back into a call's result.
constexpr OSStatus noErr = 0;
constexpr OSStatus kAudio_ParamError = -50;
constexpr OSStatus kAudio_MemFullError = -108;

struct SMPTETime
{
    SInt16 mSubframes = 0;
    SInt16 mSubframeDivisor = 0;
    UInt32 mCounter = 0;
    UInt32 mType = 0;
    UInt32 mFlags = 0;
    SInt16 mHours = 0;
    SInt16 mMinutes = 0;
    SInt16 mSeconds = 0;
    SInt16 mFrames = 0;
};

constexpr UInt32 kAudioTimeStampSampleTimeValid = 1u << 0;
constexpr UInt32 kAudioTimeStampHostTimeValid = 1u << 1;
constexpr UInt32 kAudioTimeStampRateScalarValid = 1u << 2;
constexpr UInt32 kAudioTimeStampWordClockTimeValid = 1u << 3;
constexpr UInt32 kAudioTimeStampSMPTETimeValid = 1u << 4;

struct AudioTimeStamp
{
    Float64 mSampleTime = 0;
    UInt64 mHostTime = 0;
    Float64 mRateScalar = 0;
    UInt64 mWordClockTime = 0;
    SMPTETime mSMPTETime;
    UInt32 mFlags = 0;
    UInt32 mReserved = 0;
};

struct AudioBuffer
{
    UInt32 mNumberChannels = 0;
    UInt32 mDataByteSize = 0;
    void* mData = nullptr;
};

// The platform's list has a variable length; this one has room for a fixed number of buffers
// so that hosts can keep it on the stack and nobody writes past its end.
constexpr UInt32 kAudioBufferListCapacity = 8;

struct AudioBufferList
{
    UInt32 mNumberBuffers = 0;
    AudioBuffer mBuffers[kAudioBufferListCapacity];
};

constexpr UInt32 kAudioFormatLinearPCM = FourCharCode("lpcm");

constexpr UInt32 kAudioFormatFlagIsFloat = 1u << 0;
constexpr UInt32 kAudioFormatFlagIsBigEndian = 1u << 1;
constexpr UInt32 kAudioFormatFlagIsSignedInteger = 1u << 2;
constexpr UInt32 kAudioFormatFlagIsPacked = 1u << 3;
constexpr UInt32 kAudioFormatFlagIsAlignedHigh = 1u << 4;
constexpr UInt32 kAudioFormatFlagIsNonInterleaved = 1u << 5;
constexpr UInt32 kAudioFormatFlagIsNonMixable = 1u << 6;
// Native byte order on the little-endian machines this runs on.
constexpr UInt32 kAudioFormatFlagsNativeFloatPacked =
    kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked;

struct AudioStreamBasicDescription
{
    Float64 mSampleRate = 0;
    UInt32 mFormatID = 0;
    UInt32 mFormatFlags = 0;
    UInt32 mBytesPerPacket = 0;
    UInt32 mFramesPerPacket = 0;
    UInt32 mBytesPerFrame = 0;
    UInt32 mChannelsPerFrame = 0;
    UInt32 mBitsPerChannel = 0;
    UInt32 mReserved = 0;
};

// The plug-in frame's canonical format: 32-bit float, one buffer per channel.
constexpr AudioStreamBasicDescription CanonicalStreamFormat(Float64 sampleRate, UInt32 channels)
{
    AudioStreamBasicDescription format;
    format.mSampleRate = sampleRate;
    format.mFormatID = kAudioFormatLinearPCM;
    format.mFormatFlags = kAudioFormatFlagsNativeFloatPacked | kAudioFormatFlagIsNonInterleaved;
    format.mBytesPerPacket = sizeof(Float32);
    format.mFramesPerPacket = 1;
    format.mBytesPerFrame = sizeof(Float32);
    format.mChannelsPerFrame = channels;
    format.mBitsPerChannel = 32;
    return format;
}

constexpr bool operator==(const AudioStreamBasicDescription& a,
                          const AudioStreamBasicDescription& b)
{
    return a.mSampleRate == b.mSampleRate && a.mFormatID == b.mFormatID &&
           a.mFormatFlags == b.mFormatFlags && a.mBytesPerPacket == b.mBytesPerPacket &&
           a.mFramesPerPacket == b.mFramesPerPacket && a.mBytesPerFrame == b.mBytesPerFrame &&
           a.mChannelsPerFrame == b.mChannelsPerFrame && a.mBitsPerChannel == b.mBitsPerChannel;
}
