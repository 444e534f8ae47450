#pragma once
// Where one MIDI message of a packet ends and the next begins, for hosts that hand a unit's
// feedback packets on as one event per message.

#include "platform/CoreMIDI.h"

#include <cstddef>

class MIDIMessage
{
public:
    // [any] The length of the message at the start of data (at most size bytes, size > 0): a
    // channel or system message by its status, system exclusive up to its end mark, and a stray
    // data byte alone.
    static std::size_t Length(const Byte* data, std::size_t size);
};
