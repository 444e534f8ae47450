#pragma once
// A unit's class-info state and the property-list files the host programs keep it in: read in
// either form (PropertyListFile::Read) and handed to the unit, or taken from the unit and
// written atomically (a crash leaves the old file or the new one), in binary form when the
// name ends in ".bplist" and as XML otherwise. Taking the state and writing it are separate
// steps so that a host can hold the unit only for the first.

#include "platform/AUComponent.h"
#include "platform/cf/PropertyListFile.h"

#include <string>

class UnitStateFile
{
public:
    // [ui] Hands the state to the unit. False with a message when the unit refuses it; the
    // unit then keeps what it had.
    static bool Restore(AudioUnit unit, const CFType& state, std::string& error);
    // [ui] The unit's state as it is now; false with a message when the unit hands over none.
    static bool Capture(AudioUnit unit, CFType& outState, std::string& error);
    // [ui] Replaces the file with the state, in the form its name asks for.
    static bool Write(const std::string& path, const CFType& state, std::string& error);

    // [any] Binary for names ending in ".bplist", else XML.
    static PropertyListFormat FormatFor(const std::string& path);
};
