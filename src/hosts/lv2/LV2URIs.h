#pragma once
// The URIs the wrapper speaks, mapped once when an instance is made. Besides the standard
// vocabularies (atom, MIDI, time, patch, state) these are the plug-in's own: its parameters
// (<plug-in URI>#<port symbol>) and the properties and messages of its protocol (PROTOCOL.md).

#include <lv2/urid/urid.h>

#include <string>
#include <vector>

class LV2URIs
{
public:
    // The suffixes after the plug-in's URI of the protocol's own terms.
    static constexpr const char* kMemoryUse = "#memoryUse";
    static constexpr const char* kStopped = "#stopped";
    static constexpr const char* kMidiLearn = "#midiLearn";
    static constexpr const char* kImport = "#import";
    static constexpr const char* kImportWithTempo = "#importWithTempo";
    static constexpr const char* kEraseAll = "#EraseAll";
    static constexpr const char* kImportResult = "#ImportResult";
    static constexpr const char* kPath = "#path";
    static constexpr const char* kStatus = "#status";
    static constexpr const char* kState = "#state";

    // [ui] Maps everything; parameterSymbols gives the parameters' URIs in parameter order.
    LV2URIs(const LV2_URID_Map& map, const std::string& pluginURI,
            const std::vector<std::string>& parameterSymbols);

    LV2_URID atomBlank, atomChunk, atomDouble, atomFloat, atomInt, atomLong, atomObject, atomPath,
        atomString, atomURID;
    LV2_URID midiEvent;
    LV2_URID timePosition, timeBar, timeBarBeat, timeBeat, timeBeatUnit, timeBeatsPerBar,
        timeBeatsPerMinute, timeFrame, timeSpeed;
    LV2_URID patchGet, patchSet, patchProperty, patchValue;
    LV2_URID memoryUse, stopped, midiLearn, import, importWithTempo, eraseAll, importResult, path,
        status, state;
    // parameters[i] is the property of the i-th parameter of the unit's list.
    std::vector<LV2_URID> parameters;

    // [any] The parameter index of a property, or -1.
    int ParameterIndex(LV2_URID property) const;
};
