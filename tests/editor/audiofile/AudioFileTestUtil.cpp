#include "AudioFileTestUtil.h"

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <numbers>
#include <vector>

bool WriteAudioFile(const std::string& path, int format, int sampleRate, int channels,
                    std::int64_t frames, const std::function<float(std::int64_t, int)>& value)
{
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) return false;
    std::vector<float> samples;
    for (std::int64_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            samples.push_back(value(i, c));
    const bool written = sf_writef_float(file, samples.data(), frames) == frames;
    return sf_close(file) == 0 && written;
}

float Sine440(std::int64_t frame, int sampleRate)
{
    return static_cast<float>(0.5 * std::sin(2 * std::numbers::pi * 440.0 * frame / sampleRate));
}

std::string TempAudioPath(const std::string& name)
{
    const auto dir =
        std::filesystem::temp_directory_path() / ("tova-audiofile-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    return (dir / name).string();
}
