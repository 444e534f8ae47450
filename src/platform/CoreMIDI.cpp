#include "platform/CoreMIDI.h"

#include "platform/MIDIBackend.h"
#include "platform/MIDITapCapture.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace
{
// Source references carry a slot in the table that MIDIReceived reads without a lock, plus a
// generation so that a stale reference never reaches a later source in the same slot.
constexpr UInt32 kSlotBits = 10;
constexpr UInt32 kMaxSources = 1u << kSlotBits;
constexpr UInt32 kGenerationMask = (1u << (31 - kSlotBits)) - 1;
// Client references live apart from source references: the top bit is set.
constexpr MIDIClientRef kClientRefBit = 0x80000000u;

struct Tap
{
    std::atomic<bool> active{false};
    MIDIPacketRing ring;
};

struct Source
{
    MIDIEndpointRef ref = 0;
    MIDIClientRef client = 0;
    MIDIPacketRing backendRing;
    std::array<Tap, kMIDISourceMaxTaps> taps;
};

struct Client
{
    std::shared_ptr<MIDIBackend> backend;
    std::vector<MIDIEndpointRef> sources;
};

// Everything but `published` is guarded by `mutex`, which only the [ui] calls take. At the end
// of a process, clients still open go first (their backends stop their threads, sending what
// is left) while the sources' rings still exist: members are destroyed bottom up.
struct Registry
{
    std::mutex mutex;
    std::array<std::unique_ptr<Source>, kMaxSources> owned;
    std::array<std::atomic<Source*>, kMaxSources> published{};
    std::shared_ptr<MIDIBackend> backend;
    std::map<MIDIClientRef, Client> clients;
    UInt32 nextGeneration = 1;
    UInt32 nextClient = 1;
};

Registry gRegistry;

UInt32 SlotOf(MIDIEndpointRef ref)
{
    return ref & (kMaxSources - 1);
}

// Needs the mutex; null when ref names no living source.
Source* FindSource(MIDIEndpointRef ref)
{
    if ((ref & kClientRefBit) != 0) return nullptr;
    Source* source = gRegistry.owned[SlotOf(ref)].get();
    return source != nullptr && source->ref == ref ? source : nullptr;
}

// Needs the mutex.
Tap* FreeTap(Source& source)
{
    for (Tap& tap : source.taps)
        if (!tap.active.load(std::memory_order_relaxed)) return &tap;
    return nullptr;
}

// Needs the mutex.
void DisposeSourceLocked(Source& source, MIDIBackend& backend)
{
    backend.DisposeSource(source.ref);
    const UInt32 slot = SlotOf(source.ref);
    gRegistry.published[slot].store(nullptr, std::memory_order_release);
    gRegistry.owned[slot].reset();
}
} // namespace

MIDIPacket* MIDIPacketListInit(MIDIPacketList* pktlist)
{
    pktlist->numPackets = 0;
    return &pktlist->packet[0];
}

MIDIPacket* MIDIPacketListAdd(MIDIPacketList* pktlist, ByteCount listSize, MIDIPacket* curPacket,
                              MIDITimeStamp time, ByteCount nData, const Byte* data)
{
    if (pktlist == nullptr || curPacket == nullptr || (nData > 0 && data == nullptr) ||
        nData > UINT16_MAX)
        return nullptr;
    MIDIPacket* packet = pktlist->numPackets == 0 ? &pktlist->packet[0] : MIDIPacketNext(curPacket);
    const auto listStart = reinterpret_cast<std::uintptr_t>(pktlist);
    const auto packetStart = reinterpret_cast<std::uintptr_t>(packet);
    const std::size_t needed = offsetof(MIDIPacket, data) + nData;
    if (packetStart < listStart || packetStart - listStart > listSize ||
        listSize - (packetStart - listStart) < needed)
        return nullptr;
    packet->timeStamp = time;
    packet->length = static_cast<UInt16>(nData);
    if (nData > 0) std::memcpy(packet->data, data, nData);
    ++pktlist->numPackets;
    return packet;
}

OSStatus MIDIClientCreate(const char* name, MIDINotifyProc /*notifyProc*/, void* /*notifyRefCon*/,
                          MIDIClientRef* outClient)
{
    if (name == nullptr || outClient == nullptr) return kAudio_ParamError;
    const std::lock_guard lock(gRegistry.mutex);
    if (!gRegistry.backend) return kMIDIServerStartErr;
    const MIDIClientRef ref = kClientRefBit | gRegistry.nextClient;
    if (const OSStatus status = gRegistry.backend->CreateClient(ref, name); status != noErr)
        return status;
    gRegistry.nextClient = (gRegistry.nextClient + 1) & ~kClientRefBit;
    if (gRegistry.nextClient == 0) gRegistry.nextClient = 1;
    gRegistry.clients[ref] = Client{gRegistry.backend, {}};
    *outClient = ref;
    return noErr;
}

OSStatus MIDIClientDispose(MIDIClientRef client)
{
    const std::lock_guard lock(gRegistry.mutex);
    const auto it = gRegistry.clients.find(client);
    if (it == gRegistry.clients.end()) return kMIDIInvalidClient;
    MIDIBackend& backend = *it->second.backend;
    for (const MIDIEndpointRef ref : it->second.sources)
        if (Source* source = FindSource(ref)) DisposeSourceLocked(*source, backend);
    backend.DisposeClient(client);
    gRegistry.clients.erase(it);
    return noErr;
}

OSStatus MIDISourceCreate(MIDIClientRef client, const char* name, MIDIEndpointRef* outSrc)
{
    if (name == nullptr || outSrc == nullptr) return kAudio_ParamError;
    const std::lock_guard lock(gRegistry.mutex);
    const auto it = gRegistry.clients.find(client);
    if (it == gRegistry.clients.end()) return kMIDIInvalidClient;
    UInt32 slot = 0;
    while (slot < kMaxSources && gRegistry.owned[slot])
        ++slot;
    if (slot == kMaxSources) return kMIDINotPermitted;

    auto source = std::make_unique<Source>();
    source->ref = (gRegistry.nextGeneration << kSlotBits) | slot;
    source->client = client;
    if (const OSStatus status =
            it->second.backend->CreateSource(client, source->ref, name, source->backendRing);
        status != noErr)
        return status;
    gRegistry.nextGeneration = (gRegistry.nextGeneration + 1) & kGenerationMask;
    if (gRegistry.nextGeneration == 0) gRegistry.nextGeneration = 1;

    if (MIDITapCapture* capture = MIDITapCapture::Active())
    {
        Tap& tap = source->taps[0];
        tap.active.store(true, std::memory_order_relaxed); // published below
        capture->Add(&tap.ring);
    }
    *outSrc = source->ref;
    it->second.sources.push_back(source->ref);
    gRegistry.published[slot].store(source.get(), std::memory_order_release);
    gRegistry.owned[slot] = std::move(source);
    return noErr;
}

OSStatus MIDIEndpointDispose(MIDIEndpointRef endpt)
{
    const std::lock_guard lock(gRegistry.mutex);
    Source* source = FindSource(endpt);
    if (source == nullptr) return kMIDIObjectNotFound;
    Client& client = gRegistry.clients.at(source->client);
    std::erase(client.sources, endpt);
    DisposeSourceLocked(*source, *client.backend);
    return noErr;
}

OSStatus MIDISourceAddTap(MIDIEndpointRef src, MIDIPacketRing** outTap)
{
    if (outTap == nullptr) return kAudio_ParamError;
    const std::lock_guard lock(gRegistry.mutex);
    Source* source = FindSource(src);
    if (source == nullptr) return kMIDIObjectNotFound;
    Tap* tap = FreeTap(*source);
    if (tap == nullptr) return kMIDINotPermitted;
    // The ring was built with the source; the release makes it visible to MIDIReceived.
    tap->active.store(true, std::memory_order_release);
    *outTap = &tap->ring;
    return noErr;
}

OSStatus MIDIReceived(MIDIEndpointRef src, const MIDIPacketList* pktlist)
{
    if ((src & kClientRefBit) != 0) return kMIDIObjectNotFound;
    Source* source = gRegistry.published[SlotOf(src)].load(std::memory_order_acquire);
    if (source == nullptr || source->ref != src) return kMIDIObjectNotFound;
    if (pktlist == nullptr) return kAudio_ParamError;

    OSStatus result = noErr;
    MIDIPacket copy{};
    const MIDIPacket* packet = &pktlist->packet[0];
    for (UInt32 i = 0; i < pktlist->numPackets; ++i, packet = MIDIPacketNext(packet))
    {
        if (packet->length > sizeof copy.data)
        {
            result = kMIDIMessageSendErr;
            continue;
        }
        // Only the packet's own bytes: the list may end right after them.
        copy.timeStamp = packet->timeStamp;
        copy.length = packet->length;
        std::memcpy(copy.data, packet->data, packet->length);
        if (!source->backendRing.TryPush(copy)) result = kMIDIMessageSendErr;
        for (Tap& tap : source->taps)
            if (tap.active.load(std::memory_order_acquire)) tap.ring.TryPush(copy);
    }
    return result;
}

void MIDIInstallBackend(std::shared_ptr<MIDIBackend> backend)
{
    const std::lock_guard lock(gRegistry.mutex);
    gRegistry.backend = std::move(backend);
}

std::shared_ptr<MIDIBackend> MIDICurrentBackend()
{
    const std::lock_guard lock(gRegistry.mutex);
    return gRegistry.backend;
}

UInt64 AudioGetCurrentHostTime()
{
    // The steady clock is CLOCK_MONOTONIC on Linux, read through the vDSO.
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<UInt64>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
}

UInt64 AudioConvertHostTimeToNanos(UInt64 inHostTime)
{
    return inHostTime;
}

UInt64 AudioConvertNanosToHostTime(UInt64 inNanos)
{
    return inNanos;
}
