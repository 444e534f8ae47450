// The optimised shifter and reverberator against their frame-by-frame references: long random
// workloads of settings, block sizes and output modes, every output float compared bit for bit.
#include "dsp/CSimdPath.h"
#include "dsp/reference/BitExact.h"
#include "dsp/reference/CShifter.h"
#include "dsp/reference/revmodel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <vector>

namespace
{
constexpr int kMaxBlock = 5000;

// Both units and their outputs; the reference always renders into separate arrays.
template <typename Fast, typename Slow> struct Pair
{
    std::unique_ptr<Fast> fast = std::make_unique<Fast>();
    std::unique_ptr<Slow> slow = std::make_unique<Slow>();
    std::vector<float> inL = std::vector<float>(kMaxBlock), inR = inL, fastL = inL, fastR = inL,
                       slowL = inL, slowR = inL;
    std::mt19937 rng;

    template <typename Call> void Both(Call call)
    {
        call(static_cast<Fast&>(*fast));
        call(static_cast<Fast&>(*slow));
    }
    // Renders fresh input; outputs 0: separate arrays, 1: in place, 2: none (reverb only).
    ::testing::AssertionResult Process(int frames, int outputs = 0, bool infinities = false)
    {
        reference::FillSignal(rng, inL.data(), inR.data(), frames, infinities);
        const int n = std::min(frames + 16, kMaxBlock); // frames past the block stay untouched
        for (std::vector<float>* v : {&fastL, &fastR, &slowL, &slowR})
            std::fill_n(v->begin(), n, 777.0f);
        if (outputs == 1) std::copy_n(inL.begin(), frames, fastL.begin());
        if (outputs == 1) std::copy_n(inR.begin(), frames, fastR.begin());
        const float* l = outputs == 1 ? fastL.data() : inL.data();
        const float* r = outputs == 1 ? fastR.data() : inR.data();
        if constexpr (std::is_same_v<Fast, CShifter>)
        {
            fast->GetSamples(l, r, fastL.data(), fastR.data(), frames);
            slow->GetSamples(inL.data(), inR.data(), slowL.data(), slowR.data(), frames);
        }
        else
        {
            const bool none = outputs == 2;
            fast->processreplace(l, r, none ? nullptr : fastL.data(), fastR.data(), frames);
            slow->processreplace(inL.data(), inR.data(), none ? nullptr : slowL.data(),
                                 slowR.data(), frames);
        }
        auto left = reference::SameBits(fastL.data(), slowL.data(), n);
        return left ? reference::SameBits(fastR.data(), slowR.data(), n) : left << " (left)";
    }
};
using ShifterPair = Pair<CShifter, reference::CShifter>;

int PickFrames(std::mt19937& rng, int most)
{
    constexpr int kSizes[] = {0, 1, 2, 3, 7, 15, 16, 16, 17, 31, 64, 256, 2048};
    return rng() % 4 == 0 ? static_cast<int>(rng() % most) + 1 : kSizes[rng() % 13] % (most + 1);
}

double PickRatio(std::mt19937& rng)
{
    // Buffer-length boundaries, ratios around 1, beyond the line, and ratios refused.
    const double inf = std::numeric_limits<double>::infinity();
    const double kSpecial[] = {0.5,  2.5, 3.2,  6.3,    12.0,   1.0 + 1e-12, 1.0 - 1e-12, 1700.,
                               1e6,  0.0, -1.0, 4.9999, 5.0,    0.25,        2.0,         10.0,
                               1e-7, inf, -inf, 16.99,  17001., std::nan("")};
    const unsigned kind = rng() % 8;
    if (kind == 2) return kSpecial[rng() % std::size(kSpecial)];
    if (kind == 3) return std::pow(2.0, static_cast<int>(rng() % 49 - 24) / 12.0); // semitones
    return kind < 2 ? 1.0 : std::exp(std::uniform_real_distribution<double>(-3.0, 3.5)(rng));
}
} // namespace

TEST(CShifterReference, MatchesBitForBitOnBothKernelPaths)
{
    for (const bool portable : {false, true})
    {
        SCOPED_TRACE(portable ? "portable kernels" : "kernels the processor offers");
        CSimdPath::ForcePortable(portable);
        for (std::uint32_t seed = 1; seed <= 6; ++seed) // random workloads
        {
            SCOPED_TRACE(seed);
            ShifterPair pair;
            auto& rng = pair.rng;
            rng.seed(seed);
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
                const int frames = PickFrames(rng, 700);
                ASSERT_TRUE(pair.Process(frames, static_cast<int>(rng() % 2), seed == 6)) << b;
            }
        }
        // A head just ahead of or behind the writer: the runs written before they are read
        // must stop short of every frame a head reads before the writer gets there.
        for (const double ratio : {0.5, 0.991, 0.99999, 1.00001, 1.01, 1.26, 2.0, 5.5})
            for (int offset = -40; offset <= 40; ++offset)
            {
                SCOPED_TRACE(testing::Message() << ratio << " at " << offset);
                ShifterPair pair;
                pair.Both([&](CShifter& s) { s.SetShifting(ratio); });
                // The first shifting frame puts the heads a quarter line either side of the
                // writer; a skip of a quarter plus the offset brings one to it.
                ASSERT_TRUE(pair.Process(1));
                const int size = pair.fast->Size();
                pair.Both([&](CShifter& s)
                          { s.SkipSamples(size / 4 + offset + (offset < 0 ? size : 0)); });
                for (int b = 0; b < 600; ++b) // and on, through every relative position
                    ASSERT_TRUE(pair.Process(1 + (b * 7) % 16)) << b;
            }
    }
    CSimdPath::ForcePortable(false);
}

TEST(revmodelReference, MatchesBitForBit)
{
    struct Setting
    {
        void (revmodel::*set)(float);
        float from, span;
    };
    constexpr Setting kSettings[] = {{&revmodel::setroomsize, 0.7f, 0.2f},
                                     {&revmodel::setdamp, 0.0f, 100.0f},
                                     {&revmodel::setwet, 0.0f, 1.0f},
                                     {&revmodel::setdry, 0.0f, 1.0f},
                                     {&revmodel::setwidth, 0.0f, 100.0f},
                                     {&revmodel::setmode, 0.999f, 0.002f}}; // freeze either side
    for (std::uint32_t seed = 1; seed <= 6; ++seed)
    {
        SCOPED_TRACE(seed);
        Pair<revmodel, reference::revmodel> pair;
        std::mt19937& rng = pair.rng;
        rng.seed(seed);
        for (int b = 0; b < 600; ++b)
        {
            const unsigned action = rng() % 100;
            const float value = std::uniform_real_distribution<float>(0.0f, 1.0f)(rng);
            const Setting& s = kSettings[action % 6];
            if (action < 36)
                pair.Both([&](revmodel& r) { (r.*s.set)(s.from + s.span * value); });
            else if (action < 39)
                pair.Both([](revmodel& r) { r.mute(); });
            const int outputs = static_cast<int>(rng() % 3);
            ASSERT_TRUE(pair.Process(PickFrames(rng, kMaxBlock), outputs, seed == 4)) << b;
        }
    }
}
