#pragma once
// The output of a render: a stereo file whose format follows the name's extension (".wav",
// ".aiff", ".flac", ".ogg", ".opus", ".mp3", ".caf", ".w64", ... everything libsndfile
// writes). Samples are 32-bit float unless 16- or 24-bit integers are asked for; formats
// that cannot hold floats take their own encoding (24-bit for FLAC, the codec for Ogg and
// MP3). Integer output clips at full scale instead of wrapping around.

#include <cstdint>
#include <string>
#include <vector>

struct sf_private_tag;

class AudioFileWriter
{
public:
    enum class SampleFormat
    {
        Float,
        PCM16,
        PCM24
    };

    AudioFileWriter() = default;
    ~AudioFileWriter();
    AudioFileWriter(const AudioFileWriter&) = delete;
    AudioFileWriter& operator=(const AudioFileWriter&) = delete;

    bool Open(const std::string& path, double sampleRate, SampleFormat format, std::string& error);
    bool WriteStereo(const float* left, const float* right, std::uint32_t frames,
                     std::string& error);
    // Flushes and closes; a file that was never opened closes without error.
    bool Close(std::string& error);

private:
    static constexpr std::uint32_t kChunkFrames = 4096;

    sf_private_tag* mFile = nullptr;
    std::vector<float> mInterleaved;
};
