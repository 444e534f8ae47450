#pragma once
// The part of the platform's MIDI services that the plug-in uses: a virtual client with a
// virtual source on which it sends notes (packet lists stamped in host time), and the host
// clock. Where the notes go is decided by a backend that the host program installs at start-up
// (an ALSA sequencer port on Linux, platform/linux/ALSAMIDIBackend.h); without one, clients
// cannot be created and the plug-in runs without MIDI output.
//
// MIDIReceived may be called on the render thread: it only copies the packets into bounded
// lock-free rings, one for the backend and one for each tap, which their consumers drain on
// their own threads. One thread at a time sends on a given source, and a source is disposed
// only when nobody sends on it or drains its taps any more.

#include "platform/CoreAudioTypes.h"
#include "platform/SPSCRing.h"

#include <cstddef>
#include <memory>

using MIDIObjectRef = UInt32;
using MIDIClientRef = MIDIObjectRef;
using MIDIEndpointRef = MIDIObjectRef;
using MIDITimeStamp = UInt64; // host time; 0 means now
using ByteCount = std::size_t;
using Byte = UInt8;

constexpr OSStatus kMIDIInvalidClient = -10830;
constexpr OSStatus kMIDIMessageSendErr = -10838;
constexpr OSStatus kMIDIServerStartErr = -10839;
constexpr OSStatus kMIDIObjectNotFound = -10842;
constexpr OSStatus kMIDINotPermitted = -10844;

struct MIDINotification
{
    SInt32 messageID = 0;
    UInt32 messageSize = 0;
};
using MIDINotifyProc = void (*)(const MIDINotification* message, void* refCon);

// Packets follow each other in a list without gaps, each starting on a 4-byte boundary; a
// list declared as a plain MIDIPacketList has room for one packet of up to 256 bytes. The
// time stamp may therefore sit on a 4-byte boundary only: read it by value, never bind a
// reference or pointer to it.
#pragma pack(push, 4)
struct MIDIPacket
{
    MIDITimeStamp timeStamp;
    UInt16 length;
    Byte data[256];
};
struct MIDIPacketList
{
    UInt32 numPackets;
    MIDIPacket packet[1];
};
#pragma pack(pop)

// [any] The packet after p in its list.
inline const MIDIPacket* MIDIPacketNext(const MIDIPacket* p)
{
    const auto end = reinterpret_cast<std::uintptr_t>(&p->data[p->length]);
    return reinterpret_cast<const MIDIPacket*>((end + 3) & ~std::uintptr_t{3});
}
inline MIDIPacket* MIDIPacketNext(MIDIPacket* p)
{
    return const_cast<MIDIPacket*>(MIDIPacketNext(static_cast<const MIDIPacket*>(p)));
}

// [any] Empties the list and returns where its first packet goes.
MIDIPacket* MIDIPacketListInit(MIDIPacketList* pktlist);
// [any] Appends a packet after curPacket (the one returned by the previous call, or by
// MIDIPacketListInit) within listSize bytes of the list. Returns the new packet, or null when
// it does not fit (the list is then unchanged).
MIDIPacket* MIDIPacketListAdd(MIDIPacketList* pktlist, ByteCount listSize, MIDIPacket* curPacket,
                              MIDITimeStamp time, ByteCount nData, const Byte* data);

// [ui] Clients and their virtual sources. The platform sends no notifications, so notifyProc
// is never called. Without an installed backend MIDIClientCreate fails with
// kMIDIServerStartErr; a backend may refuse with a status of its own.
OSStatus MIDIClientCreate(const char* name, MIDINotifyProc notifyProc, void* notifyRefCon,
                          MIDIClientRef* outClient);
// [ui] Also disposes of the client's remaining sources.
OSStatus MIDIClientDispose(MIDIClientRef client);
OSStatus MIDISourceCreate(MIDIClientRef client, const char* name, MIDIEndpointRef* outSrc);
OSStatus MIDIEndpointDispose(MIDIEndpointRef endpt);

// [any, render-safe] Hands the packets of the list to everything that listens to the source:
// no lock, no allocation, no system call. Packets the rings have no room for are dropped; a
// packet dropped from the backend's ring (or longer than 256 bytes) makes the result
// kMIDIMessageSendErr.
OSStatus MIDIReceived(MIDIEndpointRef src, const MIDIPacketList* pktlist);

// What a source has sent, one packet per entry, waiting for one consumer.
using MIDIPacketRing = SPSCRing<MIDIPacket, 256>;

// A source's packets can also be read by a few taps (a plug-in wrapper copying them into its
// own MIDI output), each with its own ring, drained by one thread of the tap's owner.
constexpr std::size_t kMIDISourceMaxTaps = 2;
// [ui] Registers a tap on the source; the ring stays valid until the source is disposed.
// kMIDINotPermitted when all taps are taken.
OSStatus MIDISourceAddTap(MIDIEndpointRef src, MIDIPacketRing** outTap);

class MIDIBackend;
// [ui] Sets the backend for clients created from now on (existing clients keep theirs);
// null removes it.
void MIDIInstallBackend(std::shared_ptr<MIDIBackend> backend);
// [ui] The backend clients are created with now, or null.
std::shared_ptr<MIDIBackend> MIDICurrentBackend();

// Host time: nanoseconds of the monotonic clock (CLOCK_MONOTONIC).
// [any] Reads the clock without a system call.
UInt64 AudioGetCurrentHostTime();
// [any]
UInt64 AudioConvertHostTimeToNanos(UInt64 inHostTime);
// [any]
UInt64 AudioConvertNanosToHostTime(UInt64 inNanos);
