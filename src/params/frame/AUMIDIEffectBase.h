#pragma once
// An effect that takes MIDI: the effect base (not processing in place unless asked) plus the
// MIDI dispatch.

#include "params/frame/AUEffectBase.h"
#include "params/frame/AUMIDIBase.h"

class AUMIDIEffectBase : public AUEffectBase, public AUMIDIBase
{
public:
    explicit AUMIDIEffectBase(AudioComponentInstance instance, bool processesInPlace = false);
};
