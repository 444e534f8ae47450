// The plug-in's run() must not touch the heap: MIDI, positions, parameter traffic, reports and
// feedback notes included. This program replaces the global allocation functions to count
// the allocations made meanwhile (the library shares the program's operator new).

#include "LV2TestUtil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace
{
std::atomic<bool> gCounting{false};
std::atomic<int> gAllocations{0};

void* Allocate(std::size_t size)
{
    if (gCounting.load(std::memory_order_relaxed))
        gAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
} // namespace

void* operator new(std::size_t size)
{
    return Allocate(size);
}
void* operator new[](std::size_t size)
{
    return Allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    try
    {
        return Allocate(size);
    }
    catch (const std::bad_alloc&)
    {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept
{
    return operator new(size, tag);
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete[](void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}

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
    gAllocations = 0;
    gCounting = true;
    host.Cycle(4096);
    gCounting = false;
    host.AfterCycle();
    return gAllocations.load();
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
