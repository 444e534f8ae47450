#pragma once

#include "samples/CSampleFactory.h"

#include <vector>

// A new sample whose frame i holds first + i * step on the left and its negation on the right.
inline CSample* StoreRamp(CSampleFactory& factory, int frames, float first = 0.0f, float step = 1)
{
    std::vector<float> left(static_cast<std::size_t>(frames)), right(left.size());
    for (std::size_t i = 0; i < left.size(); ++i)
        right[i] = -(left[i] = first + static_cast<float>(i) * step);
    CSample* sample = factory.NewSample();
    if (sample != nullptr) sample->Record(left.data(), right.data(), frames);
    return sample;
}
