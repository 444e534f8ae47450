#include "JackTestClient.h"

#include "TovaTestUtil.h"

#include <jack/midiport.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

JackTestClient::JackTestClient(const std::string& server, const std::string& name)
    : mName(name), mCapture(kCaptureFrames, 0.0f)
{
    jack_status_t status{};
    mClient = jack_client_open(
        name.c_str(),
        static_cast<jack_options_t>(JackNoStartServer | JackServerName | JackUseExactName), &status,
        server.c_str());
    if (mClient == nullptr) return;
    const auto port = [&](const char* portName, const char* type, unsigned long flags)
    { return jack_port_register(mClient, portName, type, flags, 0); };
    mToL = port("to_L", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput);
    mToR = port("to_R", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput);
    mToMidi = port("to_midi", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput);
    mFromL = port("from_L", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput);
    port("from_R", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput);
    mFromMidi = port("from_midi", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput);
    jack_set_process_callback(mClient, &Process, this);
    jack_set_xrun_callback(mClient, &Xrun, this);
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

std::string JackTestClient::Port(const std::string& shortName) const
{
    return mName + ":" + shortName;
}

bool JackTestClient::Connect(const std::string& from, const std::string& to)
{
    return jack_connect(mClient, from.c_str(), to.c_str()) == 0;
}

void JackTestClient::Tone(double frequency, std::uint64_t barFrames, std::uint64_t gapStart,
                          std::uint64_t gapEnd)
{
    mBar = barFrames;
    mGapStart = gapStart;
    mGapEnd = gapEnd;
    mFrequency = frequency;
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

void JackTestClient::Start()
{
    jack_transport_start(mClient);
}

void JackTestClient::Stop()
{
    jack_transport_stop(mClient);
}

void JackTestClient::Locate(std::uint64_t frame)
{
    jack_transport_locate(mClient, static_cast<jack_nframes_t>(frame));
}

bool JackTestClient::WaitFor(std::uint64_t frame, double seconds) const
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (TransportFrame() < frame)
    {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

std::vector<float> JackTestClient::Captured(std::uint64_t from, std::uint64_t to) const
{
    if (mCapturedTo.load(std::memory_order_acquire) < to || to > kCaptureFrames || from > to)
        return {};
    return std::vector<float>(mCapture.begin() + static_cast<std::ptrdiff_t>(from),
                              mCapture.begin() + static_cast<std::ptrdiff_t>(to));
}

std::vector<JackTestClient::Midi> JackTestClient::CapturedMidi()
{
    for (Midi midi; mIn.TryPop(midi);)
        mReceived.push_back(midi);
    return mReceived;
}

int JackTestClient::Xrun(void* arg)
{
    static_cast<JackTestClient*>(arg)->mXruns.fetch_add(1);
    return 0;
}

int JackTestClient::Process(jack_nframes_t frames, void* arg)
{
    auto* self = static_cast<JackTestClient*>(arg);
    jack_position_t position;
    const bool rolling = jack_transport_query(self->mClient, &position) == JackTransportRolling;
    const std::uint64_t start = position.frame;

    auto* toL = static_cast<float*>(jack_port_get_buffer(self->mToL, frames));
    auto* toR = static_cast<float*>(jack_port_get_buffer(self->mToR, frames));
    const double frequency = self->mFrequency.load();
    const std::uint64_t bar = self->mBar.load();
    for (jack_nframes_t i = 0; i < frames; ++i)
    {
        const std::uint64_t frame = start + i;
        const bool gap = bar > 0 && frame % bar >= self->mGapStart && frame % bar < self->mGapEnd;
        toL[i] = toR[i] =
            frequency > 0 && !gap ? ::Tone(frequency, 48000, static_cast<double>(frame)) : 0.0f;
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

    void* fromMidi = jack_port_get_buffer(self->mFromMidi, frames);
    for (jack_nframes_t i = 0, n = jack_midi_get_event_count(fromMidi); i < n; ++i)
    {
        jack_midi_event_t event;
        if (jack_midi_event_get(&event, fromMidi, i) != 0) continue;
        Midi midi;
        midi.frame = jack_last_frame_time(self->mClient) + event.time;
        midi.size = static_cast<std::uint8_t>(std::min<std::size_t>(event.size, 3));
        std::memcpy(midi.bytes.data(), event.buffer, midi.size);
        self->mIn.TryPush(midi);
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
