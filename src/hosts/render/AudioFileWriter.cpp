#include "hosts/render/AudioFileWriter.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string_view>

namespace
{
constexpr int kChannels = 2;

struct Container
{
    std::string_view extension;
    int major;
    int codec; // 0: the samples are stored as asked
};

// Names people type that are not the extension libsndfile lists for the format.
constexpr Container kAliases[] = {
    {"wav", SF_FORMAT_WAV, 0},
    {"wave", SF_FORMAT_WAV, 0},
    {"aif", SF_FORMAT_AIFF, 0},
    {"aiff", SF_FORMAT_AIFF, 0},
    {"aifc", SF_FORMAT_AIFF, 0},
    {"ogg", SF_FORMAT_OGG, SF_FORMAT_VORBIS},
    {"oga", SF_FORMAT_OGG, SF_FORMAT_VORBIS},
    {"opus", SF_FORMAT_OGG, SF_FORMAT_OPUS},
    {"mp3", SF_FORMAT_MPEG, SF_FORMAT_MPEG_LAYER_III},
};

// Encodings tried, in order, when a format cannot hold 32-bit floats.
constexpr int kFloatFallbacks[] = {SF_FORMAT_PCM_24, SF_FORMAT_VORBIS, SF_FORMAT_MPEG_LAYER_III};

bool MajorFormat(const std::string& path, int& major, int& codec)
{
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return false;
    std::string extension = path.substr(dot + 1);
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const Container& alias : kAliases)
    {
        if (alias.extension == extension)
        {
            major = alias.major;
            codec = alias.codec;
            return true;
        }
    }
    int count = 0;
    sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof count);
    for (int i = 0; i < count; ++i)
    {
        SF_FORMAT_INFO info{};
        info.format = i;
        sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &info, sizeof info);
        if (info.extension != nullptr && extension == info.extension)
        {
            major = info.format;
            codec = 0;
            return true;
        }
    }
    return false;
}

bool Check(int format, int sampleRate)
{
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = kChannels;
    info.format = format;
    return sf_format_check(&info) != 0;
}
} // namespace

AudioFileWriter::~AudioFileWriter()
{
    std::string ignored;
    Close(ignored);
}

bool AudioFileWriter::Open(const std::string& path, double sampleRate, SampleFormat format,
                           std::string& error)
{
    int major = 0;
    int codec = 0;
    if (!MajorFormat(path, major, codec))
    {
        error = "no audio format known for this name's extension (try .wav)";
        return false;
    }
    const int rate = static_cast<int>(std::lround(sampleRate));
    int encoding = codec;
    if (encoding == 0)
    {
        encoding = format == SampleFormat::PCM16   ? SF_FORMAT_PCM_16
                   : format == SampleFormat::PCM24 ? SF_FORMAT_PCM_24
                                                   : SF_FORMAT_FLOAT;
        if (!Check(major | encoding, rate) && format == SampleFormat::Float)
        {
            for (int fallback : kFloatFallbacks)
            {
                if (Check(major | fallback, rate))
                {
                    encoding = fallback;
                    break;
                }
            }
        }
    }
    if (!Check(major | encoding, rate))
    {
        error = "this format cannot hold stereo audio at " + std::to_string(rate) +
                " Hz in the requested sample format";
        return false;
    }
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = kChannels;
    info.format = major | encoding;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr)
    {
        error = sf_strerror(nullptr);
        return false;
    }
    // Floats beyond full scale must clip in integer files, not wrap around to the other sign.
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    Close(error);
    mFile = file;
    mInterleaved.assign(std::size_t{kChunkFrames} * kChannels, 0.0f);
    return true;
}

bool AudioFileWriter::WriteStereo(const float* left, const float* right, std::uint32_t frames,
                                  std::string& error)
{
    for (std::uint32_t done = 0; done < frames;)
    {
        const std::uint32_t chunk = std::min(frames - done, kChunkFrames);
        for (std::uint32_t i = 0; i < chunk; ++i)
        {
            mInterleaved[2 * i] = left[done + i];
            mInterleaved[2 * i + 1] = right[done + i];
        }
        if (sf_writef_float(mFile, mInterleaved.data(), chunk) != chunk)
        {
            error = sf_strerror(mFile);
            return false;
        }
        done += chunk;
    }
    return true;
}

bool AudioFileWriter::Close(std::string& error)
{
    if (mFile == nullptr) return true;
    const int status = sf_close(mFile);
    mFile = nullptr;
    if (status != 0)
    {
        error = sf_error_number(status);
        return false;
    }
    return true;
}
