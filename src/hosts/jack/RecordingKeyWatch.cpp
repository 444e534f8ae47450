#include "hosts/jack/RecordingKeyWatch.h"

void RecordingKeyWatch::Message(UInt8 status, UInt8 data1, UInt8 data2, bool recording)
{
    const UInt8 kind = status & 0xF0;
    const bool noteOn = kind == 0x90 && data2 > 0;
    const bool noteOff = kind == 0x80 || (kind == 0x90 && data2 == 0);
    if (noteOn && recording)
        mKey.store(data1, std::memory_order_relaxed);
    else if (noteOff && mKey.load(std::memory_order_relaxed) == data1)
        mKey.store(-1, std::memory_order_relaxed);
}
