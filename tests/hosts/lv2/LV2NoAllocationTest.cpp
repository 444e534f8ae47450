// Tova's run() must not touch the heap: MIDI, positions, parameter traffic, reports and the
// changes it makes itself included. The plug-in's library shares the program's operator new,
// which the allocation counter replaces.

#include "LV2TovaSession.h"
#include "support/AllocationCounter.h"

#include <gtest/gtest.h>

using namespace tova_session;

TEST(LV2NoAllocation, RunOfTova)
{
    LilvTestHost host(TOVA_BUNDLE, kRate);
    ASSERT_TRUE(host.Ok());
    for (std::uint32_t cycle = 0; cycle < 8; ++cycle)
    {
        SCOPED_TRACE(cycle);
        host.Rolling(3);
        host.Midi(5, {0x90, 60, 100});
        // The default binding of note 48 holds "Recording" on: a change of its own, reported.
        host.Midi(6, {0x90, 48, 100});
        host.Midi(2500, {0x80, 60, 0});
        host.Midi(2600, {0x80, 48, 0});
        host.Midi(3000, {0xB0, 7, static_cast<std::uint8_t>(cycle % 128)});
        host.Get(4000, std::nullopt);
        // Plain values and the interlocks whose side effects set other parameters.
        for (const char* symbol : {"tape_speed", "digi_2", "memory_lock"})
            host.Control(symbol) = static_cast<float>(cycle % 2);
        int allocations = -1;
        {
            const AllocationCounter counter;
            host.Cycle(4096);
            allocations = counter.Count();
        }
        host.AfterCycle();
        EXPECT_EQ(allocations, 0);
    }
}
