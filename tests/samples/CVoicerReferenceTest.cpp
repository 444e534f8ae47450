// The optimised voice path (voicer, voices, envelopes, shifters, sample playback) against the
// reference copies of the straightforward one, driven through the same long random sequences
// of note starts and stops, syncs, tempo and rate changes, key settings, skips, erasures and
// render calls; every output float and the state of every voice and key compared bit for bit.
#include "dsp/CSimdPath.h"
#include "dsp/reference/BitExact.h"
#include "samples/CADSR.h"
#include "samples/CKeyInfo.h"
#include "samples/CSampleFactory.h"
#include "samples/CVoicer.h"
#include "samples/reference/CADSR.h"
#include "samples/reference/CKeyInfo.h"
#include "samples/reference/CVoicer.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

namespace
{
constexpr int kKeys = 24;
constexpr int kVoices = 16;
constexpr int kMaxBlock = 300;

struct World
{
    std::unique_ptr<CSampleFactory> factory = std::make_unique<CSampleFactory>(400000, 16);
    std::vector<CSample*> samples;
    std::array<CKeyInfo, kKeys> keys;
    std::array<reference::CKeyInfo, kKeys> refKeys;
    std::unique_ptr<CVoicer> voicer = std::make_unique<CVoicer>(kVoices);
    std::unique_ptr<reference::CVoicer> refVoicer = std::make_unique<reference::CVoicer>(kVoices);
    std::vector<float> fastL = std::vector<float>(kMaxBlock);
    std::vector<float> fastR = std::vector<float>(kMaxBlock);
    std::vector<float> slowL = std::vector<float>(kMaxBlock);
    std::vector<float> slowR = std::vector<float>(kMaxBlock);

    explicit World(std::mt19937& rng)
    {
        const std::array<double, 5> tempos = {-1.0, 100.0, 120.0, 133.3, 87.0};
        const std::array<double, 3> rates = {0.0, 44100.0, 48000.0};
        for (const int size : {10, 100, 777, 4000, 20000, 48000, 96000})
        {
            std::vector<float> left(static_cast<std::size_t>(size));
            std::vector<float> right(static_cast<std::size_t>(size));
            reference::FillSignal(rng, left.data(), right.data(), size);
            CSample* s = factory->NewSample();
            s->Record(left.data(), right.data(), size);
            s->SetTempo(tempos[rng() % tempos.size()]);
            s->SetSampleRate(rates[rng() % rates.size()]);
            s->SetNeverLoop(rng() % 5 == 0);
            s->SetPlayAll(rng() % 7 == 0);
            // The test keeps a reference of its own, so no erasure compacts the pool between
            // the two voicers' renders.
            samples.push_back(s);
        }
        for (int k = 0; k < kKeys; ++k)
        {
            CSample* s = samples[static_cast<std::size_t>(k) % samples.size()];
            keys[k].SetSample(s);
            refKeys[k].SetSample(s);
        }
    }
    ~World()
    {
        for (CSample* s : samples)
            s->Release();
    }

    int KeyIndex(const CKeyInfo* key) const
    {
        return key ? static_cast<int>(key - keys.data()) : -1;
    }
    int KeyIndex(const reference::CKeyInfo* key) const
    {
        return key ? static_cast<int>(key - refKeys.data()) : -1;
    }

    ::testing::AssertionResult SameState() const
    {
        if (voicer->Top() != refVoicer->Top()) return ::testing::AssertionFailure() << "top";
        for (int i = 0; i < kVoices; ++i)
        {
            const CVoice& v = voicer->Voice(i);
            const reference::CVoice& r = refVoicer->Voice(i);
            if (voicer->Priority(i) != refVoicer->Priority(i) ||
                KeyIndex(v.Note()) != KeyIndex(r.Note()) || v.SyncMode() != r.SyncMode() ||
                static_cast<int>(v.Envelope().Stage()) != static_cast<int>(r.Envelope().Stage()) ||
                !reference::SameBits(v.Envelope().Level(), r.Envelope().Level()) ||
                v.Shifter().Size() != r.Shifter().Size() ||
                !reference::SameBits(v.Shifter().Shift(), r.Shifter().Shift()) ||
                v.IsSilent() != r.IsSilent())
                return ::testing::AssertionFailure() << "voice " << i;
        }
        for (int k = 0; k < kKeys; ++k)
        {
            const CKeyInfo& a = keys[k];
            const reference::CKeyInfo& b = refKeys[k];
            if (a.Sample() != b.Sample() || a.IsPlaying() != b.IsPlaying() ||
                !reference::SameBits(a.Position(), b.Position()) ||
                a.ShouldStart() != b.ShouldStart() || a.ShouldStop() != b.ShouldStop() ||
                a.Skip() != b.Skip() || a.Gain() != b.Gain() || a.Looping() != b.Looping())
                return ::testing::AssertionFailure() << "key " << k;
        }
        return ::testing::AssertionSuccess();
    }
};

double PickShift(std::mt19937& rng)
{
    if (rng() % 3 == 0) return 1.0;
    return std::pow(2.0, static_cast<int>(rng() % 49 - 24) / 12.0);
}

double PickSpeed(std::mt19937& rng)
{
    static constexpr std::array<double, 9> kSpeeds = {1.0,  1.0, 1.0,  0.5, 2.0,
                                                      -1.0, 0.0, 1.37, -0.3};
    return kSpeeds[rng() % kSpeeds.size()];
}

void RunWorkload(std::uint32_t seed, int steps)
{
    SCOPED_TRACE(seed);
    std::mt19937 rng(seed);
    World w(rng);
    bool looping = true;
    double speed = 1.0;
    for (int step = 0; step < steps; ++step)
    {
        SCOPED_TRACE(step);
        const int k = static_cast<int>(rng() % kKeys);
        const unsigned action = rng() % 100;
        if (action < 14)
        {
            const int sync = static_cast<int>(rng() % 3);
            const float gain = static_cast<float>(rng() % 128) / 127.0f;
            ASSERT_EQ(w.voicer->StartNote(&w.keys[k], sync, gain),
                      w.refVoicer->StartNote(&w.refKeys[k], sync, gain));
        }
        else if (action < 22)
        {
            const int sync = static_cast<int>(rng() % 3);
            ASSERT_EQ(w.voicer->StopNote(&w.keys[k], sync),
                      w.refVoicer->StopNote(&w.refKeys[k], sync));
        }
        else if (action < 23)
        {
            w.voicer->AllNotesOff();
            w.refVoicer->AllNotesOff();
        }
        else if (action < 27)
        {
            const double shift = PickShift(rng);
            w.keys[k].SetPitchShift(shift);
            w.refKeys[k].SetPitchShift(shift);
        }
        else if (action < 29)
        {
            const double shift = rng() % 2 ? 1.0 : PickShift(rng);
            w.keys[k].SetLegatoShift(shift);
            w.refKeys[k].SetLegatoShift(shift);
        }
        else if (action < 31)
        {
            const int frames = static_cast<int>(rng() % 3000);
            w.keys[k].SkipSamples(frames);
            w.refKeys[k].SkipSamples(frames);
        }
        else if (action < 32)
        {
            w.keys[k].SetErasePending(true);
            w.refKeys[k].SetErasePending(true);
        }
        else if (action < 34)
        {
            CSample* s = rng() % 4 == 0 ? nullptr : w.samples[rng() % w.samples.size()];
            w.keys[k].SetSample(s);
            w.refKeys[k].SetSample(s);
        }
        else if (action < 37)
        {
            static constexpr std::array<double, 6> kTempos = {120.0, 100.0, 133.3,
                                                              87.0,  60.0,  -1.0};
            const double tempo = kTempos[rng() % kTempos.size()];
            w.voicer->SetTempo(tempo);
            w.refVoicer->SetTempo(tempo);
        }
        else if (action < 38)
        {
            static constexpr std::array<double, 3> kRates = {44100.0, 48000.0, 96000.0};
            const double rate = kRates[rng() % kRates.size()];
            w.voicer->SetSampleRate(rate);
            w.refVoicer->SetSampleRate(rate);
        }
        else if (action < 40)
        {
            looping = rng() % 4 != 0;
            speed = PickSpeed(rng);
        }
        else
        {
            // A render call as the engine makes it: sync, then play, onto earlier content.
            const int beat = static_cast<int>(rng() % 5) - 1;
            w.voicer->Sync(beat);
            w.refVoicer->Sync(beat);
            const int frames = rng() % 3 == 0 ? static_cast<int>(rng() % kMaxBlock) : 16;
            reference::FillSignal(rng, w.fastL.data(), w.fastR.data(), frames);
            std::copy_n(w.fastL.begin(), frames, w.slowL.begin());
            std::copy_n(w.fastR.begin(), frames, w.slowR.begin());
            ASSERT_EQ(w.voicer->Play(w.fastL.data(), w.fastR.data(), frames, looping, speed),
                      w.refVoicer->Play(w.slowL.data(), w.slowR.data(), frames, looping, speed));
            ASSERT_TRUE(reference::SameBits(w.fastL.data(), w.slowL.data(), frames));
            ASSERT_TRUE(reference::SameBits(w.fastR.data(), w.slowR.data(), frames));
            ASSERT_EQ(w.voicer->IsSilent(), w.refVoicer->IsSilent());
        }
        ASSERT_TRUE(w.SameState());
    }
}
} // namespace

TEST(CVoicerReference, RandomSessionsMatchBitForBit)
{
    // On the kernels the processor offers, and on the portable ones.
    for (const bool portable : {false, true})
    {
        SCOPED_TRACE(portable ? "portable kernels" : "kernels the processor offers");
        CSimdPath::ForcePortable(portable);
        for (std::uint32_t seed = 1; seed <= 4; ++seed)
            RunWorkload(seed, 6000);
    }
    CSimdPath::ForcePortable(false);
}

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
            slow.SetStage(static_cast<reference::CADSR::EStage>(stage));
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
