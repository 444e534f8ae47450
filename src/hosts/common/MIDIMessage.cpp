#include "hosts/common/MIDIMessage.h"

#include <algorithm>

std::size_t MIDIMessage::Length(const Byte* data, std::size_t size)
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
