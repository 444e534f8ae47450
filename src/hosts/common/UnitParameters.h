#pragma once
// The global parameters of an open unit as a command line names them: by the exact name the
// unit publishes or by id, with a value given as a number in the parameter's range or as one
// of its value strings. Everything is read through the host-side property calls.

#include "hosts/common/UnitParameterList.h"

#include <string>

class UnitParameters
{
public:
    // [ui] Reads the parameter list, the description of every parameter and the value strings
    // of those that have them; false (with a message) when the unit does not answer.
    bool Load(AudioUnit unit, std::string& error);

    // [any] A parameter's id from its exact name or its id written as a number; false with a
    // message for the user (naming a parameter that differs only in case) when there is none.
    bool Lookup(const std::string& name, AudioUnitParameterID& outID, std::string& error) const;

    // [any] NAME=VALUE into an id and a value; false with a message for the user when the
    // name is unknown or the value is neither a value string nor a number in range. A value
    // string wins over a number spelled the same way, because that is what the unit shows.
    bool Resolve(const std::string& name, const std::string& value, AudioUnitParameterID& outID,
                 AudioUnitParameterValue& outValue, std::string& error) const;

private:
    using Parameter = UnitParameterList::Parameter;

    const Parameter* Find(const std::string& name, std::string& error) const;

    UnitParameterList mList;
};
