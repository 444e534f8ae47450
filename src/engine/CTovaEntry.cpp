#include "engine/CTovaEntry.h"

#include "engine/CTova.h"
#include "params/frame/ComponentEntryPoint.h"

extern "C" ComponentResult CTovaEntry(ComponentParameters* params, void* storage)
{
    return ComponentEntryPoint<CTova>::Dispatch(params, storage);
}

const AudioComponentRegistration kTovaRegistration{
    {kAudioUnitType_MusicEffect, FourCharCode("Tova"), FourCharCode("Qzpt"), 0, 0},
    "Tova",
    CTova::kVersion,
    CTovaEntry};
