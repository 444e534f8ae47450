#pragma once
// A small JACK client for the tests that sends audio and MIDI into tova-jack and captures what
// comes out, everything placed by the frames of JACK transport so that bars and beats line up
// with the timebase master's. Ports: to_L and to_R (a sine), to_midi, and from_L (captured at
// its transport frames while the transport rolls). Two instances keep the graph free of loops:
// one feeds tova-jack, one catches.

#include "RenderTestUtil.h"
#include "platform/SPSCRing.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <utility>

class JackTestClient
{
public:
    static constexpr std::uint64_t kCaptureFrames = 48000 * 40;

    JackTestClient(const std::string& server, const std::string& name)
        : mClient(jack_client_open(
              name.c_str(),
              static_cast<jack_options_t>(JackNoStartServer | JackServerName | JackUseExactName),
              nullptr, server.c_str())),
          mCapture(kCaptureFrames, 0.0f)
    {
        if (mClient == nullptr) return;
        mToL = jack_port_register(mClient, "to_L", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
        mToR = jack_port_register(mClient, "to_R", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
        mToMidi =
            jack_port_register(mClient, "to_midi", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        mFromL = jack_port_register(mClient, "from_L", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        jack_set_process_callback(mClient, &Process, this);
        jack_set_xrun_callback(
            mClient, [](void* arg) { return static_cast<JackTestClient*>(arg)->mXruns++, 0; },
            this);
        if (jack_activate(mClient) != 0) jack_client_close(std::exchange(mClient, nullptr));
    }
    ~JackTestClient()
    {
        if (mClient != nullptr) jack_client_close(mClient);
    }
    JackTestClient(const JackTestClient&) = delete;
    JackTestClient& operator=(const JackTestClient&) = delete;

    bool Ok() const { return mClient != nullptr; }
    jack_client_t* Handle() const { return mClient; }
    bool Connect(const std::string& from, const std::string& to)
    {
        return jack_connect(mClient, from.c_str(), to.c_str()) == 0;
    }
    // A 440 Hz sine on to_L and to_R, or silence.
    void Tone(bool on) { mTone = on; }
    // Sends a message on to_midi at a transport frame (0: in the next cycle), in frame order.
    void Send(std::uint64_t frame, std::array<std::uint8_t, 3> bytes)
    {
        while (!mOut.TryPush({frame, bytes}))
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // Starts the transport from frame 0.
    void Roll()
    {
        jack_transport_locate(mClient, 0);
        jack_transport_start(mClient);
    }
    // Where the transport stands as of the last cycle.
    std::uint64_t TransportFrame() const { return mTransport.load(std::memory_order_acquire); }
    bool WaitFor(std::uint64_t frame, double seconds) const // false after the time
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (TransportFrame() < frame && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return TransportFrame() >= frame;
    }
    // from_L between two transport frames, once captured.
    std::vector<float> Captured(std::uint64_t from, std::uint64_t to) const
    {
        if (mCapturedTo.load(std::memory_order_acquire) < to || to > kCaptureFrames || from > to)
            return {};
        return {mCapture.begin() + static_cast<std::ptrdiff_t>(from),
                mCapture.begin() + static_cast<std::ptrdiff_t>(to)};
    }
    // Cycles the server has dropped: what was captured then may have gaps.
    int Xruns() const { return mXruns.load(); }

private:
    struct Midi
    {
        std::uint64_t frame = 0;
        std::array<std::uint8_t, 3> bytes{};
    };

    static int Process(jack_nframes_t frames, void* arg)
    {
        auto* self = static_cast<JackTestClient*>(arg);
        jack_position_t position;
        const bool rolling = jack_transport_query(self->mClient, &position) == JackTransportRolling;
        const std::uint64_t start = position.frame;
        auto* toL = static_cast<float*>(jack_port_get_buffer(self->mToL, frames));
        auto* toR = static_cast<float*>(jack_port_get_buffer(self->mToR, frames));
        const bool tone = self->mTone.load();
        for (jack_nframes_t i = 0; i < frames; ++i)
            toL[i] = toR[i] = tone ? ::Tone(440, 48000, static_cast<double>(start + i)) : 0.0f;

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
            jack_midi_event_write(toMidi, offset, next->bytes.data(), 3);
            self->mOut.Pop();
        }

        if (rolling && start + frames <= kCaptureFrames)
        {
            std::memcpy(self->mCapture.data() + start, jack_port_get_buffer(self->mFromL, frames),
                        frames * sizeof(float));
            self->mCapturedTo.store(start + frames, std::memory_order_release);
        }
        self->mTransport.store(rolling ? start + frames : start, std::memory_order_release);
        return 0;
    }

    jack_client_t* mClient = nullptr;
    jack_port_t* mToL = nullptr;
    jack_port_t* mToR = nullptr;
    jack_port_t* mToMidi = nullptr;
    jack_port_t* mFromL = nullptr;
    std::atomic<bool> mTone{false};
    std::atomic<std::uint64_t> mTransport{0};
    std::atomic<std::uint64_t> mCapturedTo{0}; // the transport frame up to which from_L is in
    std::atomic<int> mXruns{0};
    std::vector<float> mCapture;
    SPSCRing<Midi, 1024> mOut;
};
