// The optimised shifter against the straightforward frame-by-frame processing: long randomised
// workloads of ratios, lengths, skips, resets and block sizes, every output float compared bit
// for bit, on the kernels the processor offers and on the portable ones.
#include "dsp/CShifter.h"
#include "dsp/CSimdPath.h"
#include "dsp/reference/BitExact.h"
#include "dsp/reference/CShifter.h"

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
constexpr int kMaxBlock = 700;

struct Pair
{
    std::unique_ptr<CShifter> fast = std::make_unique<CShifter>();
    std::unique_ptr<reference::CShifter> slow = std::make_unique<reference::CShifter>();
    std::vector<float> inL = std::vector<float>(kMaxBlock), inR = inL;
    std::vector<float> fastL = inL, fastR = inL, slowL = inL, slowR = inL;

    template <typename Call> void Both(Call call)
    {
        call(static_cast<CShifter&>(*fast));
        call(static_cast<CShifter&>(*slow));
    }

    // Runs both over the input already in inL/inR; the optimised one in place if asked, as the
    // voices use it.
    ::testing::AssertionResult Process(int frames, bool inPlace = false)
    {
        int fastDone = 0;
        if (inPlace)
        {
            fastL = inL;
            fastR = inR;
            fastDone =
                fast->GetSamples(fastL.data(), fastR.data(), fastL.data(), fastR.data(), frames);
        }
        else
            fastDone = fast->GetSamples(inL.data(), inR.data(), fastL.data(), fastR.data(), frames);
        const int slowDone =
            slow->GetSamples(inL.data(), inR.data(), slowL.data(), slowR.data(), frames);
        if (fastDone != slowDone) return ::testing::AssertionFailure() << "frames processed";
        auto left = reference::SameBits(fastL.data(), slowL.data(), frames);
        return left ? reference::SameBits(fastR.data(), slowR.data(), frames) : left;
    }
};

double PickRatio(std::mt19937& rng)
{
    static constexpr std::array<double, 22> kSpecial = {
        0.5, 2.5,  3.2, 6.3,  12.0,   1.0 + 1e-12, 1.0 - 1e-12, 1699.5, 1700,     16999.5, 17001.,
        1e6, 1e-7, 0.0, -1.0, 4.9999, 5.0,         0.25,        2.0,    1.0 / 3., 16.99,   10.0};
    switch (rng() % 8)
    {
    case 0:
    case 1:
        return 1.0;
    case 2:
        return kSpecial[rng() % kSpecial.size()];
    case 3:
        return rng() % 2 ? std::numeric_limits<double>::quiet_NaN()
                         : std::numeric_limits<double>::infinity();
    case 4: // semitones -24 ... +24, as keys and the pitch parameter ask for them
        return std::pow(2.0, static_cast<int>(rng() % 49 - 24) / 12.0);
    default:
        return std::exp(std::uniform_real_distribution<double>(-3.0, 3.5)(rng));
    }
}

int PickFrames(std::mt19937& rng)
{
    static constexpr std::array<int, 12> kSizes = {0, 1, 2, 3, 7, 15, 16, 16, 17, 31, 64, 256};
    if (rng() % 4 == 0) return static_cast<int>(rng() % kMaxBlock) + 1;
    return kSizes[rng() % kSizes.size()];
}

template <typename Check> void OnBothPaths(Check check)
{
    for (const bool portable : {false, true})
    {
        SCOPED_TRACE(portable ? "portable kernels" : "kernels the processor offers");
        CSimdPath::ForcePortable(portable);
        check();
    }
    CSimdPath::ForcePortable(false);
}
} // namespace

TEST(CShifterReference, RandomWorkloadsMatchBitForBit)
{
    OnBothPaths(
        []
        {
            for (std::uint32_t seed = 1; seed <= 6; ++seed)
            {
                SCOPED_TRACE(seed);
                std::mt19937 rng(seed);
                Pair pair;
                for (int b = 0; b < 3000; ++b)
                {
                    const unsigned action = rng() % 100;
                    const double ratio = PickRatio(rng);
                    const int count = static_cast<int>(rng() % 40000) - 5;
                    if (action < 30)
                        pair.Both([&](CShifter& s) { s.SetShifting(ratio); });
                    else if (action < 35)
                        pair.Both([&](CShifter& s) { s.SetBufferSize(count / 2 - 50); });
                    else if (action < 40)
                        pair.Both([&](CShifter& s) { s.SkipSamples(count); });
                    else if (action < 43)
                        pair.Both([](CShifter& s) { s.Reset(); });
                    const int frames = PickFrames(rng);
                    reference::FillSignal(rng, pair.inL.data(), pair.inR.data(), frames);
                    ASSERT_TRUE(pair.Process(frames, rng() % 2 == 0)) << "block " << b;
                }
            }
        });
}

// Heads placed just ahead of and just behind the writer, at ratios below, near and above 1:
// the runs written before they are read must stop short of every frame a head would read
// before the writer gets there.  Then long steady shifts, where every relative position of
// heads and writer comes up.
TEST(CShifterReference, HeadsNearTheWriterAndSteadyShiftsMatchBitForBit)
{
    OnBothPaths(
        []
        {
            for (const double ratio : {0.5, 0.991, 0.99999, 1.00001, 1.01, 1.26, 2.0, 5.5})
                for (int offset = -40; offset <= 40; ++offset)
                {
                    SCOPED_TRACE(testing::Message() << ratio << " at " << offset);
                    Pair pair;
                    std::mt19937 rng(static_cast<std::uint32_t>(offset + 100));
                    pair.Both([&](CShifter& s) { s.SetShifting(ratio); });
                    // The first shifting frame places the heads a quarter of the line either
                    // side of the writer; a skip of a quarter plus the offset brings one to it.
                    ASSERT_TRUE(pair.Process(1));
                    const int size = pair.fast->Size();
                    const int skip = size / 4 + offset + (offset < 0 ? size : 0);
                    pair.Both([&](CShifter& s) { s.SkipSamples(skip); });
                    for (int b = 0; b < 60; ++b)
                    {
                        const int frames = 1 + (b * 7) % 16;
                        reference::FillSignal(rng, pair.inL.data(), pair.inR.data(), frames);
                        ASSERT_TRUE(pair.Process(frames)) << b;
                    }
                }
            for (const double ratio : {1.26, 0.5, 1.0 / 1.26, 2.0, 3.7, 7.5, 0.995})
            {
                SCOPED_TRACE(ratio);
                Pair pair;
                pair.Both([&](CShifter& s) { s.SetShifting(ratio); });
                std::mt19937 rng(static_cast<std::uint32_t>(ratio * 1000));
                for (int b = 0; b < 6000; ++b)
                {
                    reference::FillSignal(rng, pair.inL.data(), pair.inR.data(), 16);
                    ASSERT_TRUE(pair.Process(16)) << "block " << b;
                }
            }
        });
}

TEST(CShifterReference, InfiniteInputsMatchBitForBit)
{
    Pair pair;
    std::mt19937 rng(404);
    for (int b = 0; b < 3000; ++b)
    {
        if (b % 100 == 0)
        {
            const double ratio = PickRatio(rng);
            pair.Both([&](CShifter& s) { s.SetShifting(ratio); });
        }
        reference::FillWithInfinities(rng, pair.inL.data(), pair.inR.data(), 16);
        ASSERT_TRUE(pair.Process(16)) << "block " << b;
    }
}
