// The optimised envelope against its straightforward frame-by-frame processing: random stages,
// levels, sustains, attack times, resets and block sizes; every output float, the stage and
// the level compared bit for bit.
#include "dsp/reference/BitExact.h"
#include "samples/reference/CADSR.h"

#include <gtest/gtest.h>

#include <array>
#include <random>

TEST(CADSRReference, RandomEnvelopesMatchBitForBit)
{
    std::mt19937 rng(11);
    CADSR fast;
    reference::CADSR slow;
    std::array<float, 64> fastL{}, fastR{}, slowL{}, slowR{};
    for (int call = 0; call < 100000; ++call)
    {
        SCOPED_TRACE(call);
        switch (rng() % 8)
        {
        case 0:
        {
            const auto stage = static_cast<int>(rng() % 4);
            fast.SetStage(static_cast<CADSR::EStage>(stage));
            slow.SetStage(static_cast<CADSR::EStage>(stage));
            break;
        }
        case 1:
        {
            const float level = std::uniform_real_distribution<float>(-0.1f, 1.2f)(rng);
            fast.SetLevel(level);
            slow.SetLevel(level);
            break;
        }
        case 2:
        {
            const float sustain = std::uniform_real_distribution<float>(0.0f, 1.0f)(rng);
            fast.SetSustain(sustain);
            slow.SetSustain(sustain);
            break;
        }
        case 3:
        {
            const float attack = rng() % 2 ? 0.03f : 0.0001f * static_cast<float>(rng() % 100);
            fast.SetAttack(attack);
            slow.SetAttack(attack);
            break;
        }
        case 4:
            fast.Reset();
            slow.Reset();
            break;
        default:
            break;
        }
        const int frames = static_cast<int>(rng() % 65) - (rng() % 10 == 0 ? 1 : 0);
        const double sampleRate = rng() % 2 ? 48000.0 : 44100.0;
        reference::FillSignal(rng, fastL.data(), fastR.data(), 64);
        slowL = fastL;
        slowR = fastR;
        ASSERT_EQ(fast.GetSamples(fastL.data(), fastR.data(), frames, sampleRate),
                  slow.GetSamples(slowL.data(), slowR.data(), frames, sampleRate));
        ASSERT_TRUE(reference::SameBits(fastL.data(), slowL.data(), 64));
        ASSERT_TRUE(reference::SameBits(fastR.data(), slowR.data(), 64));
        ASSERT_EQ(static_cast<int>(fast.Stage()), static_cast<int>(slow.Stage()));
        ASSERT_TRUE(reference::SameBits(fast.Level(), slow.Level()));
    }
}
