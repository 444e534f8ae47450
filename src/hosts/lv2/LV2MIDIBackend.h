#pragma once
// Virtual MIDI sources of a plug-in running inside an LV2 host. The feedback notes always
// reach the plug-in's notify port through a tap on the source; where an ALSA sequencer exists
// the source is also a sequencer port that other MIDI software can subscribe to. Without a
// sequencer (containers, test machines) clients and sources are still accepted, as sources
// without a platform side, so the notify port keeps its notes.

#include "platform/linux/ALSAMIDIBackend.h"

#include <set>

class LV2MIDIBackend final : public MIDIBackend
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
