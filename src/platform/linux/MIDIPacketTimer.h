#pragma once
// Holds the packets of virtual sources until their host time, for the one thread that sends
// them on: a note off stamped 50 ms after its note on waits here while later packets pass.
// Packets leave in time order; packets with equal times leave in the order they arrived, so a
// note off that has come due always goes out before a newer note on of the same note.

#include "platform/CoreMIDI.h"

#include <functional>
#include <vector>

class MIDIPacketTimer
{
public:
    using Send = std::function<void(int port, const MIDIPacket& packet)>;

    // [sender] Takes everything the port's ring holds.
    void Collect(int port, MIDIPacketRing& ring);
    // [sender] Sends the packets whose time has come (time stamp at most now; 0 means now).
    void SendDue(MIDITimeStamp now, const Send& send);
    // [sender] Sends all packets of the port at once, in time order, however early.
    void SendAllOf(int port, const Send& send);
    // [sender] Sends every packet at once, in time order.
    void SendAll(const Send& send);

private:
    struct Waiting
    {
        int port;
        MIDIPacket packet;
    };

    // Sends and removes the waiting packets that pass, in time order.
    template <class Pass> void SendWhere(Pass pass, const Send& send);

    std::vector<Waiting> mWaiting; // in arrival order
};
