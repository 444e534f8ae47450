// Optimised sample playback against the straightforward frame-by-frame loop: random samples,
// positions, rates, block sizes and loop flags, positions carried from call to call as a key
// carries them; every output float and every returned position compared bit for bit.
#include "dsp/reference/BitExact.h"
#include "samples/CSampleFactory.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <vector>

namespace reference
{
// Forward playback (a positive finite rate into buffers) as it stood before it was restructured
// for speed: every frame read and the position stepped on before the next.  Everything else, and
// where a render starts, is left to the factory.  Do not optimise.
double GetSamples(CSampleFactory& factory, CSample* sample, double position, float* left,
                  float* right, int frames, double rate, bool looping)
{
    if (!(rate > 0.0 && std::isfinite(rate) && left != nullptr && right != nullptr))
        return factory.GetSamples(sample, position, left, right, frames, rate, looping);
    position = factory.GetSamples(sample, position, left, right, 0, rate, looping);
    if (position < 0.0) return -1.0;
    const float* const L = factory.Left();
    const float* const R = factory.Right();
    const int32_t last = sample->Last();
    for (int i = 0; i < frames; ++i)
    {
        const auto p = static_cast<int32_t>(position);
        int32_t q = p + 1;
        if (q > last) q = looping ? p - sample->Size() + 1 : p;
        const auto f = static_cast<float>(position - p);
        left[i] = L[p] + f * (L[q] - L[p]);
        right[i] = R[p] + f * (R[q] - R[p]);
        position += rate;
        if (position < static_cast<double>(last) + 1.0) continue;
        if (!looping)
        {
            std::fill(left + i + 1, left + frames, 0.0f);
            std::fill(right + i + 1, right + frames, 0.0f);
            return -1.0;
        }
        position -= sample->Size();
        // Entering the loop brings a position still beyond its end back in the same way.
        if (position >= static_cast<double>(last) + 1.0)
            position = factory.GetSamples(sample, position, nullptr, nullptr, 0, rate, true);
    }
    return position;
}
} // namespace reference

TEST(PlaybackReference, RandomPlaybackMatchesBitForBit)
{
    std::mt19937 rng(2024);
    auto factory = std::make_unique<CSampleFactory>(100000, 16);
    std::vector<CSample*> samples;
    for (const int size : {1, 2, 3, 16, 17, 100, 1000, 4321, 30000})
    {
        std::vector<float> left(static_cast<std::size_t>(size)), right = left;
        reference::FillSignal(rng, left.data(), right.data(), size);
        samples.push_back(factory->NewSample());
        samples.back()->Record(left.data(), right.data(), size);
    }
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const auto pickPosition = [&](const CSample& s)
    {
        const double inside =
            std::uniform_real_distribution<double>(s.Start(), s.Last() + 1.0)(rng);
        const double at[] = {-1.0,
                             double(s.Start()),
                             s.Last() + 0.0,
                             s.Last() + 0.999,
                             s.Start() - 1.0 - (rng() % 1000),
                             s.Last() + 1.0 + (rng() % 100000) * 0.37,
                             nan};
        return rng() % 10 < 3 ? inside : at[rng() % 7];
    };
    const auto pickRate = [&](const CSample& s)
    {
        const double sign = rng() % 2 ? 1.0 : -1.0;
        const double rates[] = {
            1.0,         -1.0, 0.0, sign * s.Size() * (1.0 + (rng() % 3)),
            sign * 1e-9, inf,  nan, std::pow(2.0, static_cast<int>(rng() % 49 - 24) / 12.0)};
        return rng() % 12 < 4 ? std::uniform_real_distribution<double>(-4.0, 4.0)(rng)
                              : rates[rng() % 8];
    };
    std::array<float, 48> fastL{}, fastR{}, slowL{}, slowR{};
    double position = -1.0;
    CSample* sample = samples[0];
    double rate = 1.0;
    bool looping = true;
    for (int call = 0; call < 400000; ++call)
    {
        SCOPED_TRACE(call);
        // Mostly a key's steady playback; now and then anything else.
        if (rng() % 16 == 0)
        {
            sample = samples[rng() % samples.size()];
            position = pickPosition(*sample);
            rate = pickRate(*sample);
            looping = rng() % 3 != 0;
        }
        constexpr int kFrames[] = {0, 1, 2, 15, 16, 16, 16, 17, 48};
        const int frames = kFrames[rng() % 9];
        for (auto* a : {&fastL, &fastR, &slowL, &slowR})
            a->fill(777.0f);
        const double fast = factory->GetSamples(sample, position, fastL.data(), fastR.data(),
                                                frames, rate, looping);
        const double slow = reference::GetSamples(*factory, sample, position, slowL.data(),
                                                  slowR.data(), frames, rate, looping);
        ASSERT_TRUE(reference::SameBits(fast, slow)) << fast << " instead of " << slow;
        ASSERT_TRUE(reference::SameBits(fastL.data(), slowL.data(), 48));
        ASSERT_TRUE(reference::SameBits(fastR.data(), slowR.data(), 48));
        position = fast == -1.0 ? pickPosition(*sample) : fast;
    }
}
