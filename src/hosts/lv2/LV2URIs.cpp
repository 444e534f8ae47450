#include "hosts/lv2/LV2URIs.h"

#include <lv2/atom/atom.h>
#include <lv2/midi/midi.h>
#include <lv2/patch/patch.h>
#include <lv2/time/time.h>

#include <algorithm>

LV2URIs::LV2URIs(const LV2_URID_Map& map, const std::string& pluginURI,
                 const std::vector<std::string>& parameterSymbols)
{
    auto id = [&map](const char* uri) { return map.map(map.handle, uri); };
    auto own = [&](const char* suffix) { return id((pluginURI + suffix).c_str()); };

    atomBlank = id(LV2_ATOM__Blank);
    atomChunk = id(LV2_ATOM__Chunk);
    atomDouble = id(LV2_ATOM__Double);
    atomFloat = id(LV2_ATOM__Float);
    atomInt = id(LV2_ATOM__Int);
    atomLong = id(LV2_ATOM__Long);
    atomObject = id(LV2_ATOM__Object);
    atomPath = id(LV2_ATOM__Path);
    atomString = id(LV2_ATOM__String);
    atomURID = id(LV2_ATOM__URID);
    midiEvent = id(LV2_MIDI__MidiEvent);
    timePosition = id(LV2_TIME__Position);
    timeBar = id(LV2_TIME__bar);
    timeBarBeat = id(LV2_TIME__barBeat);
    timeBeat = id(LV2_TIME__beat);
    timeBeatUnit = id(LV2_TIME__beatUnit);
    timeBeatsPerBar = id(LV2_TIME__beatsPerBar);
    timeBeatsPerMinute = id(LV2_TIME__beatsPerMinute);
    timeFrame = id(LV2_TIME__frame);
    timeSpeed = id(LV2_TIME__speed);
    patchGet = id(LV2_PATCH__Get);
    patchSet = id(LV2_PATCH__Set);
    patchProperty = id(LV2_PATCH__property);
    patchValue = id(LV2_PATCH__value);
    memoryUse = own(kMemoryUse);
    stopped = own(kStopped);
    midiLearn = own(kMidiLearn);
    import = own(kImport);
    importWithTempo = own(kImportWithTempo);
    eraseAll = own(kEraseAll);
    importResult = own(kImportResult);
    path = own(kPath);
    status = own(kStatus);
    state = own(kState);
    for (const std::string& symbol : parameterSymbols)
        parameters.push_back(own(("#" + symbol).c_str()));
}

int LV2URIs::ParameterIndex(LV2_URID property) const
{
    const auto it = std::find(parameters.begin(), parameters.end(), property);
    return it == parameters.end() ? -1 : static_cast<int>(it - parameters.begin());
}
