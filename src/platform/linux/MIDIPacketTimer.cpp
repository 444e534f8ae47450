#include "platform/linux/MIDIPacketTimer.h"

#include <algorithm>

void MIDIPacketTimer::Collect(int port, MIDIPacketRing& ring)
{
    Waiting waiting{port, {}};
    while (ring.TryPop(waiting.packet))
        mWaiting.push_back(waiting);
}

template <class Pass> void MIDIPacketTimer::SendWhere(Pass pass, const Send& send)
{
    std::stable_sort(
        mWaiting.begin(), mWaiting.end(),
        [](const Waiting& a, const Waiting& b)
        { return MIDITimeStamp{a.packet.timeStamp} < MIDITimeStamp{b.packet.timeStamp}; });
    std::vector<Waiting> kept;
    for (const Waiting& waiting : mWaiting)
    {
        if (pass(waiting))
            send(waiting.port, waiting.packet);
        else
            kept.push_back(waiting);
    }
    mWaiting = std::move(kept);
}

void MIDIPacketTimer::SendDue(MIDITimeStamp now, const Send& send)
{
    SendWhere([now](const Waiting& w) { return MIDITimeStamp{w.packet.timeStamp} <= now; }, send);
}

void MIDIPacketTimer::SendAllOf(int port, const Send& send)
{
    SendWhere([port](const Waiting& w) { return w.port == port; }, send);
}

void MIDIPacketTimer::SendAll(const Send& send)
{
    SendWhere([](const Waiting&) { return true; }, send);
}
