// The optimised shifter against the straightforward frame-by-frame processing: long randomised
// workloads of ratios, lengths, skips, resets and block sizes, every output float compared bit
// for bit.
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
    case 4:
        // Semitones -24 ... +24, as keys and the pitch parameter ask for them.
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

// Drives both shifters through the same random sequence of calls and compares every output.
void RunWorkload(std::uint32_t seed, int blocks)
{
    SCOPED_TRACE(seed);
    std::mt19937 rng(seed);
    auto fast = std::make_unique<CShifter>();
    auto slow = std::make_unique<reference::CShifter>();
    std::vector<float> inL(kMaxBlock), inR(kMaxBlock);
    std::vector<float> fastL(kMaxBlock), fastR(kMaxBlock), slowL(kMaxBlock), slowR(kMaxBlock);

    for (int b = 0; b < blocks; ++b)
    {
        SCOPED_TRACE(b);
        const unsigned action = rng() % 100;
        if (action < 30)
        {
            const double ratio = PickRatio(rng);
            fast->SetShifting(ratio);
            slow->SetShifting(ratio);
        }
        else if (action < 35)
        {
            const int size = static_cast<int>(rng() % 20100) - 50;
            fast->SetBufferSize(size);
            slow->SetBufferSize(size);
        }
        else if (action < 40)
        {
            const int skip = static_cast<int>(rng() % 40000) - 5;
            fast->SkipSamples(skip);
            slow->SkipSamples(skip);
        }
        else if (action < 43)
        {
            fast->Reset();
            slow->Reset();
        }

        const int frames = PickFrames(rng);
        reference::FillSignal(rng, inL.data(), inR.data(), frames);
        int fastDone = 0;
        if (rng() % 2 == 0)
        {
            // In place, as the voices use it.
            fastL = inL;
            fastR = inR;
            fastDone =
                fast->GetSamples(fastL.data(), fastR.data(), fastL.data(), fastR.data(), frames);
        }
        else
        {
            fastDone = fast->GetSamples(inL.data(), inR.data(), fastL.data(), fastR.data(), frames);
        }
        const int slowDone =
            slow->GetSamples(inL.data(), inR.data(), slowL.data(), slowR.data(), frames);

        ASSERT_EQ(fastDone, slowDone);
        ASSERT_TRUE(reference::SameBits(fastL.data(), slowL.data(), frames));
        ASSERT_TRUE(reference::SameBits(fastR.data(), slowR.data(), frames));
    }
}
// Runs a check on the kernels the processor offers and again on the portable ones.
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

// Heads crossing the writer many times at the ratios the voices use most, without the
// disturbance of resets: every relative position of heads and writer comes up.
void RunSteady()
{
    for (const double ratio : {1.26, 0.5, 1.0 / 1.26, 2.0, 3.7, 7.5, 0.995})
    {
        SCOPED_TRACE(ratio);
        auto fast = std::make_unique<CShifter>();
        auto slow = std::make_unique<reference::CShifter>();
        fast->SetShifting(ratio);
        slow->SetShifting(ratio);
        std::mt19937 rng(static_cast<std::uint32_t>(ratio * 1000));
        std::array<float, 16> inL{}, inR{}, fastL{}, fastR{}, slowL{}, slowR{};
        for (int b = 0; b < 6000; ++b)
        {
            reference::FillSignal(rng, inL.data(), inR.data(), 16);
            fast->GetSamples(inL.data(), inR.data(), fastL.data(), fastR.data(), 16);
            slow->GetSamples(inL.data(), inR.data(), slowL.data(), slowR.data(), 16);
            ASSERT_TRUE(reference::SameBits(fastL.data(), slowL.data(), 16)) << "block " << b;
            ASSERT_TRUE(reference::SameBits(fastR.data(), slowR.data(), 16)) << "block " << b;
        }
    }
}

} // namespace

TEST(CShifterReference, RandomWorkloadsMatchBitForBit)
{
    OnBothPaths(
        []
        {
            for (std::uint32_t seed = 1; seed <= 6; ++seed)
                RunWorkload(seed, 3000);
        });
}

// Heads placed just ahead of and just behind the writer, at ratios below, near and above 1:
// the runs that are written before they are read must stop short of every frame a head would
// read before the writer gets there.
void RunNearWriter()
{
    for (const double ratio : {0.5, 0.991, 0.99999, 1.00001, 1.01, 1.26, 2.0, 5.5})
    {
        SCOPED_TRACE(ratio);
        for (int offset = -40; offset <= 40; ++offset)
        {
            SCOPED_TRACE(offset);
            auto fast = std::make_unique<CShifter>();
            auto slow = std::make_unique<reference::CShifter>();
            std::mt19937 rng(static_cast<std::uint32_t>(offset + 100));
            std::array<float, 16> inL{}, inR{}, fastL{}, fastR{}, slowL{}, slowR{};
            fast->SetShifting(ratio);
            slow->SetShifting(ratio);
            // The first shifting frame places the heads a quarter of the line either side of
            // the writer; a skip of a quarter plus the offset brings the first one to it.
            fast->GetSamples(inL.data(), inR.data(), fastL.data(), fastR.data(), 1);
            slow->GetSamples(inL.data(), inR.data(), slowL.data(), slowR.data(), 1);
            const int skip = fast->Size() / 4 + offset + (offset < 0 ? fast->Size() : 0);
            fast->SkipSamples(skip);
            slow->SkipSamples(skip);
            for (int b = 0; b < 60; ++b)
            {
                const int frames = 1 + (b * 7) % 16;
                reference::FillSignal(rng, inL.data(), inR.data(), frames);
                fast->GetSamples(inL.data(), inR.data(), fastL.data(), fastR.data(), frames);
                slow->GetSamples(inL.data(), inR.data(), slowL.data(), slowR.data(), frames);
                ASSERT_TRUE(reference::SameBits(fastL.data(), slowL.data(), frames)) << b;
                ASSERT_TRUE(reference::SameBits(fastR.data(), slowR.data(), frames)) << b;
            }
        }
    }
}

TEST(CShifterReference, HeadsNearTheWriterMatchBitForBit)
{
    OnBothPaths([] { RunNearWriter(); });
}

TEST(CShifterReference, InfiniteInputsMatchBitForBit)
{
    auto fast = std::make_unique<CShifter>();
    auto slow = std::make_unique<reference::CShifter>();
    std::mt19937 rng(404);
    std::array<float, 16> inL{}, inR{}, fastL{}, fastR{}, slowL{}, slowR{};
    for (int b = 0; b < 3000; ++b)
    {
        if (b % 100 == 0)
        {
            const double ratio = PickRatio(rng);
            fast->SetShifting(ratio);
            slow->SetShifting(ratio);
        }
        reference::FillWithInfinities(rng, inL.data(), inR.data(), 16);
        fast->GetSamples(inL.data(), inR.data(), fastL.data(), fastR.data(), 16);
        slow->GetSamples(inL.data(), inR.data(), slowL.data(), slowR.data(), 16);
        ASSERT_TRUE(reference::SameBits(fastL.data(), slowL.data(), 16)) << "block " << b;
        ASSERT_TRUE(reference::SameBits(fastR.data(), slowR.data(), 16)) << "block " << b;
    }
}

TEST(CShifterReference, LongSteadyShiftsMatchBitForBit)
{
    OnBothPaths([] { RunSteady(); });
}
