#pragma once
// Which instruction set the DSP kernels use.  The portable build targets plain x86-64 (SSE2);
// kernels that also have an AVX2 version pick it at run time when the processor has it.  Both
// versions compute the same bits: they only run more of the same operations at once.

#include <atomic>

class CSimdPath
{
public:
    // True when the AVX2 kernels are to run: the processor has AVX2 and the portable path is
    // not forced. [any]
    static bool Avx2() { return sAvx2.load(std::memory_order_relaxed); }
    // Forces the portable kernels (true) or goes back to what the processor offers (false), so
    // that tests can check both paths on one machine. [ui] before rendering
    static void ForcePortable(bool force);

private:
    // Set from the processor at load time; until then the portable path runs, with the same
    // bits.
    static std::atomic<bool> sAvx2;
};
