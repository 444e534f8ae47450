// The voice path under the reference load: 16 looping voices at shift ratios other than 1
// into one bus in 16-frame sub-blocks, the bus's global shifter three semitones up, the input
// passed through its envelope, and the reverberator over the bus at the end of each 256-frame
// call, at 48 kHz.  It is what the engine renders per call without its parameter and note
// handling.
#include "BenchNoise.h"
#include "dsp/CShifter.h"
#include "dsp/revmodel.h"
#include "samples/CADSR.h"
#include "samples/CKeyInfo.h"
#include "samples/CSampleFactory.h"
#include "samples/CVoicer.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

namespace
{
constexpr int kSampleRate = 48000;
constexpr int kVoices = 16;
constexpr int kBlock = 256;
constexpr int kSubBlock = 16;

std::vector<float> Noise(int frames, uint32_t seed)
{
    std::vector<float> v(static_cast<size_t>(frames));
    BenchNoise noise(seed);
    for (float& x : v)
        x = 0.5f * noise.Next();
    return v;
}

struct VoicePath
{
    std::unique_ptr<CSampleFactory> factory = std::make_unique<CSampleFactory>(kSampleRate, 4);
    std::array<CKeyInfo, kVoices> keys;
    std::unique_ptr<CVoicer> voicer = std::make_unique<CVoicer>(kVoices);
    std::unique_ptr<CShifter> pitch = std::make_unique<CShifter>();
    std::unique_ptr<revmodel> reverb = std::make_unique<revmodel>();
    CADSR playThru;
    std::vector<float> inL = Noise(kBlock, 3);
    std::vector<float> inR = Noise(kBlock, 4);
    std::array<float, kBlock> outL{};
    std::array<float, kBlock> outR{};
    std::array<float, kSubBlock> thruL{};
    std::array<float, kSubBlock> thruR{};

    VoicePath()
    {
        const std::vector<float> left = Noise(kSampleRate, 777);
        const std::vector<float> right = Noise(kSampleRate, 778);
        CSample* sample = factory->NewSample();
        sample->Record(left.data(), right.data(), kSampleRate);
        sample->SetSampleRate(kSampleRate);
        // Recorded at 100 beats per minute and played at 120: every voice follows the tempo.
        sample->SetTempo(100.0);
        voicer->SetTempo(120.0);
        voicer->SetSampleRate(kSampleRate);
        for (int k = 0; k < kVoices; ++k)
        {
            keys[k].SetSample(sample);
            keys[k].SetPitchShift(std::pow(2.0, (k - 7) / 12.0));
            voicer->StartNote(&keys[k], 0, 0.1f);
        }
        sample->Release();
        voicer->Sync(-1);
        pitch->SetShifting(std::pow(2.0, 3.0 / 12.0));
        reverb->setroomsize(0.8f);
        reverb->setdamp(50.0f);
        reverb->setwidth(100.0f);
        reverb->setdry(1.0f);
        playThru.SetStage(CADSR::kSustain);
    }

    void Render()
    {
        outL.fill(0.0f);
        outR.fill(0.0f);
        for (int done = 0; done < kBlock; done += kSubBlock)
        {
            float* const l = outL.data() + done;
            float* const r = outR.data() + done;
            voicer->Sync(-1);
            voicer->Play(l, r, kSubBlock, true, 1.0);
            pitch->GetSamples(l, r, l, r, kSubBlock);
            std::copy_n(inL.data() + done, kSubBlock, thruL.data());
            std::copy_n(inR.data() + done, kSubBlock, thruR.data());
            playThru.GetSamples(thruL.data(), thruR.data(), kSubBlock, kSampleRate);
            for (int i = 0; i < kSubBlock; ++i)
            {
                l[i] += thruL[i];
                r[i] += thruR[i];
            }
        }
        reverb->processreplace(outL.data(), outR.data(), outL.data(), outR.data(), kBlock);
    }
};

void BM_VoicePathW1(benchmark::State& state)
{
    auto path = std::make_unique<VoicePath>();
    for (auto _ : state)
    {
        path->Render();
        benchmark::DoNotOptimize(path->outL.data());
        benchmark::DoNotOptimize(path->outR.data());
        benchmark::ClobberMemory();
    }
    if (path->voicer->Top() != kVoices) state.SkipWithError("a voice stopped");
    const double audioSeconds = static_cast<double>(kBlock) / kSampleRate;
    state.counters["realtime_x"] =
        benchmark::Counter(audioSeconds, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["per_frame"] = benchmark::Counter(
        kBlock, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_VoicePathW1);
} // namespace
