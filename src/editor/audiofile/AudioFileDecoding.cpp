#include "editor/audiofile/AudioFileDecoding.h"

#include <atomic>

namespace
{
std::atomic<AudioFileDecodeProc> sDecoder{nullptr};
} // namespace

void AudioFileInstallDecoder(AudioFileDecodeProc decoder)
{
    sDecoder.store(decoder);
}

AudioFileDecodeProc AudioFileCurrentDecoder()
{
    return sDecoder.load();
}
