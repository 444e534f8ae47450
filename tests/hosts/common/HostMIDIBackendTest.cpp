#include "hosts/common/HostMIDIBackend.h"
#include "platform/MIDITapCapture.h"

#include <gtest/gtest.h>

#include <memory>

// Whether or not this machine has an ALSA sequencer, a tapped source gets every packet.
TEST(HostMIDIBackend, TapsGetTheNotesWithOrWithoutASequencer)
{
    MIDIInstallBackend(std::make_shared<HostMIDIBackend>());
    MIDIClientRef client = 0;
    ASSERT_EQ(noErr, MIDIClientCreate("Tovarine", nullptr, nullptr, &client));
    MIDIEndpointRef source = 0;
    MIDIPacketRing* tap = nullptr;
    {
        const MIDITapCapture capture;
        ASSERT_EQ(noErr, MIDISourceCreate(client, "Tovarine", &source));
        tap = capture.Tap();
    }
    ASSERT_NE(nullptr, tap);

    // More packets than the platform ring of a tap-only source holds (255): the tap drains
    // as it goes and sees them all, in order.
    for (int i = 0; i < 600; ++i)
    {
        MIDIPacketList list;
        const Byte note[3] = {0x90, static_cast<Byte>(i % 128), 100};
        MIDIPacketListAdd(&list, sizeof list, MIDIPacketListInit(&list), 0, sizeof note, note);
        MIDIReceived(source, &list);
        MIDIPacket packet;
        ASSERT_TRUE(tap->TryPop(packet)) << i;
        ASSERT_EQ(3, packet.length);
        EXPECT_EQ(i % 128, packet.data[1]);
    }
    EXPECT_EQ(noErr, MIDIEndpointDispose(source));
    EXPECT_EQ(noErr, MIDIClientDispose(client));
    MIDIInstallBackend(nullptr);
}
