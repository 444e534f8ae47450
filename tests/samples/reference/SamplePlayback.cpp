#include "samples/reference/SamplePlayback.h"

#include "samples/CSampleFactory.h"

#include <cmath>
#include <cstdint>

namespace reference
{

double GetSamples(CSampleFactory& factory, CSample* sample, double position, float* left,
                  float* right, int frames, double rate, bool looping)
{
    const bool forward = rate > 0.0 && std::isfinite(rate) && left != nullptr && right != nullptr;
    if (!forward) return factory.GetSamples(sample, position, left, right, frames, rate, looping);
    // A call without frames only finds where a render starts (or that it cannot).
    position = factory.GetSamples(sample, position, left, right, 0, rate, looping);
    if (position < 0.0) return -1.0;
    // Entering a loop brings a position beyond its end back into the sample the same way.
    const auto wrapInto = [&](double beyond)
    { return factory.GetSamples(sample, beyond, nullptr, nullptr, 0, rate, true); };

    const float* const L = factory.Left();
    const float* const R = factory.Right();
    const int32_t last = sample->Last();
    const int32_t size = sample->Size();
    const double end = static_cast<double>(last) + 1.0;
    for (int i = 0; i < frames; ++i)
    {
        const int32_t p = static_cast<int32_t>(position);
        int32_t q = p + 1;
        if (q > last) q = looping ? p - size + 1 : p;
        const float f = static_cast<float>(position - p);
        left[i] = L[p] + f * (L[q] - L[p]);
        right[i] = R[p] + f * (R[q] - R[p]);
        position += rate;
        if (position >= end)
        {
            if (!looping)
            {
                for (int k = i + 1; k < frames; ++k)
                    left[k] = right[k] = 0.0f;
                return -1.0;
            }
            position -= size;
            if (position >= end) position = wrapInto(position);
        }
    }
    return position;
}
} // namespace reference
