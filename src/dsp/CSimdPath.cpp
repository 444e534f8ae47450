#include "dsp/CSimdPath.h"

#include <atomic>

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

// Asked once at load time, so that no render call pays for the question or for a guarded
// static; a kernel that runs before this is set takes the portable path, with the same bits.
const bool gHasAvx2 = ProcessorHasAvx2();
std::atomic<bool> gForcePortable{false};
} // namespace

bool CSimdPath::Avx2()
{
    return gHasAvx2 && !gForcePortable.load(std::memory_order_relaxed);
}

void CSimdPath::ForcePortable(bool force)
{
    gForcePortable.store(force, std::memory_order_relaxed);
}
