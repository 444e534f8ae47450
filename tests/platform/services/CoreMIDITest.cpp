#include "platform/CoreMIDI.h"
#include "platform/MIDITapCapture.h"

#include "TestMIDIBackend.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace
{
// Sends one three-byte message in its own packet list, as the plug-in's feedback does.
OSStatus Send(MIDIEndpointRef source, MIDITimeStamp time, Byte status, Byte data1, Byte data2)
{
    MIDIPacketList list;
    MIDIPacket* packet = MIDIPacketListInit(&list);
    const Byte message[3] = {status, data1, data2};
    packet = MIDIPacketListAdd(&list, sizeof list, packet, time, sizeof message, message);
    EXPECT_NE(packet, nullptr);
    return MIDIReceived(source, &list);
}

std::vector<MIDIPacket> Drain(MIDIPacketRing& ring)
{
    std::vector<MIDIPacket> packets;
    MIDIPacket packet;
    while (ring.TryPop(packet))
        packets.push_back(packet);
    return packets;
}

void ExpectMessage(const MIDIPacket& packet, MIDITimeStamp time, Byte status, Byte data1,
                   Byte data2)
{
    EXPECT_EQ(MIDITimeStamp{packet.timeStamp}, time); // by value: it sits on 4 bytes
    ASSERT_EQ(packet.length, 3u);
    EXPECT_EQ(packet.data[0], status);
    EXPECT_EQ(packet.data[1], data1);
    EXPECT_EQ(packet.data[2], data2);
}

// A client "Tovarine" with a source "Tovarine" on the test backend.
struct Endpoints
{
    MIDIClientRef client = 0;
    MIDIEndpointRef source = 0;

    Endpoints()
    {
        EXPECT_EQ(MIDIClientCreate("Tovarine", nullptr, this, &client), noErr);
        EXPECT_EQ(MIDISourceCreate(client, "Tovarine", &source), noErr);
    }
};
} // namespace

TEST(CoreMIDI, WithoutBackendOrRefusedByItCreationFailsWithAStatus)
{
    MIDIInstallBackend(nullptr);
    MIDIClientRef client = 0;
    EXPECT_EQ(MIDIClientCreate("Tovarine", nullptr, nullptr, &client), kMIDIServerStartErr);
    MIDIEndpointRef source = 0;
    EXPECT_EQ(MIDISourceCreate(client, "Tovarine", &source), kMIDIInvalidClient);
    EXPECT_EQ(MIDIReceived(source, nullptr), kMIDIObjectNotFound);
    EXPECT_EQ(MIDIClientDispose(client), kMIDIInvalidClient);
    EXPECT_EQ(MIDIEndpointDispose(source), kMIDIObjectNotFound);

    MIDIBackendGuard guard;
    auto log = TestMIDIBackend::Install();
    log->refuseClients = -1234;
    EXPECT_EQ(MIDIClientCreate("Tovarine", nullptr, nullptr, &client), -1234);

    log->refuseClients = noErr;
    log->refuseSources = -4321;
    ASSERT_EQ(MIDIClientCreate("Tovarine", nullptr, nullptr, &client), noErr);
    EXPECT_EQ(MIDISourceCreate(client, "Tovarine", &source), -4321);
    EXPECT_EQ(MIDIClientDispose(client), noErr);
}

TEST(CoreMIDI, PacketListLaysPacketsOutOnFourByteBoundaries)
{
    // Header: numPackets (4 bytes). Each packet: time stamp (8) + length (2) + data, the next
    // one starting on a 4-byte boundary. Three-byte packets: 4..17, 20..33, 36..49; a fourth
    // would end at 65 > 64.
    alignas(8) Byte buffer[64];
    auto* list = reinterpret_cast<MIDIPacketList*>(buffer);
    MIDIPacket* packet = MIDIPacketListInit(list);
    const Byte message[3] = {0x90, 60, 100};
    std::vector<MIDIPacket*> added;
    for (int i = 0; i < 3; ++i)
    {
        packet = MIDIPacketListAdd(list, sizeof buffer, packet, 100 + i, 3, message);
        ASSERT_NE(packet, nullptr) << i;
        added.push_back(packet);
    }
    EXPECT_EQ(MIDIPacketListAdd(list, sizeof buffer, packet, 103, 3, message), nullptr);
    EXPECT_EQ(list->numPackets, 3u);
    EXPECT_EQ(reinterpret_cast<Byte*>(added[0]) - buffer, 4);
    EXPECT_EQ(reinterpret_cast<Byte*>(added[1]) - buffer, 20);
    EXPECT_EQ(reinterpret_cast<Byte*>(added[2]) - buffer, 36);
    EXPECT_EQ(MIDIPacketNext(added[0]), added[1]);
    EXPECT_EQ(MIDITimeStamp{added[2]->timeStamp}, 102u);

    // A plain list holds one packet of the full 256 bytes, and nothing after it.
    MIDIPacketList plain;
    std::vector<Byte> sysex(256, 0x7F);
    packet = MIDIPacketListInit(&plain);
    packet = MIDIPacketListAdd(&plain, sizeof plain, packet, 0, sysex.size(), sysex.data());
    ASSERT_NE(packet, nullptr);
    EXPECT_EQ(MIDIPacketListAdd(&plain, sizeof plain, packet, 0, 1, message), nullptr);
    EXPECT_EQ(plain.numPackets, 1u);
}

TEST(CoreMIDI, ConsumerGetsEveryPacketInOrderWithItsTimeStamp)
{
    MIDIBackendGuard guard;
    auto log = TestMIDIBackend::Install();
    Endpoints endpoints;
    ASSERT_EQ(log->rings.count(endpoints.source), 1u);

    // The feedback pairs: note on now, note off 50 ms later, for note 48 and then note 60.
    const MIDITimeStamp now = AudioGetCurrentHostTime();
    const MIDITimeStamp later = now + AudioConvertNanosToHostTime(50'000'000);
    EXPECT_EQ(Send(endpoints.source, now, 0x90, 48, 100), noErr);
    EXPECT_EQ(Send(endpoints.source, later, 0x80, 48, 100), noErr);
    EXPECT_EQ(Send(endpoints.source, now + 1, 0x90, 60, 100), noErr);
    EXPECT_EQ(Send(endpoints.source, later + 1, 0x80, 60, 100), noErr);

    const auto packets = Drain(*log->rings[endpoints.source]);
    ASSERT_EQ(packets.size(), 4u);
    ExpectMessage(packets[0], now, 0x90, 48, 100);
    ExpectMessage(packets[1], later, 0x80, 48, 100);
    ExpectMessage(packets[2], now + 1, 0x90, 60, 100);
    ExpectMessage(packets[3], later + 1, 0x80, 60, 100);
    EXPECT_EQ(MIDITimeStamp{packets[1].timeStamp - packets[0].timeStamp}, 50'000'000u);

    // Every packet of a list is queued.
    alignas(8) Byte buffer[128];
    auto* list = reinterpret_cast<MIDIPacketList*>(buffer);
    MIDIPacket* packet = MIDIPacketListInit(list);
    const Byte clock[1] = {0xF8};
    const Byte note[3] = {0x91, 1, 2};
    packet = MIDIPacketListAdd(list, sizeof buffer, packet, 5, 1, clock);
    packet = MIDIPacketListAdd(list, sizeof buffer, packet, 6, 3, note);
    ASSERT_NE(packet, nullptr);
    EXPECT_EQ(MIDIReceived(endpoints.source, list), noErr);

    const auto both = Drain(*log->rings[endpoints.source]);
    ASSERT_EQ(both.size(), 2u);
    EXPECT_EQ(both[0].length, 1u);
    EXPECT_EQ(both[0].data[0], 0xF8);
    ExpectMessage(both[1], 6, 0x91, 1, 2);

    EXPECT_EQ(MIDIClientDispose(endpoints.client), noErr);
    const std::vector<std::string> expected = {"client Tovarine", "source Tovarine",
                                               "dispose source", "dispose client"};
    EXPECT_EQ(log->calls, expected);
}

TEST(CoreMIDI, AFullRingOrAnOverlongPacketDropsAndSaysSo)
{
    MIDIBackendGuard guard;
    auto log = TestMIDIBackend::Install();
    Endpoints endpoints;
    for (std::uint32_t i = 0; i < MIDIPacketRing::kCapacity; ++i)
        ASSERT_EQ(Send(endpoints.source, i, 0x90, 60, 1), noErr) << i;
    EXPECT_EQ(Send(endpoints.source, 999, 0x80, 60, 1), kMIDIMessageSendErr);
    const auto packets = Drain(*log->rings[endpoints.source]);
    ASSERT_EQ(packets.size(), MIDIPacketRing::kCapacity);
    EXPECT_EQ(MIDITimeStamp{packets.back().timeStamp}, MIDIPacketRing::kCapacity - 1);
    EXPECT_EQ(Send(endpoints.source, 1000, 0x80, 60, 1), noErr) << "room again once drained";
    ASSERT_EQ(Drain(*log->rings[endpoints.source]).size(), 1u);

    // A packet longer than a ring entry.
    alignas(8) Byte buffer[512];
    auto* list = reinterpret_cast<MIDIPacketList*>(buffer);
    std::vector<Byte> sysex(300, 0x01);
    MIDIPacket* packet = MIDIPacketListInit(list);
    ASSERT_NE(MIDIPacketListAdd(list, sizeof buffer, packet, 0, sysex.size(), sysex.data()),
              nullptr);
    EXPECT_EQ(MIDIReceived(endpoints.source, list), kMIDIMessageSendErr);
    EXPECT_TRUE(Drain(*log->rings[endpoints.source]).empty());
    MIDIClientDispose(endpoints.client);
}

TEST(CoreMIDI, TapsReceiveTheSamePackets)
{
    MIDIBackendGuard guard;
    auto log = TestMIDIBackend::Install();
    Endpoints endpoints;
    MIDIPacketRing* taps[kMIDISourceMaxTaps] = {};
    for (auto& tap : taps)
        ASSERT_EQ(MIDISourceAddTap(endpoints.source, &tap), noErr);
    MIDIPacketRing* extra = nullptr;
    EXPECT_EQ(MIDISourceAddTap(endpoints.source, &extra), kMIDINotPermitted);
    EXPECT_EQ(MIDISourceAddTap(endpoints.client, &extra), kMIDIObjectNotFound);

    ASSERT_EQ(Send(endpoints.source, 7, 0x90, 64, 100), noErr);
    for (MIDIPacketRing* ring : {log->rings[endpoints.source], taps[0], taps[1]})
    {
        const auto packets = Drain(*ring);
        ASSERT_EQ(packets.size(), 1u);
        ExpectMessage(packets[0], 7, 0x90, 64, 100);
    }
    MIDIClientDispose(endpoints.client);
}

TEST(CoreMIDI, CaptureTapsSourcesCreatedOnItsThreadOnly)
{
    MIDIBackendGuard guard;
    auto log = TestMIDIBackend::Install();
    MIDITapCapture capture;
    Endpoints captured;
    ASSERT_NE(capture.Tap(), nullptr);
    MIDIPacketRing* tapped = capture.Tap();
    {
        MIDITapCapture inner;
        Endpoints nested;
        EXPECT_NE(inner.Tap(), nullptr);
        EXPECT_EQ(capture.Tap(), tapped) << "the innermost capture takes the taps";
        MIDIClientDispose(nested.client);
    }
    ASSERT_EQ(Send(captured.source, 1, 0x90, 1, 1), noErr);
    EXPECT_EQ(Drain(*tapped).size(), 1u);
    // The capture's tap is one of the source's taps: one is left.
    MIDIPacketRing* second = nullptr;
    EXPECT_EQ(MIDISourceAddTap(captured.source, &second), noErr);
    EXPECT_EQ(MIDISourceAddTap(captured.source, &second), kMIDINotPermitted);
    MIDIClientDispose(captured.client);

    MIDIClientRef client = 0;
    MIDIEndpointRef source = 0;
    MIDITapCapture failed;
    log->refuseSources = -1;
    ASSERT_EQ(MIDIClientCreate("Tovarine", nullptr, nullptr, &client), noErr);
    EXPECT_NE(MIDISourceCreate(client, "Tovarine", &source), noErr);
    EXPECT_EQ(failed.Tap(), nullptr) << "no source, no tap";
    MIDIClientDispose(client);
}

TEST(CoreMIDI, DisposedSourceIsGoneAndItsReferenceStaysStale)
{
    MIDIBackendGuard guard;
    auto log = TestMIDIBackend::Install();
    Endpoints endpoints;
    const MIDIEndpointRef old = endpoints.source;
    EXPECT_EQ(MIDIEndpointDispose(old), noErr);
    EXPECT_EQ(log->rings.count(old), 0u);
    EXPECT_EQ(Send(old, 0, 0x90, 1, 1), kMIDIObjectNotFound);
    EXPECT_EQ(MIDIEndpointDispose(old), kMIDIObjectNotFound);

    // A new source may take the same slot; the old reference must not reach it.
    MIDIEndpointRef fresh = 0;
    ASSERT_EQ(MIDISourceCreate(endpoints.client, "Tovarine", &fresh), noErr);
    EXPECT_NE(fresh, old);
    EXPECT_EQ(Send(old, 0, 0x90, 1, 1), kMIDIObjectNotFound);
    EXPECT_TRUE(Drain(*log->rings[fresh]).empty());
    EXPECT_EQ(MIDIReceived(endpoints.client, nullptr), kMIDIObjectNotFound)
        << "a client is not a source";

    EXPECT_EQ(MIDIClientDispose(endpoints.client), noErr);
    EXPECT_TRUE(log->rings.empty()) << "disposing the client disposed its source";
    EXPECT_EQ(Send(fresh, 0, 0x90, 1, 1), kMIDIObjectNotFound);

    // A client goes back to the backend it was made with, whatever was installed since.
    Endpoints other;
    auto second = TestMIDIBackend::Install();
    EXPECT_EQ(MIDIClientDispose(other.client), noErr);
    EXPECT_EQ(log->calls.back(), "dispose client");
    EXPECT_TRUE(second->calls.empty());
}
