// The plug-in's run() must not touch the heap: MIDI, positions, parameter traffic, reports and
// feedback notes included. The program counts the allocations made meanwhile with the
// allocation counter (the plug-in's library shares the program's operator new).

#include "LV2TestUtil.h"
#include "support/AllocationCounter.h"

#include <gtest/gtest.h>

namespace
{
// Sends a cycle's worth of traffic, then counts the allocations of run() alone.
int AllocationsOfABusyCycle(LilvTestHost& host, std::uint32_t cycle)
{
    const bool tova = !host.PluginURI().ends_with("test");
    Rolling(host, 3, 120, cycle, 0.5);
    host.Midi(5, {0x90, 60, 100});
    // Tova's default binding of note 48 holds "Recording" on: a change of its own, reported.
    host.Midi(6, {0x90, 48, 100});
    host.Midi(2500, {0x80, 60, 0});
    host.Midi(2600, {0x80, 48, 0});
    host.Midi(3000, {0xB0, 7, static_cast<std::uint8_t>(cycle % 128)});
    host.Get(4000, std::nullopt);
    const auto value = static_cast<float>(cycle % 2);
    if (tova)
    {
        // Plain values and the interlocks whose side effects set other parameters.
        for (const char* symbol : {"tape_speed", "digi_2", "memory_lock"})
            host.Control(symbol) = value;
        host.SetNumber(4500, Own(host, "pitch"), LilvTestHost::Number::Float, cycle % 3);
    }
    else
        host.Control("gain") = value;
    int allocations = -1;
    {
        const AllocationCounter counter;
        host.Cycle(4096);
        allocations = counter.Count();
    }
    host.AfterCycle();
    return allocations;
}
} // namespace

TEST(LV2NoAllocation, RunOfTheWrapperAroundTheTestComponent)
{
    LilvTestHost host(TEST_BUNDLE, kRate);
    ASSERT_TRUE(host.Ok());
    for (std::uint32_t cycle = 0; cycle < 8; ++cycle)
    {
        SCOPED_TRACE(cycle);
        EXPECT_EQ(AllocationsOfABusyCycle(host, cycle), 0);
    }
}

TEST(LV2NoAllocation, RunOfTova)
{
    LilvTestHost host(TOVA_BUNDLE, kRate);
    ASSERT_TRUE(host.Ok());
    for (std::uint32_t cycle = 0; cycle < 8; ++cycle)
    {
        SCOPED_TRACE(cycle);
        EXPECT_EQ(AllocationsOfABusyCycle(host, cycle), 0);
    }
}
