#pragma once
// Where the packets of virtual MIDI sources go: the platform's MIDI system behind the
// CoreMIDI calls. The host program installs one at start-up (MIDIInstallBackend); all calls
// come from the CoreMIDI layer, serialised, never on the render thread.

#include "platform/CoreMIDI.h"

#include <string>

class MIDIBackend
{
public:
    virtual ~MIDIBackend() = default;

    // [ui] Opens the platform side of a new client; a non-zero status refuses the client.
    virtual OSStatus CreateClient(MIDIClientRef client, const std::string& name) = 0;
    // [ui] Publishes a source of a client opened here. From now until DisposeSource returns,
    // the backend is the one consumer of packets and drains it on a thread of its own.
    virtual OSStatus CreateSource(MIDIClientRef client, MIDIEndpointRef source,
                                  const std::string& name, MIDIPacketRing& packets) = 0;
    // [ui] Withdraws a source; once it returns, the backend no longer touches its ring.
    virtual void DisposeSource(MIDIEndpointRef source) = 0;
    // [ui] Closes a client whose sources have all been disposed of.
    virtual void DisposeClient(MIDIClientRef client) = 0;
};
