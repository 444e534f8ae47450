#pragma once
// The unit's feedback notes on their way from the tap on its virtual MIDI source to the JACK
// MIDI output. A packet leaves in the first cycle that begins at or after its host time, so
// a note off stamped 50 ms after its note on waits here while later packets pass it; packets
// that are due leave in time order, those with equal times in the order they arrived (a due
// note off before a newer note on of the same note). Each message of a packet becomes one
// event. Fixed capacity and no allocation: everything here runs on the render thread.

#include "platform/CoreMIDI.h"

#include <array>
#include <cstddef>

class FeedbackQueue
{
public:
    static constexpr std::size_t kCapacity = 64;

    // Writes one message into the output; false when it has no room left.
    using Write = bool (*)(void* context, const Byte* data, std::size_t size);

    // [render] Takes packets from the tap while there is room; the rest wait in the tap.
    void Collect(MIDIPacketRing& tap);
    // [render] Writes the messages of every packet due at host time now (0 stamps mean at
    // once). A message the output refuses is dropped.
    void SendDue(MIDITimeStamp now, Write write, void* context);

private:
    std::array<MIDIPacket, kCapacity> mPackets; // in arrival order
    std::size_t mCount = 0;
};
