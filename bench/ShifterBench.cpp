// One pitch shifter at a ratio of 1.26 (a major third up) over 256-frame blocks of noise,
// in place as the voices use it.  "perFrame" is the time per stereo frame.  Argument 0 runs the
// kernels the processor offers, 1 the portable ones.

#include "BenchNoise.h"
#include "dsp/CShifter.h"
#include "dsp/CSimdPath.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>

namespace
{
constexpr int kBlock = 256;

void BM_ShifterBlock(benchmark::State& state)
{
    CSimdPath::ForcePortable(state.range(0) != 0);
    static CShifter shifter; // 136 kB of delay lines: not on the stack
    shifter.SetShifting(1.26);
    std::array<float, kBlock> inLeft{};
    std::array<float, kBlock> inRight{};
    BenchNoise(1).Fill(inLeft.data(), inRight.data(), kBlock, 1.0f);
    std::array<float, kBlock> left{};
    std::array<float, kBlock> right{};
    for (auto _ : state)
    {
        left = inLeft;
        right = inRight;
        shifter.GetSamples(left.data(), right.data(), left.data(), right.data(), kBlock);
        benchmark::DoNotOptimize(left.data());
        benchmark::ClobberMemory();
    }
    CSimdPath::ForcePortable(false);
    state.counters["perFrame"] = benchmark::Counter(
        kBlock, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
} // namespace

BENCHMARK(BM_ShifterBlock)->Arg(0)->Arg(1);
