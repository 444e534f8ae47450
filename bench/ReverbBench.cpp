// The reverberator alone over 256-frame blocks of noise, and over silence while its tail
// decays through the subnormal range, without and with flush-to-zero and denormals-are-zero as
// the engine sets them while it renders.  "xRealTime" is seconds of 48 kHz audio processed per
// second of CPU time.

#include "BenchNoise.h"
#include "dsp/revmodel.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <memory>

#include <xmmintrin.h>

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
    BenchNoise(1).Fill(inLeft.data(), inRight.data(), kBlock, 1.0f);
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
// Argument 1 sets flush-to-zero and denormals-are-zero for the run.
void BM_ReverbSubnormalTail(benchmark::State& state)
{
    const unsigned csr = _mm_getcsr();
    if (state.range(0) != 0) _mm_setcsr(csr | 0x8040); // FTZ | DAZ
    auto reverb = std::make_unique<revmodel>();
    reverb->setroomsize(0.9f);
    reverb->setdamp(0.0f);
    std::array<float, kBlock> left{};
    std::array<float, kBlock> right{};
    left[0] = 1.0f;
    right[0] = 1.0f;
    reverb->processreplace(left.data(), right.data(), left.data(), right.data(), kBlock);
    // About a minute of silence: the tail is well inside the subnormal range by then.
    for (int b = 0; b < 60 * 48000 / kBlock; ++b)
    {
        left.fill(0.0f);
        right.fill(0.0f);
        reverb->processreplace(left.data(), right.data(), left.data(), right.data(), kBlock);
    }
    const std::array<float, kBlock> silence{};
    for (auto _ : state)
    {
        reverb->processreplace(silence.data(), silence.data(), left.data(), right.data(), kBlock);
        benchmark::DoNotOptimize(left.data());
        benchmark::ClobberMemory();
    }
    _mm_setcsr(csr);
    state.counters["xRealTime"] =
        benchmark::Counter(kBlock / kSampleRate, benchmark::Counter::kIsIterationInvariantRate);
}
} // namespace

BENCHMARK(BM_ReverbBlock);
BENCHMARK(BM_ReverbSubnormalTail)->Arg(0)->Arg(1);
