#pragma once
// One ALSA sequencer client with an output port per virtual MIDI source, and the thread that
// sends what the sources receive. The thread drains every port's ring each millisecond and
// sends each packet when its host time has come (a note off 50 ms after its note on), so the
// producer never waits for the sequencer.

#include "platform/CoreMIDI.h"
#include "platform/linux/MIDIPacketTimer.h"

#include <alsa/asoundlib.h>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class ALSASequencerClient
{
public:
    // [ui] Opens a sequencer client called name. kMIDIServerStartErr when there is no
    // sequencer (no /dev/snd/seq, as in containers), without touching ALSA at all.
    static OSStatus Open(const std::string& name, std::unique_ptr<ALSASequencerClient>& out);
    // [ui] Sends everything still waiting, at once, then closes.
    ~ALSASequencerClient();
    ALSASequencerClient(const ALSASequencerClient&) = delete;
    ALSASequencerClient& operator=(const ALSASequencerClient&) = delete;

    // [ui] An output port called name that others can subscribe to, fed from packets.
    OSStatus AddPort(MIDIEndpointRef source, const std::string& name, MIDIPacketRing& packets);
    // [ui] Sends what the port still has waiting, at once, and removes it.
    void RemovePort(MIDIEndpointRef source);

private:
    struct Port
    {
        MIDIEndpointRef source;
        int port;
        MIDIPacketRing* packets;
    };
    ALSASequencerClient(snd_seq_t* sequencer, snd_midi_event_t* encoder);

    void Run();                               // [sender]
    void Pump();                              // [sender] with mMutex held
    void Send(int port, const MIDIPacket& p); // [sender, ui] with mMutex held

    snd_seq_t* mSequencer;
    snd_midi_event_t* mEncoder;
    std::mutex mMutex;
    std::condition_variable mWake;
    bool mStopping = false;
    std::vector<Port> mPorts;
    MIDIPacketTimer mTimer;
    MIDIPacketTimer::Send mSend;
    std::thread mThread;
};
