#pragma once
// tova-jack's JACK client: the ports, the process callback and the server's notifications,
// around a LiveHost.
//
// Ports: in_L and in_R; out_L and out_R for bus 0 and, with every bus, out1_L … out3_R;
// midi_in (keys and controllers) and midi_out (the unit's feedback notes, from a tap on its
// virtual MIDI source).
//
// Each cycle, on the render thread: the transport goes into the clock, the channel messages
// of midi_in go to the unit at their frames, the buses are rendered, and the feedback notes
// that are due go to midi_out, which is cleared every cycle. Nothing there allocates, locks or
// waits.
//
// Buffer-size and sample-rate changes arrive on JACK's notification thread; the host is
// reconfigured right there, under the unit lock (JACK2 stops the graph meanwhile; a cycle
// that comes anyway plays silence). What the main thread should tell the player is queued as
// a notice, and the event descriptor becomes readable.

#include "hosts/jack/FeedbackQueue.h"
#include "hosts/jack/JackTransportClock.h"
#include "hosts/jack/LiveHost.h"
#include "hosts/jack/RecordingKeyWatch.h"
#include "hosts/jack/TimebaseMaster.h"

#include <jack/jack.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class JackClient
{
public:
    static constexpr UInt32 kMaxBuses = 4;

    struct Settings
    {
        std::string name = "Tova";
        std::optional<std::string> server;
        bool allBuses = false;
        std::optional<TimebaseMaster> master;
    };

    // What the unit offers the client besides its audio.
    struct Unit
    {
        AudioUnit unit = nullptr;
        MIDIPacketRing* feedback = nullptr;            // the tap on its virtual source, or null
        std::optional<AudioUnitParameterID> recording; // its "Recording" parameter

        // [any] Whether "Recording" is on now; only for a unit that has it.
        bool RecordingOn() const;
    };

    // [ui] A client on a running server, which is never started for it. Null with a message
    // (which says so when no server answered at all) when that fails.
    static std::unique_ptr<JackClient> Open(const Settings& settings, std::string& error);
    ~JackClient(); // [ui] deactivates and closes
    JackClient(const JackClient&) = delete;
    JackClient& operator=(const JackClient&) = delete;

    // [ui] The name the server gave the client (it may differ from the one asked for).
    std::string Name() const;
    UInt32 Buses() const { return mSettings.allBuses ? kMaxBuses : 1; }

    // [ui] Registers the ports and callbacks and configures host for the server's rate and
    // buffer size. unitAccess: held by everything that reaches the unit off the render thread.
    bool Prepare(LiveHost& host, const Unit& unit, std::mutex& unitAccess, std::string& error);
    // [ui] Starts processing; then becomes the timebase master when the settings ask for it.
    bool Activate(std::string& error);
    // [ui] Connects to the system's capture and playback ports and every physical MIDI output,
    // except those whose name or alias contains skipMidi (the unit's own source, which JACK's
    // ALSA MIDI bridge shows as a physical port). One line per connection made or missed.
    std::vector<std::string> ConnectToSystem(const std::string& skipMidi);
    // [ui] No more callbacks once it returns.
    void Deactivate();

    // [any] Readable when there are notices, or when the server has gone.
    int EventDescriptor() const { return mEvents; }
    // [ui] Empties the event descriptor and returns the notices queued since the last call.
    std::vector<std::string> TakeNotices();
    // [any] Whether the server shut the client down, and why.
    bool Lost() const { return mLost.load(std::memory_order_acquire); }
    std::string LostReason() const;

    // [ui] The host callbacks that answer from JACK transport.
    HostCallbackInfo ClockCallbacks() { return mClock.Callbacks(); }
    // [any] For the status line.
    const JackTransportClock& Clock() const { return mClock; }
    const RecordingKeyWatch& RecordingKey() const { return mRecordingKey; }

private:
    JackClient(jack_client_t* client, const Settings& settings, int events);

    static int ProcessCallback(jack_nframes_t frames, void* arg);
    static int BufferSizeCallback(jack_nframes_t frames, void* arg);
    static int SampleRateCallback(jack_nframes_t rate, void* arg);
    static void ShutdownCallback(jack_status_t code, const char* reason, void* arg);
    static void TimebaseCallback(jack_transport_state_t state, jack_nframes_t frames,
                                 jack_position_t* position, int newPosition, void* arg);
    static bool WriteFeedback(void* buffer, const Byte* data, std::size_t size);

    void Process(jack_nframes_t frames);                // [render]
    void PassMidi(void* buffer, jack_nframes_t frames); // [render]
    // [notification] Follows the server to a new rate or buffer size.
    void Follow(double sampleRate, UInt32 frames);
    void Notice(std::string text); // [any but render]
    bool Connect(const char* source, const char* destination, std::vector<std::string>& lines);
    bool IsOwn(const char* port, const std::string& skip) const;

    jack_client_t* mClient;
    Settings mSettings;
    int mEvents;
    bool mActive = false;
    bool mMaster = false;

    LiveHost* mHost = nullptr;
    Unit mUnit;
    std::mutex* mUnitAccess = nullptr;
    jack_port_t* mAudioIn[LiveHost::kChannels] = {};
    std::vector<jack_port_t*> mAudioOut; // bus by bus, left then right
    jack_port_t* mMidiIn = nullptr;
    jack_port_t* mMidiOut = nullptr;

    JackTransportClock mClock;
    RecordingKeyWatch mRecordingKey;
    FeedbackQueue mFeedback;

    std::mutex mNoticeLock;
    std::vector<std::string> mNotices;
    std::atomic<bool> mLost{false};
    char mLostReason[256] = {};
};
