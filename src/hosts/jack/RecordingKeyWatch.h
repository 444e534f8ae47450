#pragma once
// Which key the player holds to record, as far as the host can tell from the MIDI it passes
// on: the last key pressed while "Recording" was on, until that key is released. (A key that
// already holds a sample of its own plays instead; the unit does not say which.)

#include "platform/CoreAudioTypes.h"

#include <atomic>

class RecordingKeyWatch
{
public:
    // [render] A channel message on its way to the unit; recording: whether "Recording" is on
    // as it arrives.
    void Message(UInt8 status, UInt8 data1, UInt8 data2, bool recording);
    // [any] The key, or −1.
    int Key() const { return mKey.load(std::memory_order_relaxed); }

private:
    std::atomic<int> mKey{-1};
};
