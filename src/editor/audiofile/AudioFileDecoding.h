#pragma once
// How the engine's import reads an audio file. Decoding needs codec libraries, which the engine
// core does not link, so the host program installs a decoder at start-up: on Linux
// InstallAudioFileImport() (editor/audiofile/CAAudioFileImport.h) reads through CAAudioFile and
// libsndfile. Without a decoder every import fails with kAudioFileUnsupportedFileTypeError.

#include "platform/CoreAudioTypes.h"

#include <string>
#include <vector>

// Status codes of the platform's audio-file services.
constexpr OSStatus kAudioFileUnspecifiedError = static_cast<OSStatus>(FourCharCode("wht?"));
constexpr OSStatus kAudioFileUnsupportedFileTypeError = static_cast<OSStatus>(FourCharCode("typ?"));
constexpr OSStatus kAudioFileUnsupportedDataFormatError =
    static_cast<OSStatus>(FourCharCode("fmt?"));
constexpr OSStatus kAudioFilePermissionsError = static_cast<OSStatus>(FourCharCode("prm?"));
constexpr OSStatus kAudioFileInvalidFileError = static_cast<OSStatus>(FourCharCode("dta?"));
constexpr OSStatus kAudioFileNotOpenError = -38;
constexpr OSStatus kAudioFileFileNotFoundError = -43;
constexpr OSStatus kAudioConverterErr_FormatNotSupported =
    static_cast<OSStatus>(FourCharCode("fmt?"));

// A file read for the import: its own format and length, and the frames read as two channels.
struct DecodedAudioFile
{
    Float64 sampleRate = 0; // the file's own rate; frames are never resampled
    UInt32 channels = 0;    // the file's channel count
    SInt64 fileFrames = 0;  // the file's length: frames per packet × packet count
    // A mono file fills both channels alike; a file of more than two channels leaves both empty.
    std::vector<float> left;
    std::vector<float> right;
};

// [ui] Reads at most maxFrames frames of the file at path into out; throws CAXException when
// the reader fails.
using AudioFileDecodeProc = void (*)(const std::string& path, SInt64 maxFrames,
                                     DecodedAudioFile& out);

// [ui] Sets the decoder the import uses from now on; null removes it.
void AudioFileInstallDecoder(AudioFileDecodeProc decoder);
// [any] The decoder installed, or null.
AudioFileDecodeProc AudioFileCurrentDecoder();
