#pragma once
// A unit's class-info state in a property-list file, as the host programs keep it: read in
// either form and handed to the unit, or taken from the unit and written atomically (a crash
// leaves the old file or the new one), in binary form when the name ends in ".bplist" and as
// XML otherwise. Taking the state and writing it are separate steps so that a host can hold
// the unit only for the first.

#include "platform/AUComponent.h"
#include "platform/cf/PropertyListFile.h"

#include <string>

class UnitStateFile
{
public:
    // [ui] Reads the file and restores the unit from it. False with a message when the file
    // cannot be read or the unit refuses the state; the unit then keeps what it had.
    static bool Restore(AudioUnit unit, const std::string& path, std::string& error);
    // [ui] The unit's state as it is now; false with a message when the unit hands over none.
    static bool Capture(AudioUnit unit, CFType& outState, std::string& error);
    // [ui] Replaces the file with the state, in the form its name asks for.
    static bool Write(const std::string& path, const CFType& state, std::string& error);

    // [any] Binary for names ending in ".bplist", else XML.
    static PropertyListFormat FormatFor(const std::string& path);
};
