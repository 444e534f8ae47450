#include "samples/reference/SamplePlayback.h"

#include "samples/CSampleFactory.h"

#include <cmath>
#include <cstdint>

namespace reference
{
namespace
{
void ClearFrames(float* left, float* right, int from, int to)
{
    for (int i = from; i < to; ++i)
    {
        left[i] = 0.0f;
        right[i] = 0.0f;
    }
}

bool IsPlayable(const CSampleFactory& factory, const CSample& sample)
{
    return sample.Factory() == &factory && sample.IsUsed() && sample.Size() > 0 &&
           sample.Start() >= 0 &&
           sample.Last() == static_cast<int64_t>(sample.Start()) + sample.Size() - 1 &&
           sample.Last() < factory.Capacity();
}

double WrapInto(const CSample& sample, double position)
{
    const double size = sample.Size();
    double r = std::fmod(position - sample.Start(), size);
    if (r < 0.0) r += size;
    const double wrapped = sample.Start() + r;
    return wrapped < sample.Start() + size ? wrapped : sample.Start();
}

double EntryPosition(const CSample& sample, double position, bool looping)
{
    if (position < 0.0) return sample.Start();
    const double end = static_cast<double>(sample.Last()) + 1.0;
    if (looping)
        return (position >= sample.Start() && position < end) ? position
                                                              : WrapInto(sample, position);
    return (position >= sample.Start() && position <= sample.Last()) ? position : -1.0;
}

double CorrectedRate(const CSample& sample, double rate, double sampleRate)
{
    if (sample.SampleRate() > 0.0 && sampleRate > 0.0)
        return rate * (sample.SampleRate() / sampleRate);
    return rate;
}
} // namespace

double GetSamples(const CSampleFactory& factory, const CSample& sample, double position,
                  float* left, float* right, int frames, double rate, bool looping)
{
    if (!IsPlayable(factory, sample)) return -1.0;
    if (!std::isfinite(rate)) rate = 0.0;
    position = EntryPosition(sample, position, looping);
    if (position < 0.0) return -1.0;
    if (left == nullptr || right == nullptr) frames = 0;

    const float* const L = factory.Left();
    const float* const R = factory.Right();
    const int32_t start = sample.Start();
    const int32_t last = sample.Last();
    const int32_t size = sample.Size();
    const double end = static_cast<double>(last) + 1.0;

    if (rate > 0.0)
    {
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
                    ClearFrames(left, right, i + 1, frames);
                    return -1.0;
                }
                position -= size;
                if (position >= end) position = WrapInto(sample, position);
            }
        }
        return position;
    }

    for (int i = 0; i < frames; ++i)
    {
        const int32_t p = static_cast<int32_t>(position);
        int32_t q = p - 1;
        if (q < start) q = looping ? p - 1 + size : p;
        const float f = static_cast<float>(position - p);
        left[i] = L[p] + f * (L[q] - L[p]);
        right[i] = R[p] + f * (R[q] - R[p]);
        position += rate;
        if (position <= start)
        {
            if (!looping)
            {
                ClearFrames(left, right, i + 1, frames);
                return -1.0;
            }
            if (position < start)
            {
                position += size;
                if (position < start || position >= end) position = WrapInto(sample, position);
            }
        }
    }
    return position;
}

double SkipSamples(const CSampleFactory& factory, const CSample& sample, double position,
                   int frames, double rate, bool looping)
{
    if (!IsPlayable(factory, sample)) return -1.0;
    if (!std::isfinite(rate)) rate = 0.0;
    position = EntryPosition(sample, position, looping);
    if (position < 0.0) return -1.0;

    const int32_t start = sample.Start();
    const int32_t size = sample.Size();
    const double end = static_cast<double>(sample.Last()) + 1.0;
    const int steps = frames > 1 ? frames : 1;
    if (rate > 0.0)
    {
        for (int i = 0; i < steps; ++i)
        {
            position += rate;
            if (position >= end)
            {
                if (!looping) return -1.0;
                position -= size;
            }
        }
        return position;
    }
    if (rate == 0.0) return position;
    for (int i = 0; i < steps && position >= 0.0; ++i)
    {
        position += rate;
        if (position < start)
        {
            if (!looping) return -1.0;
            position += size;
        }
    }
    return position;
}

double PlaySample(const CSample& sample, double position, float* left, float* right, int frames,
                  double rate, bool looping, double sampleRate)
{
    return GetSamples(*sample.Factory(), sample, position, left, right, frames,
                      CorrectedRate(sample, rate, sampleRate), looping && !sample.NeverLoop());
}

double SkipSample(const CSample& sample, double position, int frames, double rate, bool looping,
                  double sampleRate)
{
    return SkipSamples(*sample.Factory(), sample, position, frames,
                       CorrectedRate(sample, rate, sampleRate), looping && !sample.NeverLoop());
}
} // namespace reference
