#pragma once
// Input for recording scenarios, and the comparison of a key's recorded frames with the input
// they came from.

#include "integration/CTovaProbe.h"
#include "integration/TovaHost.h"

#include "samples/CSample.h"

#include <vector>

// Frames above the default threshold 2^−8, each different from every other:
// 0.25 + i / (4 × frames), on both channels.
inline TovaHost::Stereo Loud(std::size_t frames)
{
    TovaHost::Stereo signal{std::vector<float>(frames), std::vector<float>(frames)};
    for (std::size_t i = 0; i < frames; ++i)
        signal.left[i] = signal.right[i] =
            0.25f + static_cast<float>(i) / (4.0f * static_cast<float>(frames));
    return signal;
}

// How many frames of key's sample (left channel) differ from input[first + j], leaving out
// the 50 frames at either end that a finished recording fades; −1 when the key has no sample.
inline int DifferingFrames(CTovaProbe& probe, int key, const std::vector<float>& input,
                           std::size_t first)
{
    constexpr int kFade = 50;
    const CSample* sample = probe.Key(key).Sample();
    if (sample == nullptr) return -1;
    const float* frames = probe.Factory().Left() + sample->Start();
    int differing = 0;
    for (int j = kFade; j < sample->Size() - kFade; ++j)
        if (frames[j] != input[first + static_cast<std::size_t>(j)]) ++differing;
    return differing;
}
