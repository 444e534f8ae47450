#pragma once

#include "samples/CSampleFactory.h"

#include <vector>

// Stores a new sample with the given left frames and their negation on the right, so every
// rendered value shows which pool frames it came from.
inline CSample* StoreFrames(CSampleFactory& factory, const std::vector<float>& left)
{
    CSample* sample = factory.NewSample();
    std::vector<float> right(left.size());
    for (size_t i = 0; i < left.size(); ++i)
        right[i] = -left[i];
    if (sample != nullptr) sample->Record(left.data(), right.data(), static_cast<int>(left.size()));
    return sample;
}

// A sample whose frame i holds first + i.
inline CSample* StoreRamp(CSampleFactory& factory, int frames, float first = 0.0f)
{
    std::vector<float> left(static_cast<size_t>(frames));
    for (int i = 0; i < frames; ++i)
        left[i] = first + static_cast<float>(i);
    return StoreFrames(factory, left);
}
