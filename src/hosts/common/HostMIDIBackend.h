#pragma once
// Virtual MIDI sources of a unit that a host program opens and taps (MIDITapCapture) to copy
// its notes into a MIDI output of its own. Where an ALSA sequencer exists the source is also
// a sequencer port that other MIDI software can subscribe to. Without a sequencer
// (containers, test machines) clients and sources are still accepted, as sources without a
// platform side, so the host's tap keeps its notes.

#include "platform/linux/ALSAMIDIBackend.h"

#include <set>

class HostMIDIBackend final : public MIDIBackend
{
public:
    OSStatus CreateClient(MIDIClientRef client, const std::string& name) override;
    OSStatus CreateSource(MIDIClientRef client, MIDIEndpointRef source, const std::string& name,
                          MIDIPacketRing& packets) override;
    void DisposeSource(MIDIEndpointRef source) override;
    void DisposeClient(MIDIClientRef client) override;

private:
    ALSAMIDIBackend mSequencer;
    std::set<MIDIClientRef> mTapOnlyClients;
    std::set<MIDIEndpointRef> mTapOnlySources;
};
