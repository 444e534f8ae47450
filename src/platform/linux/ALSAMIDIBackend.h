#pragma once
// The virtual MIDI sources as ALSA sequencer ports: each client is a sequencer client named
// after it, each source an output port of that client, named after the source, that any
// other sequencer client can subscribe to. Without a sequencer (no /dev/snd/seq) every
// client is refused with kMIDIServerStartErr.

#include "platform/MIDIBackend.h"
#include "platform/linux/ALSASequencerClient.h"

#include <map>
#include <memory>

class ALSAMIDIBackend final : public MIDIBackend
{
public:
    OSStatus CreateClient(MIDIClientRef client, const std::string& name) override;
    OSStatus CreateSource(MIDIClientRef client, MIDIEndpointRef source, const std::string& name,
                          MIDIPacketRing& packets) override;
    void DisposeSource(MIDIEndpointRef source) override;
    void DisposeClient(MIDIClientRef client) override;

private:
    std::map<MIDIClientRef, std::unique_ptr<ALSASequencerClient>> mClients;
    std::map<MIDIEndpointRef, MIDIClientRef> mSourceClients;
};
