// The counter the real-time tests rely on: it must see what it is there to see, or their
// zeros would prove nothing. Counts are taken while counting and checked afterwards, so that
// the checks' own allocations stay out of them.
#include "support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <memory>
#include <new>

TEST(AllocationCounter, SeesEveryFormOfNewWhileItLives)
{
    auto before = std::make_unique<int>(1); // made before the counter: not counted
    int atStart = -1;
    int afterNew = -1;
    int afterArray = -1;
    int afterNothrow = -1;
    int afterDelete = -1;
    {
        AllocationCounter counter;
        atStart = counter.Count();
        auto one = std::make_unique<int>(2);
        afterNew = counter.Count();
        auto array = std::make_unique<float[]>(64);
        afterArray = counter.Count();
        const std::unique_ptr<int> quiet(new (std::nothrow) int(3));
        afterNothrow = counter.Count();
        before.reset();
        afterDelete = counter.Count();
    }
    EXPECT_EQ(atStart, 0);
    EXPECT_EQ(afterNew, 1);
    EXPECT_EQ(afterArray, 2);
    EXPECT_EQ(afterNothrow, 3);
    EXPECT_EQ(afterDelete, 3); // freeing is no allocation
}

TEST(AllocationCounter, EachCounterStartsFromZeroAndNothingCountsBetween)
{
    int first = -1;
    {
        AllocationCounter counter;
        AllocationCounter::Note();
        first = counter.Count();
    }
    AllocationCounter::Note(); // no counter lives
    auto between = std::make_unique<int>(4);
    int second = -1;
    {
        AllocationCounter counter;
        second = counter.Count();
    }
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 0);
}
