#include "hosts/lv2/LV2MIDIBackend.h"

OSStatus LV2MIDIBackend::CreateClient(MIDIClientRef client, const std::string& name)
{
    if (mSequencer.CreateClient(client, name) != noErr) mTapOnlyClients.insert(client);
    return noErr;
}

OSStatus LV2MIDIBackend::CreateSource(MIDIClientRef client, MIDIEndpointRef source,
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

void LV2MIDIBackend::DisposeSource(MIDIEndpointRef source)
{
    if (mTapOnlySources.erase(source) == 0) mSequencer.DisposeSource(source);
}

void LV2MIDIBackend::DisposeClient(MIDIClientRef client)
{
    if (mTapOnlyClients.erase(client) == 0) mSequencer.DisposeClient(client);
}
