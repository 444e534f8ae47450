#pragma once
// The buses of an open unit as every host sets them up: how many there are in a scope, and the
// canonical format (32-bit floats, one buffer per channel) at the host's rate on each of them.

#include "platform/AudioUnitProperties.h"

#include <string>

class UnitStreamFormats
{
public:
    // [ui] The unit's buses in scope; 0 when it does not say.
    static UInt32 Count(AudioUnit unit, AudioUnitScope scope);
    // [ui] Sets the canonical format of `channels` channels at sampleRate on the first `inputs`
    // input buses, then on the first `outputs` output buses; false with a message when the unit
    // refuses one.
    static bool Set(AudioUnit unit, double sampleRate, UInt32 channels, UInt32 inputs,
                    UInt32 outputs, std::string& error);
};
