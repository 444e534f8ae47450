#pragma once
// A small JACK client for the tests: it sends audio and MIDI into tova-jack and captures what
// comes out, everything placed by the frames of JACK transport so that bars and beats line up
// with the timebase master's.
//
// Ports: to_L, to_R (a sine with an optional silent stretch in every bar), to_midi (events at
// transport frames), from_L, from_R (captured at their transport frames while the transport
// rolls) and from_midi (captured with the server's frame time, which runs whether the
// transport rolls or not). Two instances keep the graph free of loops: one feeds tova-jack,
// the other catches its output.

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

    struct Midi
    {
        std::uint64_t frame = 0; // sent: transport frame, 0 at once; captured: frame time
        std::uint8_t size = 0;
        std::array<std::uint8_t, 3> bytes{};
    };

    JackTestClient(const std::string& server, const std::string& name);
    ~JackTestClient();
    JackTestClient(const JackTestClient&) = delete;
    JackTestClient& operator=(const JackTestClient&) = delete;

    bool Ok() const { return mClient != nullptr; }
    jack_client_t* Handle() const { return mClient; }
    std::string Port(const std::string& shortName) const; // "name:shortName"
    bool Connect(const std::string& from, const std::string& to);

    // The sine on to_L and to_R: frequency 0 is silence; in every bar of barFrames frames the
    // stretch from gapStart to gapEnd is silent.
    void Tone(double frequency, std::uint64_t barFrames = 0, std::uint64_t gapStart = 0,
              std::uint64_t gapEnd = 0);
    // Sends bytes on to_midi at a transport frame (0: in the next cycle). In frame order.
    void Send(std::uint64_t frame, std::vector<std::uint8_t> bytes);

    // The transport: where it stands and whether it rolls, as of the last cycle.
    void Start();
    void Stop();
    void Locate(std::uint64_t frame);
    std::uint64_t TransportFrame() const { return mTransport.load(std::memory_order_acquire); }
    // Waits until the transport has passed frame (false after the time).
    bool WaitFor(std::uint64_t frame, double seconds) const;

    // from_L between two transport frames, once captured.
    std::vector<float> Captured(std::uint64_t from, std::uint64_t to) const;
    // What arrived on from_midi so far.
    std::vector<Midi> CapturedMidi();
    // Cycles the server has dropped (xruns) since the client started: what was captured then
    // may have gaps.
    int Xruns() const { return mXruns.load(); }

private:
    static int Process(jack_nframes_t frames, void* arg);
    static int Xrun(void* arg);

    jack_client_t* mClient = nullptr;
    std::string mName;
    jack_port_t* mToL = nullptr;
    jack_port_t* mToR = nullptr;
    jack_port_t* mToMidi = nullptr;
    jack_port_t* mFromL = nullptr;
    jack_port_t* mFromMidi = nullptr;

    std::atomic<double> mFrequency{0};
    std::atomic<std::uint64_t> mBar{0};
    std::atomic<std::uint64_t> mGapStart{0};
    std::atomic<std::uint64_t> mGapEnd{0};
    std::atomic<std::uint64_t> mTransport{0};
    std::atomic<std::uint64_t> mCapturedTo{0};
    std::atomic<int> mXruns{0}; // the transport frame up to which from_L is in
    std::vector<float> mCapture;
    SPSCRing<Midi, 1024> mOut;
    SPSCRing<Midi, 1024> mIn;
    std::vector<Midi> mReceived;
};
