#include "hosts/jack/FeedbackQueue.h"

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
            const std::size_t length = MessageLength(packet.data + at, packet.length - at);
            if (!write(context, packet.data + at, length))
                mDropped.fetch_add(1, std::memory_order_relaxed);
            at += length;
        }
        std::copy(mPackets.begin() + static_cast<std::ptrdiff_t>(next + 1),
                  mPackets.begin() + static_cast<std::ptrdiff_t>(mCount),
                  mPackets.begin() + static_cast<std::ptrdiff_t>(next));
        --mCount;
    }
}

std::size_t FeedbackQueue::MessageLength(const Byte* data, std::size_t size)
{
    std::size_t length = 1;
    const Byte status = data[0];
    if (status == 0xF0)
    {
        // System exclusive runs to its end mark.
        while (length < size && data[length - 1] != 0xF7)
            ++length;
        return length;
    }
    if (status < 0x80)
        length = 1; // a stray data byte stands alone
    else if (status < 0xF0)
        length = (status & 0xE0) == 0xC0 ? 2 : 3; // program change and channel pressure: 2
    else if (status == 0xF1 || status == 0xF3)
        length = 2;
    else if (status == 0xF2)
        length = 3;
    return std::min(length, size);
}
