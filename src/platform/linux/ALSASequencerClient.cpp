#include "platform/linux/ALSASequencerClient.h"

#include <algorithm>
#include <chrono>
#include <unistd.h>

namespace
{
constexpr auto kPollInterval = std::chrono::milliseconds(1);
// Room for the longest packet a source can carry.
constexpr long kEncoderBufferSize = 256;
} // namespace

OSStatus ALSASequencerClient::Open(const std::string& name,
                                   std::unique_ptr<ALSASequencerClient>& out)
{
    // Asking ALSA without a sequencer device makes it print its own complaints.
    if (::access("/dev/snd/seq", R_OK | W_OK) != 0) return kMIDIServerStartErr;
    snd_seq_t* sequencer = nullptr;
    if (snd_seq_open(&sequencer, "default", SND_SEQ_OPEN_OUTPUT, SND_SEQ_NONBLOCK) < 0)
        return kMIDIServerStartErr;
    snd_midi_event_t* encoder = nullptr;
    if (snd_seq_set_client_name(sequencer, name.c_str()) < 0 ||
        snd_midi_event_new(kEncoderBufferSize, &encoder) < 0)
    {
        snd_seq_close(sequencer);
        return kMIDIServerStartErr;
    }
    out.reset(new ALSASequencerClient(sequencer, encoder));
    return noErr;
}

ALSASequencerClient::ALSASequencerClient(snd_seq_t* sequencer, snd_midi_event_t* encoder)
    : mSequencer(sequencer), mEncoder(encoder),
      mSend([this](int port, const MIDIPacket& packet) { Send(port, packet); })
{
    mThread = std::thread([this] { Run(); });
}

ALSASequencerClient::~ALSASequencerClient()
{
    {
        const std::lock_guard lock(mMutex);
        mStopping = true;
    }
    mWake.notify_one();
    mThread.join();
    snd_midi_event_free(mEncoder);
    snd_seq_close(mSequencer);
}

OSStatus ALSASequencerClient::AddPort(MIDIEndpointRef source, const std::string& name,
                                      MIDIPacketRing& packets)
{
    const int port = snd_seq_create_simple_port(
        mSequencer, name.c_str(), SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
        SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (port < 0) return kMIDIServerStartErr;
    const std::lock_guard lock(mMutex);
    mPorts.push_back(Port{source, port, &packets});
    return noErr;
}

void ALSASequencerClient::RemovePort(MIDIEndpointRef source)
{
    const std::lock_guard lock(mMutex);
    const auto it = std::find_if(mPorts.begin(), mPorts.end(),
                                 [&](const Port& p) { return p.source == source; });
    if (it == mPorts.end()) return;
    // Whatever the source sent must still go out, a note off above all, even if early.
    mTimer.Collect(it->port, *it->packets);
    mTimer.SendAllOf(it->port, mSend);
    snd_seq_drain_output(mSequencer);
    snd_seq_delete_simple_port(mSequencer, it->port);
    mPorts.erase(it);
}

void ALSASequencerClient::Run()
{
    std::unique_lock lock(mMutex);
    while (!mStopping)
    {
        mWake.wait_for(lock, kPollInterval);
        Pump();
    }
    // Closing: what is left goes out now rather than never.
    for (const Port& port : mPorts)
        mTimer.Collect(port.port, *port.packets);
    mTimer.SendAll(mSend);
    snd_seq_drain_output(mSequencer);
}

void ALSASequencerClient::Pump()
{
    for (const Port& port : mPorts)
        mTimer.Collect(port.port, *port.packets);
    mTimer.SendDue(AudioGetCurrentHostTime(), mSend);
    snd_seq_drain_output(mSequencer);
}

void ALSASequencerClient::Send(int port, const MIDIPacket& p)
{
    snd_midi_event_reset_encode(mEncoder);
    const unsigned char* bytes = p.data;
    long remaining = p.length;
    while (remaining > 0)
    {
        snd_seq_event_t event;
        snd_seq_ev_clear(&event);
        const long used = snd_midi_event_encode(mEncoder, bytes, remaining, &event);
        if (used <= 0) return;
        bytes += used;
        remaining -= used;
        if (event.type == SND_SEQ_EVENT_NONE) continue;
        snd_seq_ev_set_source(&event, static_cast<unsigned char>(port));
        snd_seq_ev_set_subs(&event);
        snd_seq_ev_set_direct(&event);
        // Non-blocking: with nobody reading, a full output pool drops the event rather than
        // stall the thread that must also honour the others' time stamps.
        snd_seq_event_output(mSequencer, &event);
    }
}
