#pragma once
// The custom properties through which a host reaches Tova beyond its parameters (global
// scope, element 0). Hosts name them here instead of including the engine.

#include "platform/AUComponent.h"

struct UnitCustomProperties
{
    // UInt32, read: fill of the sample memory in tenths of a percent (0 … 1000).
    static constexpr AudioUnitPropertyID kMemoryUse = 64000;
    // UInt32 (content ignored), write: erases every sample.
    static constexpr AudioUnitPropertyID kEraseAll = 64001;
    // UInt32, read: 1 while playback stands still; announced on every change.
    static constexpr AudioUnitPropertyID kStopped = 64002;
    // Write: the path of an audio file to import, its bytes as the data; the sample waits for
    // the next note on. With tempo, the sample's tempo is derived from the file's length.
    static constexpr AudioUnitPropertyID kImportWithTempo = 64003;
    static constexpr AudioUnitPropertyID kImport = 64004;
    // SInt32, read and write: the parameter armed for MIDI learn, −1 when none.
    static constexpr AudioUnitPropertyID kMidiLearn = 100000;
};
