#include "params/frame/AUMIDIEffectBase.h"

AUMIDIEffectBase::AUMIDIEffectBase(AudioComponentInstance instance, bool processesInPlace)
    : AUEffectBase(instance, processesInPlace), AUMIDIBase(static_cast<AUBase&>(*this))
{
}
