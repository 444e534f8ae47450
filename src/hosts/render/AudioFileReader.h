#pragma once
// The input of a render: an audio file in any format libsndfile reads, delivered as two
// channel arrays of 32-bit floats at the file's own rate. A mono file feeds both channels;
// files with more than two channels are refused rather than silently mixed or cut.

#include <cstdint>
#include <string>
#include <vector>

struct sf_private_tag;

class AudioFileReader
{
public:
    AudioFileReader() = default;
    ~AudioFileReader();
    AudioFileReader(const AudioFileReader&) = delete;
    AudioFileReader& operator=(const AudioFileReader&) = delete;

    bool Open(const std::string& path, std::string& error);

    double SampleRate() const { return mSampleRate; }
    std::uint64_t Frames() const { return mFrames; }

    // Reads up to `frames` frames; fewer only at the end of the file (0 once it is reached).
    std::uint32_t ReadStereo(float* left, float* right, std::uint32_t frames);

private:
    static constexpr std::uint32_t kChunkFrames = 4096;

    sf_private_tag* mFile = nullptr;
    double mSampleRate = 0.0;
    int mChannels = 0;
    std::uint64_t mFrames = 0;
    std::vector<float> mInterleaved;
};
