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
    constexpr std::int64_t kChunk = 4096;
    std::vector<float> chunk(static_cast<std::size_t>(kChunk * channels));
    bool ok = true;
    for (std::int64_t at = 0; at < frames && ok; at += kChunk)
    {
        const std::int64_t n = std::min(kChunk, frames - at);
        for (std::int64_t i = 0; i < n; ++i)
            for (int c = 0; c < channels; ++c)
                chunk[static_cast<std::size_t>(i * channels + c)] = value(at + i, c);
        ok = sf_writef_float(file, chunk.data(), n) == n;
    }
    return sf_close(file) == 0 && ok;
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
