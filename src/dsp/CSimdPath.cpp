#include "dsp/CSimdPath.h"

namespace
{
bool ProcessorHasAvx2()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
#else
    return false;
#endif
}

// Asked once at load time, so that no render call pays for the question.
const bool gHasAvx2 = ProcessorHasAvx2();
} // namespace

std::atomic<bool> CSimdPath::sAvx2{gHasAvx2};

void CSimdPath::ForcePortable(bool force)
{
    sAvx2.store(gHasAvx2 && !force, std::memory_order_relaxed);
}
