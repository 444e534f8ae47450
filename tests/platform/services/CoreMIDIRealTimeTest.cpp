// MIDIReceived runs on the render thread: it must not allocate, and it must stay correct while
// the backend and a tap drain their rings on other threads. The program counts allocations
// with the allocation counter.
#include "platform/CoreMIDI.h"

#include "TestMIDIBackend.h"
#include "support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace
{
struct Endpoints
{
    MIDIClientRef client = 0;
    MIDIEndpointRef source = 0;
    Endpoints()
    {
        EXPECT_EQ(MIDIClientCreate("Tovarine", nullptr, nullptr, &client), noErr);
        EXPECT_EQ(MIDISourceCreate(client, "Tovarine", &source), noErr);
    }
    ~Endpoints() { MIDIClientDispose(client); }
};

// Message i: a note on whose bytes and time stamp all derive from i.
OSStatus SendNumbered(MIDIEndpointRef source, std::uint32_t i)
{
    MIDIPacketList list;
    MIDIPacket* packet = MIDIPacketListInit(&list);
    const Byte message[3] = {Byte(0x90 | (i & 0x0F)), Byte((i >> 4) & 0x7F),
                             Byte((i >> 11) & 0x7F)};
    MIDIPacketListAdd(&list, sizeof list, packet, i, sizeof message, message);
    return MIDIReceived(source, &list);
}

bool IsNumbered(const MIDIPacket& p, std::uint32_t i)
{
    return p.timeStamp == i && p.length == 3 && p.data[0] == Byte(0x90 | (i & 0x0F)) &&
           p.data[1] == Byte((i >> 4) & 0x7F) && p.data[2] == Byte((i >> 11) & 0x7F);
}
} // namespace

TEST(CoreMIDIRealTime, ReceivedAllocatesNothing)
{
    MIDIBackendGuard guard;
    auto log = TestMIDIBackend::Install();
    Endpoints endpoints;
    MIDIPacketRing* tap = nullptr;
    ASSERT_EQ(MIDISourceAddTap(endpoints.source, &tap), noErr);

    int allocations = -1;
    {
        const AllocationCounter counter;
        // Includes the packet-list calls and the host clock, which the sender makes around it.
        for (std::uint32_t i = 0; i < 300; ++i) // more than a ring holds: the drop path too
        {
            MIDIPacketList list;
            MIDIPacket* packet = MIDIPacketListInit(&list);
            const Byte message[3] = {0x90, 48, 100};
            packet = MIDIPacketListAdd(&list, sizeof list, packet, AudioGetCurrentHostTime(), 3,
                                       message);
            MIDIReceived(endpoints.source, &list);
        }
        allocations = counter.Count();
    }
    EXPECT_EQ(allocations, 0);
}

TEST(CoreMIDIRealTime, ReceivedIsSafeAgainstConcurrentDrains)
{
    constexpr std::uint32_t kMessages = 20000;
    MIDIBackendGuard guard;
    auto log = TestMIDIBackend::Install();
    Endpoints endpoints;
    MIDIPacketRing* tap = nullptr;
    ASSERT_EQ(MIDISourceAddTap(endpoints.source, &tap), noErr);
    MIDIPacketRing* backendRing = log->rings.at(endpoints.source);

    std::atomic<bool> sent{false};
    std::thread producer(
        [&]
        {
            for (std::uint32_t i = 0; i < kMessages; ++i)
                // A full backend ring drops the packet: send it again until it fits (the tap may
                // then see it twice, which its check allows).
                while (SendNumbered(endpoints.source, i) != noErr)
                    std::this_thread::yield();
            sent = true;
        });
    // The tap's reader: packets in non-decreasing order, each one whole.
    std::uint32_t tapMismatches = 0;
    std::thread tapReader(
        [&]
        {
            std::uint32_t last = 0;
            MIDIPacket packet;
            for (;;)
            {
                const bool done = sent.load();
                while (tap->TryPop(packet))
                {
                    const auto i = static_cast<std::uint32_t>(packet.timeStamp);
                    if (!IsNumbered(packet, i) || i < last) ++tapMismatches;
                    last = i;
                }
                if (done) break;
                std::this_thread::yield();
            }
        });
    // The backend's reader: every packet exactly once, in order, whole.
    std::uint32_t next = 0;
    std::uint32_t mismatches = 0;
    MIDIPacket packet;
    while (next < kMessages)
    {
        if (!backendRing->TryPop(packet))
        {
            std::this_thread::yield();
            continue;
        }
        if (!IsNumbered(packet, next) && ++mismatches <= 5)
            ADD_FAILURE() << "packet " << next << " arrived as " << packet.timeStamp;
        ++next;
    }
    producer.join();
    tapReader.join();
    EXPECT_EQ(mismatches, 0u);
    EXPECT_EQ(tapMismatches, 0u);
    EXPECT_FALSE(backendRing->TryPop(packet)) << "nothing beyond what was sent";
}
