#pragma once
// Audio files for the reader's tests and fuzzer seeds, written with libsndfile.

#include <sndfile.h>

#include <cstdint>
#include <functional>
#include <string>

// Writes frames of value(frame, channel) in the libsndfile format given (major type |
// encoding); false when libsndfile refuses.
bool WriteAudioFile(const std::string& path, int format, int sampleRate, int channels,
                    std::int64_t frames, const std::function<float(std::int64_t, int)>& value);

// A 440 Hz sine at half scale.
float Sine440(std::int64_t frame, int sampleRate);

// A path named name in a temporary folder of this process.
std::string TempAudioPath(const std::string& name);
