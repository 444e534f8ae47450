#include "hosts/common/HostMIDIBackend.h"

OSStatus HostMIDIBackend::CreateClient(MIDIClientRef client, const std::string& name)
{
    if (mSequencer.CreateClient(client, name) != noErr) mTapOnlyClients.insert(client);
    return noErr;
}

OSStatus HostMIDIBackend::CreateSource(MIDIClientRef client, MIDIEndpointRef source,
                                       const std::string& name, MIDIPacketRing& packets)
{
    if (mTapOnlyClients.contains(client))
    {
        // Nobody drains the platform ring of such a source: once it is full, MIDIReceived
        // reports the packets it could not queue there while the taps still get them.
        mTapOnlySources.insert(source);
        return noErr;
    }
    return mSequencer.CreateSource(client, source, name, packets);
}

void HostMIDIBackend::DisposeSource(MIDIEndpointRef source)
{
    if (mTapOnlySources.erase(source) == 0) mSequencer.DisposeSource(source);
}

void HostMIDIBackend::DisposeClient(MIDIClientRef client)
{
    if (mTapOnlyClients.erase(client) == 0) mSequencer.DisposeClient(client);
}
