#pragma once
// The custom properties through which a host reaches Tova beyond its parameters (global
// scope, element 0), by the names the hosts use; what each carries is said with the ids.

#include "params/TovaPropertyIDs.h"

struct UnitCustomProperties
{
    static constexpr AudioUnitPropertyID kMemoryUse = kTovaProperty_MemoryUse;
    static constexpr AudioUnitPropertyID kEraseAll = kTovaProperty_EraseAll;
    static constexpr AudioUnitPropertyID kStopped = kTovaProperty_Stopped;
    static constexpr AudioUnitPropertyID kImportWithTempo = kTovaProperty_ImportWithTempo;
    static constexpr AudioUnitPropertyID kImport = kTovaProperty_Import;
    static constexpr AudioUnitPropertyID kMidiLearn = kTovaProperty_MIDILearn;
};
