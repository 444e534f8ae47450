#include "engine/CDenormalGuard.h"

#if defined(__x86_64__) || defined(__SSE2__)
#include <xmmintrin.h>

namespace
{
constexpr unsigned kFlushToZero = 0x8000;    // MXCSR.FTZ
constexpr unsigned kDenormalsAreZero = 0x40; // MXCSR.DAZ
} // namespace

CDenormalGuard::CDenormalGuard() noexcept : mSaved(_mm_getcsr())
{
    _mm_setcsr(static_cast<unsigned>(mSaved) | kFlushToZero | kDenormalsAreZero);
}

CDenormalGuard::~CDenormalGuard()
{
    _mm_setcsr(static_cast<unsigned>(mSaved));
}

#elif defined(__aarch64__)

namespace
{
constexpr std::uint64_t kFlushToZero = std::uint64_t{1} << 24; // FPCR.FZ
} // namespace

CDenormalGuard::CDenormalGuard() noexcept
{
    std::uint64_t fpcr = 0;
    asm volatile("mrs %0, fpcr" : "=r"(fpcr));
    mSaved = fpcr;
    asm volatile("msr fpcr, %0" : : "r"(fpcr | kFlushToZero));
}

CDenormalGuard::~CDenormalGuard()
{
    asm volatile("msr fpcr, %0" : : "r"(mSaved));
}

#else

CDenormalGuard::CDenormalGuard() noexcept = default;
CDenormalGuard::~CDenormalGuard() = default;

#endif
