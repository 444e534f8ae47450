// The optimised reverberator against the straightforward frame-by-frame processing: random
// settings, freezes, mutes, block sizes and output modes, long decays into subnormal numbers,
// and combs on lines of their own; every output float compared bit for bit.
#include "dsp/reference/BitExact.h"
#include "dsp/reference/revmodel.h"
#include "dsp/revmodel.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

namespace
{
constexpr int kMaxBlock = 5000;

struct Pair
{
    std::unique_ptr<revmodel> fast = std::make_unique<revmodel>();
    std::unique_ptr<reference::revmodel> slow = std::make_unique<reference::revmodel>();
    std::vector<float> inL = std::vector<float>(kMaxBlock);
    std::vector<float> inR = std::vector<float>(kMaxBlock);
    std::vector<float> fastL = std::vector<float>(kMaxBlock);
    std::vector<float> fastR = std::vector<float>(kMaxBlock);
    std::vector<float> slowL = std::vector<float>(kMaxBlock);
    std::vector<float> slowR = std::vector<float>(kMaxBlock);

    // outputs: 0 separate arrays, 1 in place, 2 none.
    void Process(int frames, int outputs)
    {
        // Untouched frames must stay untouched alike.
        for (std::vector<float>* v : {&fastL, &fastR, &slowL, &slowR})
            std::fill(v->begin(), v->end(), 777.0f);
        switch (outputs)
        {
        case 0:
            fast->processreplace(inL.data(), inR.data(), fastL.data(), fastR.data(), frames);
            break;
        case 1:
            std::copy_n(inL.begin(), kMaxBlock, fastL.begin());
            std::copy_n(inR.begin(), kMaxBlock, fastR.begin());
            fast->processreplace(fastL.data(), fastR.data(), fastL.data(), fastR.data(), frames);
            break;
        default:
            fast->processreplace(inL.data(), inR.data(), nullptr, nullptr, frames);
            break;
        }
        slow->processreplace(inL.data(), inR.data(), outputs == 2 ? nullptr : slowL.data(),
                             outputs == 2 ? nullptr : slowR.data(), frames);
    }

    ::testing::AssertionResult Same(int frames) const
    {
        auto left = reference::SameBits(fastL.data(), slowL.data(), frames);
        if (!left) return left << " (left)";
        auto right = reference::SameBits(fastR.data(), slowR.data(), frames);
        if (!right) return right << " (right)";
        return ::testing::AssertionSuccess();
    }

    // Runs blocks of silence and then one of outputs and compares them.
    ::testing::AssertionResult Tail(int frames)
    {
        std::fill_n(inL.begin(), frames, 0.0f);
        std::fill_n(inR.begin(), frames, 0.0f);
        Process(frames, 0);
        return Same(frames);
    }
};

int PickFrames(std::mt19937& rng)
{
    static constexpr std::array<int, 11> kSizes = {0, 1, 2, 3, 15, 16, 17, 64, 256, 256, 2048};
    if (rng() % 4 == 0) return static_cast<int>(rng() % kMaxBlock) + 1;
    return kSizes[rng() % kSizes.size()];
}

void RunWorkload(std::uint32_t seed, int blocks)
{
    SCOPED_TRACE(seed);
    std::mt19937 rng(seed);
    Pair pair;
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    struct Setting
    {
        void (revmodel::*set)(float);
        float from, span;
    };
    static constexpr std::array<Setting, 5> kSettings = {{{&revmodel::setroomsize, 0.7f, 0.2f},
                                                          {&revmodel::setdamp, 0.0f, 100.0f},
                                                          {&revmodel::setwet, 0.0f, 1.0f},
                                                          {&revmodel::setdry, 0.0f, 1.0f},
                                                          {&revmodel::setwidth, 0.0f, 100.0f}}};
    // Freeze on and off, and values either side of the threshold.
    static constexpr std::array<float, 5> kModes = {0.0f, 1.0f, 0.999f, 2.0f, 0.0f};
    for (int b = 0; b < blocks; ++b)
    {
        SCOPED_TRACE(b);
        const unsigned action = rng() % 100;
        if (action < 30)
        {
            const Setting& s = kSettings[action / 6];
            const float v = s.from + s.span * unit(rng);
            (pair.fast.get()->*s.set)(v);
            (pair.slow.get()->*s.set)(v);
        }
        else if (action < 36)
        {
            const float v = kModes[rng() % kModes.size()];
            pair.fast->setmode(v);
            pair.slow->setmode(v);
        }
        else if (action < 39)
        {
            pair.fast->mute();
            pair.slow->mute();
        }
        const int frames = PickFrames(rng);
        reference::FillSignal(rng, pair.inL.data(), pair.inR.data(), frames);
        pair.Process(frames, static_cast<int>(rng() % 3));
        ASSERT_TRUE(pair.Same(frames));
    }
}
} // namespace

TEST(revmodelReference, RandomWorkloadsMatchBitForBit)
{
    for (std::uint32_t seed = 1; seed <= 4; ++seed)
        RunWorkload(seed, 600);
}

TEST(revmodelReference, DecayIntoSubnormalsMatchesBitForBit)
{
    // A burst, then a minute of silence: the tail decays through the subnormal range to zero.
    // Settings with little damping and much feedback keep it long.
    Pair pair;
    pair.fast->setroomsize(0.9f);
    pair.fast->setdamp(0.0f);
    pair.slow->setroomsize(0.9f);
    pair.slow->setdamp(0.0f);
    std::mt19937 rng(99);
    reference::FillSignal(rng, pair.inL.data(), pair.inR.data(), 256);
    pair.Process(256, 0);
    ASSERT_TRUE(pair.Same(256));
    for (int b = 0; b < 60 * 48000 / 4096; ++b)
        ASSERT_TRUE(pair.Tail(4096)) << "block " << b;
}

TEST(revmodelReference, InfiniteInputsMatchBitForBit)
{
    // One infinity fills the network with infinities and NaNs for good: a few blocks show
    // whether they arise and travel alike.
    Pair pair;
    std::mt19937 rng(8);
    for (int b = 0; b < 40; ++b)
    {
        const int frames = 1 + static_cast<int>(rng() % 700);
        reference::FillWithInfinities(rng, pair.inL.data(), pair.inR.data(), frames);
        pair.Process(frames, static_cast<int>(rng() % 2));
        ASSERT_TRUE(pair.Same(frames)) << "block " << b;
    }
}

TEST(revmodelReference, FrozenTailMatchesBitForBit)
{
    Pair pair;
    std::mt19937 rng(5);
    reference::FillSignal(rng, pair.inL.data(), pair.inR.data(), 3000);
    pair.Process(3000, 0);
    pair.fast->setmode(1.0f);
    pair.slow->setmode(1.0f);
    for (int b = 0; b < 200; ++b)
    {
        reference::FillSignal(rng, pair.inL.data(), pair.inR.data(), 512);
        pair.Process(512, 1);
        ASSERT_TRUE(pair.Same(512)) << "block " << b;
    }
}

TEST(revmodelReference, CombsOnLinesOfTheirOwnMatchBitForBit)
{
    // Lines far shorter than a processing block, and a comb given a new line mid-stream.
    Pair pair;
    std::vector<std::vector<float>> fastLines;
    std::vector<std::vector<float>> slowLines;
    std::mt19937 rng(17);
    const std::array<int, 8> lengths = {1, 2, 3, 5, 16, 17, 33, 700};
    for (int channel = 0; channel < revmodel::kChannels; ++channel)
    {
        for (int comb = 0; comb < revmodel::kCombs; ++comb)
        {
            const int frames = lengths[static_cast<std::size_t>((comb + channel * 3) % 8)];
            fastLines.emplace_back(static_cast<std::size_t>(frames), 0.0f);
            slowLines.emplace_back(static_cast<std::size_t>(frames), 0.0f);
            pair.fast->setbufferComb(channel, comb, fastLines.back().data(), frames);
            pair.slow->setbufferComb(channel, comb, slowLines.back().data(), frames);
        }
    }
    pair.fast->setdampComb(0.25f);
    pair.slow->setdampComb(0.25f);
    pair.fast->setfeedbackComb(0.6f);
    pair.slow->setfeedbackComb(0.6f);
    for (int b = 0; b < 300; ++b)
    {
        SCOPED_TRACE(b);
        const int frames = PickFrames(rng);
        reference::FillSignal(rng, pair.inL.data(), pair.inR.data(), frames);
        pair.Process(frames, static_cast<int>(rng() % 3));
        ASSERT_TRUE(pair.Same(frames));
        if (b % 50 == 49)
        {
            const int channel = static_cast<int>(rng() % 2);
            const int comb = static_cast<int>(rng() % 8);
            pair.fast->muteComb(channel, comb);
            pair.slow->muteComb(channel, comb);
        }
    }
}
