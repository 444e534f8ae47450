#include "hosts/render/AudioFileReader.h"

#include <sndfile.h>

#include <algorithm>

AudioFileReader::~AudioFileReader()
{
    if (mFile != nullptr) sf_close(mFile);
}

bool AudioFileReader::Open(const std::string& path, std::string& error)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr)
    {
        error = sf_strerror(nullptr);
        return false;
    }
    if (info.channels < 1 || info.channels > 2)
    {
        error = std::to_string(info.channels) + " channels (mono or stereo input only)";
        sf_close(file);
        return false;
    }
    if (mFile != nullptr) sf_close(mFile);
    mFile = file;
    mSampleRate = info.samplerate;
    mChannels = info.channels;
    mFrames = info.frames > 0 ? static_cast<std::uint64_t>(info.frames) : 0;
    mInterleaved.assign(std::size_t{kChunkFrames} * static_cast<std::size_t>(mChannels), 0.0f);
    return true;
}

std::uint32_t AudioFileReader::ReadStereo(float* left, float* right, std::uint32_t frames)
{
    std::uint32_t done = 0;
    while (mFile != nullptr && done < frames)
    {
        const std::uint32_t want = std::min(frames - done, kChunkFrames);
        const sf_count_t got = sf_readf_float(mFile, mInterleaved.data(), want);
        if (got <= 0) break;
        const float* in = mInterleaved.data();
        for (sf_count_t i = 0; i < got; ++i, ++done)
        {
            left[done] = in[0];
            right[done] = in[mChannels - 1];
            in += mChannels;
        }
        if (got < want) break;
    }
    return done;
}
