#pragma once
// The decoder of the engine's audio-file import on Linux: CAAudioFile over libsndfile.

#include "editor/audiofile/AudioFileDecoding.h"

// [ui] Installs DecodeAudioFileForImport as the import's decoder. Host programs call it once at
// start-up, before the first import.
void InstallAudioFileImport();

// [ui] Opens the file, asks for interleaved 32-bit floats at its own rate and reads it in
// chunks of 64 reader buffers, keeping at most maxFrames frames: stereo as it is, mono in both
// channels, and nothing of a file with more channels. Throws CAXException when the reader fails.
void DecodeAudioFileForImport(const std::string& path, SInt64 maxFrames, DecodedAudioFile& out);
