// The reverberator alone over 256-frame blocks of noise.  "xRealTime" is seconds of
// 48 kHz audio processed per second of CPU time.

#include "dsp/revmodel.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>

namespace
{
constexpr int kBlock = 256;
constexpr double kSampleRate = 48000.0;

void BM_ReverbBlock(benchmark::State& state)
{
    static revmodel reverb; // 100 kB of delay lines: not on the stack
    reverb.setroomsize(0.8f);
    reverb.setdamp(50.0f);
    reverb.setwidth(100.0f);
    std::array<float, kBlock> inLeft{};
    std::array<float, kBlock> inRight{};
    std::uint32_t seed = 1;
    for (std::size_t i = 0; i < kBlock; ++i)
    {
        seed = seed * 1664525u + 1013904223u;
        inLeft[i] = static_cast<float>(seed >> 8) / 8388608.0f - 1.0f;
        inRight[i] = 0.5f * inLeft[i];
    }
    std::array<float, kBlock> outLeft{};
    std::array<float, kBlock> outRight{};
    for (auto _ : state)
    {
        reverb.processreplace(inLeft.data(), inRight.data(), outLeft.data(), outRight.data(),
                              kBlock);
        benchmark::DoNotOptimize(outLeft.data());
        benchmark::ClobberMemory();
    }
    state.counters["xRealTime"] =
        benchmark::Counter(kBlock / kSampleRate, benchmark::Counter::kIsIterationInvariantRate);
}
} // namespace

BENCHMARK(BM_ReverbBlock);
