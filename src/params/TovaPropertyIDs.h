#pragma once
// The ids of Tova's custom properties, answered in any scope and element. Hosts reach them
// (global scope, element 0) through UnitCustomProperties.

#include "platform/AUComponent.h"

// UInt32, read: fill of the sample pool in tenths of a percent (0 … 1000).
constexpr AudioUnitPropertyID kTovaProperty_MemoryUse = 64000;
// UInt32 (content ignored), write: erases every sample.
constexpr AudioUnitPropertyID kTovaProperty_EraseAll = 64001;
// UInt32, read: 1 while the effective speed is 0. Announced (global scope, element 0) whenever
// the effective speed starts or stops being 0.
constexpr AudioUnitPropertyID kTovaProperty_Stopped = 64002;
// Write: an audio file's path, its bytes as the data (a trailing zero is allowed). The file
// becomes the sample waiting for the next note on; the call returns once it waits, or failed.
// With tempo, the sample's tempo follows from the file's length.
constexpr AudioUnitPropertyID kTovaProperty_ImportWithTempo = 64003;
constexpr AudioUnitPropertyID kTovaProperty_Import = 64004;
// SInt32, read and write: the parameter armed for MIDI learn, −1 when none.
constexpr AudioUnitPropertyID kTovaProperty_MIDILearn = 100000;
