// Optimised sample playback against the straightforward frame-by-frame loop: random samples,
// positions, rates, block sizes and loop flags, positions carried from call to call as a key
// carries them; every output float and every returned position compared bit for bit.
#include "dsp/reference/BitExact.h"
#include "samples/CSampleFactory.h"
#include "samples/reference/SamplePlayback.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <random>
#include <vector>

namespace
{
constexpr int kMaxBlock = 48;
constexpr float kUntouched = 777.0f;

struct Pool
{
    std::unique_ptr<CSampleFactory> factory = std::make_unique<CSampleFactory>(100000, 16);
    std::vector<CSample*> samples;

    explicit Pool(std::mt19937& rng)
    {
        for (const int size : {1, 2, 3, 16, 17, 100, 1000, 4321, 30000})
        {
            std::vector<float> left(static_cast<std::size_t>(size));
            std::vector<float> right(static_cast<std::size_t>(size));
            reference::FillSignal(rng, left.data(), right.data(), size);
            CSample* s = factory->NewSample();
            s->Record(left.data(), right.data(), size);
            samples.push_back(s);
        }
    }
};

double PickPosition(std::mt19937& rng, const CSample& s)
{
    std::uniform_real_distribution<double> inside(s.Start(), s.Last() + 1.0);
    switch (rng() % 10)
    {
    case 0:
        return -1.0;
    case 1:
        return s.Start();
    case 2:
        return s.Last() + (rng() % 2 ? 0.0 : 0.999);
    case 3:
        return s.Start() - 1.0 - (rng() % 1000);
    case 4:
        return s.Last() + 1.0 + (rng() % 100000) * 0.37;
    case 5:
        return std::numeric_limits<double>::quiet_NaN();
    default:
        return inside(rng);
    }
}

double PickRate(std::mt19937& rng, const CSample& s)
{
    switch (rng() % 12)
    {
    case 0:
        return 1.0;
    case 1:
        return -1.0;
    case 2:
        return 0.0;
    case 3:
        return (rng() % 2 ? 1.0 : -1.0) * s.Size() * (1.0 + (rng() % 3));
    case 4:
        return (rng() % 2 ? 1.0 : -1.0) * 1e-9;
    case 5:
        return rng() % 2 ? std::numeric_limits<double>::infinity()
                         : std::numeric_limits<double>::quiet_NaN();
    case 6:
        return std::pow(2.0, static_cast<int>(rng() % 49 - 24) / 12.0);
    default:
        return std::uniform_real_distribution<double>(-4.0, 4.0)(rng);
    }
}

int PickFrames(std::mt19937& rng)
{
    static constexpr std::array<int, 9> kSizes = {0, 1, 2, 15, 16, 16, 16, 17, kMaxBlock};
    return kSizes[rng() % kSizes.size()];
}
} // namespace

TEST(PlaybackReference, RandomPlaybackMatchesBitForBit)
{
    std::mt19937 rng(2024);
    Pool pool(rng);
    std::array<float, kMaxBlock> fastL{}, fastR{}, slowL{}, slowR{};
    double position = -1.0;
    CSample* sample = pool.samples[0];
    double rate = 1.0;
    bool looping = true;
    for (int call = 0; call < 400000; ++call)
    {
        SCOPED_TRACE(call);
        // Mostly a key's steady playback: the same sample, rate and flag, the position carried
        // on; now and then anything else.
        if (rng() % 16 == 0)
        {
            sample = pool.samples[rng() % pool.samples.size()];
            position = PickPosition(rng, *sample);
            rate = PickRate(rng, *sample);
            looping = rng() % 3 != 0;
        }
        const int frames = PickFrames(rng);
        fastL.fill(kUntouched);
        fastR.fill(kUntouched);
        slowL.fill(kUntouched);
        slowR.fill(kUntouched);
        const double fast = pool.factory->GetSamples(sample, position, fastL.data(), fastR.data(),
                                                     frames, rate, looping);
        const double slow = reference::GetSamples(*pool.factory, sample, position, slowL.data(),
                                                  slowR.data(), frames, rate, looping);
        ASSERT_TRUE(reference::SameBits(fast, slow)) << fast << " instead of " << slow;
        ASSERT_TRUE(reference::SameBits(fastL.data(), slowL.data(), kMaxBlock));
        ASSERT_TRUE(reference::SameBits(fastR.data(), slowR.data(), kMaxBlock));
        position = fast == -1.0 ? PickPosition(rng, *sample) : fast;
    }
}
