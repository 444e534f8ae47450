// A full voicer: 16 looping voices, every one through a working pitch shifter, as the engine
// renders them at 48 kHz in 256-frame calls.
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

void BM_Voicer16Shifted(benchmark::State& state)
{
    auto factory = std::make_unique<CSampleFactory>(kSampleRate, 4);
    std::vector<float> left(kSampleRate);
    std::vector<float> right(kSampleRate);
    uint32_t seed = 777;
    for (int i = 0; i < kSampleRate; ++i)
    {
        seed = seed * 1664525u + 1013904223u;
        left[i] = static_cast<float>(seed >> 8) / 16777216.0f - 0.5f;
        right[i] = 0.5f * left[i];
    }
    CSample* sample = factory->NewSample();
    sample->Record(left.data(), right.data(), kSampleRate);
    sample->SetSampleRate(kSampleRate);
    sample->SetTempo(120.0);

    std::array<CKeyInfo, kVoices> keys;
    auto voicer = std::make_unique<CVoicer>(kVoices);
    voicer->SetTempo(120.0);
    voicer->SetSampleRate(kSampleRate);
    for (int k = 0; k < kVoices; ++k)
    {
        keys[k].SetSample(sample);
        // Semitones 1 ... 16 up: no voice's shifter is in bypass.
        keys[k].SetPitchShift(std::pow(2.0, (k + 1) / 12.0));
        voicer->StartNote(&keys[k], 0, 0.1f);
    }
    voicer->Sync(-1);

    std::array<float, kBlock> outL{};
    std::array<float, kBlock> outR{};
    for (auto _ : state)
    {
        outL.fill(0.0f);
        outR.fill(0.0f);
        voicer->Play(outL.data(), outR.data(), kBlock, true, 1.0);
        benchmark::DoNotOptimize(outL.data());
        benchmark::DoNotOptimize(outR.data());
        benchmark::ClobberMemory();
    }
    if (voicer->Top() != kVoices) state.SkipWithError("a voice stopped");
    const double audioSeconds = static_cast<double>(kBlock) / kSampleRate;
    // Seconds of audio rendered per second of processor time, and its inverse.
    state.counters["realtime_x"] =
        benchmark::Counter(audioSeconds, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["cpu_per_audio_s"] = benchmark::Counter(
        audioSeconds, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    sample->Release();
}
BENCHMARK(BM_Voicer16Shifted);
} // namespace
