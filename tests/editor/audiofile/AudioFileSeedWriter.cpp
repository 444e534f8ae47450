// Writes small valid files of every kind the reader knows into the fuzzer's corpus.

#include "AudioFileTestUtil.h"

int main(int argc, char** argv)
{
    if (argc != 2) return 2;
    const std::pair<const char*, int> seeds[] = {
        {"pcm16.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
        {"float.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT},
        {"pcm24.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_24},
        {"pcm16.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
        {"vorbis.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
        {"layer3.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III},
    };
    for (const auto& [name, format] : seeds)
        if (!WriteAudioFile(std::string(argv[1]) + "/" + name, format, 8000, 2, 400,
                            [](std::int64_t i, int) { return Sine440(i, 8000); }))
            return 1;
    return 0;
}
