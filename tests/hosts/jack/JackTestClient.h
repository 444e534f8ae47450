#pragma once
// A small JACK client for the tests that sends audio and MIDI into tova-jack and captures what
// comes out, everything placed by the frames of JACK transport so that bars and beats line up
// with the timebase master's. Ports: to_L and to_R (a sine with an optional silent stretch in
// every bar), to_midi, and from_L (captured at its transport frames while the transport
// rolls). Two instances keep the graph free of loops: one feeds tova-jack, one catches.

#include "platform/SPSCRing.h"

#include <jack/jack.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

class JackTestClient
{
public:
    static constexpr std::uint64_t kCaptureFrames = 48000 * 40;

    JackTestClient(const std::string& server, const std::string& name);
    ~JackTestClient();
    JackTestClient(const JackTestClient&) = delete;
    JackTestClient& operator=(const JackTestClient&) = delete;

    bool Ok() const { return mClient != nullptr; }
    jack_client_t* Handle() const { return mClient; }
    bool Connect(const std::string& from, const std::string& to);

    // A 440 Hz sine on to_L and to_R, with `gaps` silent from frame 48000 to 60000 of every
    // 96000-frame bar (120 bpm in 4/4); or silence.
    void Tone(bool on, bool gaps = false) { mTone = on ? (gaps ? 2 : 1) : 0; }
    // Sends bytes on to_midi at a transport frame (0: in the next cycle), in frame order.
    void Send(std::uint64_t frame, std::vector<std::uint8_t> bytes);

    // Starts the transport from frame 0.
    void Roll();
    // Where the transport stands as of the last cycle.
    std::uint64_t TransportFrame() const { return mTransport.load(std::memory_order_acquire); }
    bool WaitFor(std::uint64_t frame, double seconds) const; // false after the time

    // from_L between two transport frames, once captured.
    std::vector<float> Captured(std::uint64_t from, std::uint64_t to) const;
    // Cycles the server has dropped: what was captured then may have gaps.
    int Xruns() const { return mXruns.load(); }

private:
    struct Midi
    {
        std::uint64_t frame = 0;
        std::uint8_t size = 0;
        std::array<std::uint8_t, 3> bytes{};
    };
    static int Process(jack_nframes_t frames, void* arg);

    jack_client_t* mClient = nullptr;
    jack_port_t* mToL = nullptr;
    jack_port_t* mToR = nullptr;
    jack_port_t* mToMidi = nullptr;
    jack_port_t* mFromL = nullptr;
    std::atomic<int> mTone{0}; // 0 silence, 1 the sine, 2 with gaps
    std::atomic<std::uint64_t> mTransport{0};
    std::atomic<std::uint64_t> mCapturedTo{0}; // the transport frame up to which from_L is in
    std::atomic<int> mXruns{0};
    std::vector<float> mCapture;
    SPSCRing<Midi, 1024> mOut;
};
