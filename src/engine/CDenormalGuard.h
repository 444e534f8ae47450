#pragma once
// Flushes denormal numbers to zero for the lifetime of the guard and restores the caller's
// floating-point mode afterwards. The reverb's feedback loops decay into denormals once the
// input falls silent; computing with them runs about twice as slow, which a render call cannot
// afford. Only the SSE control register (x86-64) and FPCR (AArch64) are touched; elsewhere the
// guard does nothing.

#include <cstdint>

class CDenormalGuard
{
public:
    CDenormalGuard() noexcept; // [render]
    ~CDenormalGuard();         // [render]
    CDenormalGuard(const CDenormalGuard&) = delete;
    CDenormalGuard& operator=(const CDenormalGuard&) = delete;

private:
    std::uint64_t mSaved = 0;
};
