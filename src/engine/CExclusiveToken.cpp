#include "engine/CExclusiveToken.h"

#include <chrono>

namespace
{
// Far shorter than a render call, so a waiting control thread gets in right after one.
constexpr std::chrono::microseconds kRetryPause{200};
} // namespace

bool CExclusiveToken::TryAcquire() noexcept
{
    const std::thread::id me = std::this_thread::get_id();
    std::thread::id expected{};
    if (mOwner.compare_exchange_strong(expected, me, std::memory_order_acquire,
                                       std::memory_order_relaxed))
    {
        mDepth = 1;
        return true;
    }
    if (expected != me) return false;
    ++mDepth;
    return true;
}

void CExclusiveToken::Acquire()
{
    while (!TryAcquire())
        std::this_thread::sleep_for(kRetryPause);
}

void CExclusiveToken::Release() noexcept
{
    if (--mDepth == 0) mOwner.store(std::thread::id{}, std::memory_order_release);
}

bool CExclusiveToken::HeldByCaller() const noexcept
{
    return mOwner.load(std::memory_order_relaxed) == std::this_thread::get_id();
}

CExclusiveToken::Hold::Hold(CExclusiveToken& token) : mToken(token), mOwns(true)
{
    mToken.Acquire();
}

CExclusiveToken::Hold::Hold(CExclusiveToken& token, std::try_to_lock_t) noexcept
    : mToken(token), mOwns(token.TryAcquire())
{
}

CExclusiveToken::Hold::~Hold()
{
    if (mOwns) mToken.Release();
}
