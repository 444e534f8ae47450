#pragma once
// The global parameters of an open unit as the host-side property calls describe them, in the
// order the unit lists them: id, name, unit, range, default, flags and value strings.

#include "platform/AudioUnitProperties.h"

#include <string>
#include <vector>

class UnitParameterList
{
public:
    struct Parameter
    {
        AudioUnitParameterID id = 0;
        std::string name;
        AudioUnitParameterUnit unit = kAudioUnitParameterUnit_Generic;
        AudioUnitParameterValue minValue = 0;
        AudioUnitParameterValue maxValue = 0;
        AudioUnitParameterValue defaultValue = 0;
        AudioUnitParameterOptions flags = 0;
        std::vector<std::string> valueStrings; // index i names the value minValue + i
    };

    // [ui] Reads the parameter list, the description of every parameter and the value strings
    // of those that have them; false (with a message) when the unit does not answer.
    bool Read(AudioUnit unit, std::string& error);

    const std::vector<Parameter>& Parameters() const { return mParameters; } // [any]

private:
    std::vector<Parameter> mParameters;
};
