#include "hosts/jack/FeedbackQueue.h"

#include "hosts/common/MIDIMessage.h"

#include <algorithm>

void FeedbackQueue::Collect(MIDIPacketRing& tap)
{
    while (mCount < kCapacity && tap.TryPop(mPackets[mCount]))
        ++mCount;
}

void FeedbackQueue::SendDue(MIDITimeStamp now, Write write, void* context)
{
    for (;;)
    {
        // The earliest due packet; the first of equal times, since the scan keeps arrival
        // order and only a strictly earlier time replaces the choice.
        std::size_t next = mCount;
        MIDITimeStamp nextTime = 0;
        for (std::size_t i = 0; i < mCount; ++i)
        {
            const MIDITimeStamp time = mPackets[i].timeStamp;
            if (time > now) continue;
            if (next == mCount || time < nextTime)
            {
                next = i;
                nextTime = time;
            }
        }
        if (next == mCount) return;

        const MIDIPacket& packet = mPackets[next];
        for (std::size_t at = 0; at < packet.length;)
        {
            const std::size_t length = MIDIMessage::Length(packet.data + at, packet.length - at);
            write(context, packet.data + at, length); // a full output drops the message
            at += length;
        }
        std::copy(mPackets.begin() + static_cast<std::ptrdiff_t>(next + 1),
                  mPackets.begin() + static_cast<std::ptrdiff_t>(mCount),
                  mPackets.begin() + static_cast<std::ptrdiff_t>(next));
        --mCount;
    }
}
