// Writes small valid audio files into the reader fuzzer's corpus so that it starts from real
// structure in every container the reader knows.

#include "AudioFileTestUtil.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: %s CORPUS-DIRECTORY\n", argv[0]);
        return 2;
    }
    const std::string corpus = argv[1];
    struct Seed
    {
        const char* name;
        int format;
        int rate;
        int channels;
    };
    const Seed seeds[] = {
        {"pcm16.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 2},
        {"float-mono.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 8000, 1},
        {"pcm24.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_24, 8000, 2},
        {"pcm16.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 8000, 2},
        {"vorbis.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 8000, 1},
        {"layer3.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 8000, 1},
    };
    for (const Seed& seed : seeds)
    {
        const int rate = seed.rate;
        if (!WriteAudioFile(corpus + "/" + seed.name, seed.format, rate, seed.channels, 400,
                            [rate](std::int64_t i, int) { return Sine440(i, rate); }))
        {
            std::fprintf(stderr, "could not write %s\n", seed.name);
            return 1;
        }
    }
    return 0;
}
