#include "JackTestClient.h"

#include "RenderTestUtil.h"

#include <jack/midiport.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

JackTestClient::JackTestClient(const std::string& server, const std::string& name)
    : mCapture(kCaptureFrames, 0.0f)
{
    mClient = jack_client_open(
        name.c_str(),
        static_cast<jack_options_t>(JackNoStartServer | JackServerName | JackUseExactName), nullptr,
        server.c_str());
    if (mClient == nullptr) return;
    const auto port = [&](const char* portName, const char* type, unsigned long flags)
    { return jack_port_register(mClient, portName, type, flags, 0); };
    mToL = port("to_L", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput);
    mToR = port("to_R", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput);
    mToMidi = port("to_midi", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput);
    mFromL = port("from_L", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput);
    jack_set_process_callback(mClient, &Process, this);
    jack_set_xrun_callback(
        mClient, [](void* arg) { return static_cast<JackTestClient*>(arg)->mXruns++, 0; }, this);
    if (jack_activate(mClient) != 0)
    {
        jack_client_close(mClient);
        mClient = nullptr;
    }
}

JackTestClient::~JackTestClient()
{
    if (mClient != nullptr) jack_client_close(mClient);
}

bool JackTestClient::Connect(const std::string& from, const std::string& to)
{
    return jack_connect(mClient, from.c_str(), to.c_str()) == 0;
}

void JackTestClient::Send(std::uint64_t frame, std::vector<std::uint8_t> bytes)
{
    Midi midi;
    midi.frame = frame;
    midi.size = static_cast<std::uint8_t>(std::min<std::size_t>(bytes.size(), 3));
    std::copy_n(bytes.begin(), midi.size, midi.bytes.begin());
    while (!mOut.TryPush(midi))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void JackTestClient::Roll()
{
    jack_transport_locate(mClient, 0);
    jack_transport_start(mClient);
}

bool JackTestClient::WaitFor(std::uint64_t frame, double seconds) const
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (TransportFrame() < frame && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return TransportFrame() >= frame;
}

std::vector<float> JackTestClient::Captured(std::uint64_t from, std::uint64_t to) const
{
    if (mCapturedTo.load(std::memory_order_acquire) < to || to > kCaptureFrames || from > to)
        return {};
    return std::vector<float>(mCapture.begin() + static_cast<std::ptrdiff_t>(from),
                              mCapture.begin() + static_cast<std::ptrdiff_t>(to));
}

int JackTestClient::Process(jack_nframes_t frames, void* arg)
{
    auto* self = static_cast<JackTestClient*>(arg);
    jack_position_t position;
    const bool rolling = jack_transport_query(self->mClient, &position) == JackTransportRolling;
    const std::uint64_t start = position.frame;

    auto* toL = static_cast<float*>(jack_port_get_buffer(self->mToL, frames));
    auto* toR = static_cast<float*>(jack_port_get_buffer(self->mToR, frames));
    const int tone = self->mTone.load();
    for (jack_nframes_t i = 0; i < frames; ++i)
    {
        const std::uint64_t frame = start + i;
        const bool gap = tone == 2 && frame % 96000 >= 48000 && frame % 96000 < 60000;
        toL[i] = toR[i] = tone > 0 && !gap ? ::Tone(440, 48000, static_cast<double>(frame)) : 0.0f;
    }

    void* toMidi = jack_port_get_buffer(self->mToMidi, frames);
    jack_midi_clear_buffer(toMidi);
    while (const Midi* next = self->mOut.Front())
    {
        jack_nframes_t offset = 0;
        if (next->frame != 0)
        {
            if (!rolling || next->frame >= start + frames) break;
            offset = next->frame > start ? static_cast<jack_nframes_t>(next->frame - start) : 0;
        }
        jack_midi_event_write(toMidi, offset, next->bytes.data(), next->size);
        self->mOut.Pop();
    }

    if (rolling && start + frames <= kCaptureFrames)
    {
        const auto* fromL = static_cast<const float*>(jack_port_get_buffer(self->mFromL, frames));
        std::memcpy(self->mCapture.data() + start, fromL, frames * sizeof(float));
        self->mCapturedTo.store(start + frames, std::memory_order_release);
    }
    self->mTransport.store(rolling ? start + frames : start, std::memory_order_release);
    return 0;
}
