#pragma once
// The unit's global parameters as an LV2 host sees them, read through the host-side API:
// list order, names, port symbols made from the names, units, ranges, defaults, flags and
// value strings. The .ttl generator writes them out; the plug-in maps their symbols to the
// URIs of its patch:Set notifications. Both read the same unit, so they agree.

#include "hosts/common/UnitParameterList.h"
#include "hosts/lv2/LV2PortLayout.h"

#include <string>
#include <string_view>
#include <vector>

class LV2ParameterTable
{
public:
    struct Parameter : UnitParameterList::Parameter
    {
        std::string symbol;
    };

    // [ui] Reads every global parameter of the unit; false with a message when the unit
    // cannot describe them.
    bool Read(AudioUnit unit, std::string& error);

    const std::vector<Parameter>& Parameters() const { return mParameters; }
    // [ui] The ports of the unit's buses and of these parameters.
    LV2PortLayout Layout(AudioUnit unit) const;
    std::vector<std::string> Symbols() const;

    // [any] A port symbol for a name: lower-case letters, digits and single underscores for
    // everything else, never starting with a digit ("Reverb:Play Reverb" -> "reverb_play_reverb").
    static std::string Symbol(std::string_view name);

private:
    // [ui] Makes symbol unique among the fixed ports and the parameters read so far.
    std::string UniqueSymbol(std::string symbol) const;

    std::vector<Parameter> mParameters;
};
