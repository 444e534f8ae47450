// The exclusive-access token: nesting, refusal to other threads, and contention between a
// thread that only tries and one that waits.

#include "engine/CExclusiveToken.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

TEST(ExclusiveToken, OwnerMayNestOthersAreRefused)
{
    CExclusiveToken token;
    EXPECT_FALSE(token.HeldByCaller());
    ASSERT_TRUE(token.TryAcquire());
    ASSERT_TRUE(token.TryAcquire()); // nested
    EXPECT_TRUE(token.HeldByCaller());
    bool other = true;
    std::thread([&] { other = token.TryAcquire(); }).join();
    EXPECT_FALSE(other);
    token.Release();
    EXPECT_TRUE(token.HeldByCaller()); // one hold left
    token.Release();
    EXPECT_FALSE(token.HeldByCaller());
    std::thread(
        [&]
        {
            const CExclusiveToken::Hold hold(token, std::try_to_lock);
            other = hold.Owns();
        })
        .join();
    EXPECT_TRUE(other);
}

TEST(ExclusiveToken, ATryingThreadAndAWaitingThreadNeverOverlap)
{
    CExclusiveToken token;
    long shared = 0; // written only under the token: a race here would be reported
    std::atomic<bool> stop{false};
    long tried = 0;
    std::thread render(
        [&]
        {
            while (!stop.load())
            {
                const CExclusiveToken::Hold hold(token, std::try_to_lock);
                if (!hold.Owns()) continue;
                ++shared;
                ++tried;
            }
        });
    constexpr long kWaits = 2000;
    for (long i = 0; i < kWaits; ++i)
    {
        const CExclusiveToken::Hold hold(token);
        ++shared;
    }
    stop = true;
    render.join();
    EXPECT_EQ(kWaits + tried, shared);
}
