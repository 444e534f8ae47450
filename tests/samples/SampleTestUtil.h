#pragma once

#include "samples/CSampleFactory.h"

#include <algorithm>
#include <numeric>
#include <vector>

// A new sample of the given left frames and their negation on the right.
inline CSample* StoreFrames(CSampleFactory& factory, const std::vector<float>& left)
{
    std::vector<float> right(left.size());
    std::transform(left.begin(), left.end(), right.begin(), [](float v) { return -v; });
    CSample* sample = factory.NewSample();
    if (sample != nullptr) sample->Record(left.data(), right.data(), static_cast<int>(left.size()));
    return sample;
}

// A sample whose frame i holds first + i.
inline CSample* StoreRamp(CSampleFactory& factory, int frames, float first = 0.0f)
{
    std::vector<float> left(static_cast<size_t>(frames));
    std::iota(left.begin(), left.end(), first);
    return StoreFrames(factory, left);
}
