// MIDIReceived runs on the render thread: it must not allocate, and must stay correct while the
// backend and a tap drain their rings on other threads.
#include "platform/CoreMIDI.h"

#include "TestMIDIBackend.h"
#include "support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <thread>

namespace
{
struct Endpoints
{
    MIDIBackendGuard guard;
    std::shared_ptr<TestMIDIBackend::Rings> rings = TestMIDIBackend::Install();
    MIDIClientRef client = 0;
    MIDIEndpointRef source = 0;
    MIDIPacketRing* tap = nullptr;
    Endpoints()
    {
        EXPECT_EQ(MIDIClientCreate("Tovarine", nullptr, nullptr, &client), noErr);
        EXPECT_EQ(MIDISourceCreate(client, "Tovarine", &source), noErr);
        EXPECT_EQ(MIDISourceAddTap(source, &tap), noErr);
    }
    ~Endpoints() { MIDIClientDispose(client); }
};

// Message i: a note on whose bytes all derive from i.
std::array<Byte, 3> Numbered(std::uint32_t i)
{
    return {Byte(0x90 | (i & 0x0F)), Byte((i >> 4) & 0x7F), Byte((i >> 11) & 0x7F)};
}

OSStatus Send(MIDIEndpointRef source, MIDITimeStamp time, const std::array<Byte, 3>& message)
{
    MIDIPacketList list;
    MIDIPacketListAdd(&list, sizeof list, MIDIPacketListInit(&list), time, 3, message.data());
    return MIDIReceived(source, &list);
}

bool IsNumbered(const MIDIPacket& p, std::uint32_t i)
{
    return p.timeStamp == i && p.length == 3 && std::equal(p.data, p.data + 3, Numbered(i).begin());
}
} // namespace

TEST(CoreMIDIRealTime, ReceivedAllocatesNothing)
{
    Endpoints endpoints;
    const AllocationCounter counter;
    for (std::uint32_t i = 0; i < 300; ++i) // more than a ring holds: the drop path too
        Send(endpoints.source, AudioGetCurrentHostTime(), Numbered(i));
    EXPECT_EQ(counter.Count(), 0);
}

TEST(CoreMIDIRealTime, ReceivedIsSafeAgainstConcurrentDrains)
{
    constexpr std::uint32_t kMessages = 20000;
    Endpoints endpoints;
    MIDIPacketRing* backendRing = endpoints.rings->at(endpoints.source);
    std::atomic<bool> sent{false};
    std::thread producer(
        [&]
        {
            // A full backend ring drops the packet: send it again until it fits (the tap may
            // then see it twice, which its check allows).
            for (std::uint32_t i = 0; i < kMessages; ++i)
                while (Send(endpoints.source, i, Numbered(i)) != noErr)
                    std::this_thread::yield();
            sent = true;
        });
    // The tap sees whole packets in non-decreasing order.
    std::uint32_t tapMismatches = 0;
    std::thread tapReader(
        [&]
        {
            std::uint32_t last = 0;
            MIDIPacket packet;
            for (bool done = false; !done; std::this_thread::yield())
            {
                done = sent.load();
                while (endpoints.tap->TryPop(packet))
                {
                    const auto i = static_cast<std::uint32_t>(packet.timeStamp);
                    if (!IsNumbered(packet, i) || i < last) ++tapMismatches;
                    last = i;
                }
            }
        });
    // The backend sees every packet exactly once, in order, whole.
    std::uint32_t mismatches = 0;
    MIDIPacket packet;
    for (std::uint32_t next = 0; next < kMessages;)
        if (backendRing->TryPop(packet))
            mismatches += IsNumbered(packet, next++) ? 0 : 1;
        else
            std::this_thread::yield();
    producer.join();
    tapReader.join();
    EXPECT_EQ(mismatches, 0u);
    EXPECT_EQ(tapMismatches, 0u);
    EXPECT_FALSE(backendRing->TryPop(packet)) << "nothing beyond what was sent";
}
