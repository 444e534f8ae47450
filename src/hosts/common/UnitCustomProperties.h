#pragma once
// The custom properties through which a host reaches Tova beyond its parameters (global
// scope, element 0), by the names the hosts use; what each carries is said with the ids. The
// import, which every host offers, is one call here.

#include "params/TovaPropertyIDs.h"

struct UnitCustomProperties
{
    static constexpr AudioUnitPropertyID kMemoryUse = kTovaProperty_MemoryUse;
    static constexpr AudioUnitPropertyID kEraseAll = kTovaProperty_EraseAll;
    static constexpr AudioUnitPropertyID kStopped = kTovaProperty_Stopped;
    static constexpr AudioUnitPropertyID kImportWithTempo = kTovaProperty_ImportWithTempo;
    static constexpr AudioUnitPropertyID kImport = kTovaProperty_Import;
    static constexpr AudioUnitPropertyID kMidiLearn = kTovaProperty_MIDILearn;

    // [ui] Hands the unit the audio file at path to import, with a tempo taken from its length
    // or without one. The data is the path's length bytes; its terminating zero must follow
    // them in memory.
    static OSStatus Import(AudioUnit unit, const char* path, UInt32 length, bool withTempo)
    {
        return AudioUnitSetProperty(unit, withTempo ? kImportWithTempo : kImport,
                                    kAudioUnitScope_Global, 0, path, length);
    }
};
