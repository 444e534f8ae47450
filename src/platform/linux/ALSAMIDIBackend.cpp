#include "platform/linux/ALSAMIDIBackend.h"

OSStatus ALSAMIDIBackend::CreateClient(MIDIClientRef client, const std::string& name)
{
    std::unique_ptr<ALSASequencerClient> sequencer;
    if (const OSStatus status = ALSASequencerClient::Open(name, sequencer); status != noErr)
        return status;
    mClients[client] = std::move(sequencer);
    return noErr;
}

OSStatus ALSAMIDIBackend::CreateSource(MIDIClientRef client, MIDIEndpointRef source,
                                       const std::string& name, MIDIPacketRing& packets)
{
    const auto it = mClients.find(client);
    if (it == mClients.end()) return kMIDIInvalidClient;
    if (const OSStatus status = it->second->AddPort(source, name, packets); status != noErr)
        return status;
    mSourceClients[source] = client;
    return noErr;
}

void ALSAMIDIBackend::DisposeSource(MIDIEndpointRef source)
{
    const auto it = mSourceClients.find(source);
    if (it == mSourceClients.end()) return;
    if (const auto client = mClients.find(it->second); client != mClients.end())
        client->second->RemovePort(source);
    mSourceClients.erase(it);
}

void ALSAMIDIBackend::DisposeClient(MIDIClientRef client)
{
    mClients.erase(client);
}
