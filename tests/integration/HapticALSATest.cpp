// Haptic feedback through the ALSA sequencer: with "Haptic" on, a learned controller that
// crosses its centre sends note 60 on the "Tovarine" port, and the note off follows 50 ms
// later, scheduled by the sequencer. Another sequencer client subscribes and receives both.
// Needs /dev/snd/seq; skipped, with a message saying so, where there is none.

#include "integration/TovaHost.h"

#include "platform/CFPreferences.h"
#include "platform/linux/ALSAMIDIBackend.h"
#include "platform/linux/OwnSequencerPort.h"

#include <gtest/gtest.h>

#include <alsa/asoundlib.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <thread>

namespace
{
using Clock = std::chrono::steady_clock;

// The next note event within five seconds (only a broken build waits that long), or null.
snd_seq_event_t* NextNote(snd_seq_t* seq)
{
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (Clock::now() < deadline)
    {
        pollfd fds[4];
        const int count = snd_seq_poll_descriptors(seq, fds, 4, POLLIN);
        if (::poll(fds, static_cast<nfds_t>(count), 100) <= 0) continue;
        snd_seq_event_t* event = nullptr;
        while (snd_seq_event_input(seq, &event) >= 0 && event != nullptr)
            if (event->type == SND_SEQ_EVENT_NOTEON || event->type == SND_SEQ_EVENT_NOTEOFF)
                return event;
    }
    return nullptr;
}
} // namespace

TEST(HapticALSA, ASecondClientReceivesTheFeedbackPair)
{
    if (::access("/dev/snd/seq", R_OK | W_OK) != 0)
        GTEST_SKIP() << "no ALSA sequencer here (/dev/snd/seq is missing, as in containers and "
                        "CI): nothing can subscribe to the Tovarine port";
    MIDIInstallBackend(std::make_shared<ALSAMIDIBackend>());
    CFPreferencesSetAppValue("Haptic", CFType::Boolean(true), "com.kelp.au.tova");
    TovaHost host;

    snd_seq_t* listener = nullptr;
    ASSERT_GE(snd_seq_open(&listener, "default", SND_SEQ_OPEN_DUPLEX, 0), 0);
    const std::unique_ptr<snd_seq_t, int (*)(snd_seq_t*)> closer(listener, snd_seq_close);
    const int in = snd_seq_create_simple_port(listener, "listener",
                                              SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
                                              SND_SEQ_PORT_TYPE_APPLICATION);
    ASSERT_GE(in, 0);
    int client = -1;
    int port = -1;
    ASSERT_TRUE(FindOwnPort(listener, "Tovarine", client, port));
    ASSERT_GE(snd_seq_connect_from(listener, in, client, port), 0);

    // Controller 20 learned on "Time"; 0 makes it absolute, 127 then crosses the centre.
    const SInt32 time = kTovaParam_Time;
    ASSERT_EQ(AudioUnitSetProperty(host.Unit(), kTovaProperty_MIDILearn, kAudioUnitScope_Global, 0,
                                   &time, sizeof time),
              noErr);
    host.Midi(0xB0, 20, 0);
    // Whatever that first move sent (and its note off, 50 ms on) is not the pair looked for.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    snd_seq_drop_input(listener);
    snd_seq_drop_input_buffer(listener);
    host.Midi(0xB0, 20, 127);

    const snd_seq_event_t* on = NextNote(listener);
    ASSERT_NE(on, nullptr) << "no note on arrived";
    const Clock::time_point onTime = Clock::now();
    EXPECT_EQ(on->type, SND_SEQ_EVENT_NOTEON);
    EXPECT_EQ(on->data.note.note, 60);
    EXPECT_EQ(on->source.client, client);
    const snd_seq_event_t* off = NextNote(listener);
    ASSERT_NE(off, nullptr) << "no note off arrived";
    EXPECT_EQ(off->type, SND_SEQ_EVENT_NOTEOFF);
    EXPECT_EQ(off->data.note.note, 60);
    EXPECT_GE(Clock::now() - onTime, std::chrono::milliseconds(40)) << "scheduled 50 ms later";
    MIDIInstallBackend(nullptr);
}
