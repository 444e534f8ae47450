#include "platform/linux/ALSAMIDIBackend.h"
#include "OwnSequencerPort.h"

#include <gtest/gtest.h>

#include <alsa/asoundlib.h>
#include <memory>
#include <poll.h>
#include <unistd.h>

namespace
{
bool HaveSequencer()
{
    return ::access("/dev/snd/seq", R_OK | W_OK) == 0;
}

struct BackendGuard
{
    BackendGuard() { MIDIInstallBackend(std::make_shared<ALSAMIDIBackend>()); }
    ~BackendGuard() { MIDIInstallBackend(nullptr); }
};
} // namespace

TEST(ALSAMIDIBackend, WithoutSequencerClientCreationFailsQuietly)
{
    if (HaveSequencer()) GTEST_SKIP() << "/dev/snd/seq exists: this machine has a sequencer";
    BackendGuard guard;
    MIDIClientRef client = 0;
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    EXPECT_EQ(MIDIClientCreate("Tovarine", nullptr, nullptr, &client), kMIDIServerStartErr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(ALSAMIDIBackend, SubscriberReceivesTheNote)
{
    if (!HaveSequencer())
        GTEST_SKIP() << "no ALSA sequencer here (/dev/snd/seq is missing, as in containers and "
                        "CI): cannot subscribe to the Tovarine port";
    BackendGuard guard;
    MIDIClientRef client = 0;
    MIDIEndpointRef source = 0;
    ASSERT_EQ(MIDIClientCreate("Tovarine", nullptr, nullptr, &client), noErr);
    ASSERT_EQ(MIDISourceCreate(client, "Tovarine", &source), noErr);

    snd_seq_t* listener = nullptr;
    ASSERT_GE(snd_seq_open(&listener, "default", SND_SEQ_OPEN_DUPLEX, 0), 0);
    std::unique_ptr<snd_seq_t, int (*)(snd_seq_t*)> closer(listener, snd_seq_close);
    const int inPort = snd_seq_create_simple_port(
        listener, "listener", SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
        SND_SEQ_PORT_TYPE_APPLICATION);
    ASSERT_GE(inPort, 0);
    int tovaClient = -1;
    int tovaPort = -1;
    ASSERT_TRUE(FindOwnPort(listener, "Tovarine", tovaClient, tovaPort));
    ASSERT_GE(snd_seq_connect_from(listener, inPort, tovaClient, tovaPort), 0);

    MIDIPacketList list;
    MIDIPacket* packet = MIDIPacketListInit(&list);
    const Byte noteOn[3] = {0x90, 60, 100};
    MIDIPacketListAdd(&list, sizeof list, packet, AudioGetCurrentHostTime(), 3, noteOn);
    ASSERT_EQ(MIDIReceived(source, &list), noErr);

    // Waits up to five seconds for the sending thread; only a broken build takes that long.
    pollfd fds[4];
    const int count = snd_seq_poll_descriptors(listener, fds, 4, POLLIN);
    ASSERT_GT(::poll(fds, static_cast<nfds_t>(count), 5000), 0) << "no event arrived";
    snd_seq_event_t* event = nullptr;
    ASSERT_GE(snd_seq_event_input(listener, &event), 0);
    EXPECT_EQ(event->type, SND_SEQ_EVENT_NOTEON);
    EXPECT_EQ(event->data.note.note, 60);
    EXPECT_EQ(event->data.note.velocity, 100);
    EXPECT_EQ(event->source.client, tovaClient);

    EXPECT_EQ(MIDIClientDispose(client), noErr);
}
