// Playback of one stored sample: the per-voice cost of reading and interpolating pool frames.
#include "BenchNoise.h"
#include "samples/CSampleFactory.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace
{
constexpr int kSampleRate = 48000;
constexpr int kChunk = 16;
constexpr int kChunksPerIteration = 64;

// One second of noise.
CSample* StoreNoise(CSampleFactory& factory, int frames)
{
    std::vector<float> left(static_cast<size_t>(frames));
    std::vector<float> right(static_cast<size_t>(frames));
    BenchNoise noise(12345);
    for (int i = 0; i < frames; ++i)
    {
        left[i] = 0.5f * noise.Next();
        right[i] = -left[i];
    }
    CSample* sample = factory.NewSample();
    sample->Record(left.data(), right.data(), frames);
    sample->SetSampleRate(kSampleRate);
    return sample;
}

// Range argument: the rate in hundredths.
void BM_SamplePlay(benchmark::State& state)
{
    const double rate = static_cast<double>(state.range(0)) / 100.0;
    auto factory = std::make_unique<CSampleFactory>(kSampleRate, 4);
    CSample* sample = StoreNoise(*factory, kSampleRate);
    std::array<float, kChunk> left{};
    std::array<float, kChunk> right{};
    double position = -1.0;
    for (auto _ : state)
    {
        for (int c = 0; c < kChunksPerIteration; ++c)
        {
            position =
                sample->Play(position, left.data(), right.data(), kChunk, rate, true, kSampleRate);
            benchmark::DoNotOptimize(left.data());
            benchmark::DoNotOptimize(right.data());
            benchmark::ClobberMemory();
        }
    }
    // Seconds per rendered frame (shown with an SI prefix: "n" is nanoseconds).
    state.counters["per_frame"] = benchmark::Counter(kChunk * kChunksPerIteration,
                                                     benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
}
BENCHMARK(BM_SamplePlay)->Arg(100)->Arg(137);
} // namespace
