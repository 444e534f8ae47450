#pragma once
// The ids of Tova's parameters (global scope, element 0). Rows of CTova::s_asParInfo carry
// the same numbers; kTovaParam_Count is the sentinel row that is never published.

#include "platform/AUComponent.h"

enum ETovaParameter : AudioUnitParameterID
{
    kTovaParam_TapeSpeed = 0,
    kTovaParam_Time = 1,
    kTovaParam_Pitch = 2,
    kTovaParam_Threshold = 3,
    kTovaParam_Recording = 4,
    kTovaParam_Erasing = 5,
    kTovaParam_TapeSmoothing = 6,
    kTovaParam_Copying = 7,
    kTovaParam_Looping = 8,
    kTovaParam_RecordSync = 9,
    kTovaParam_PlaybackSync = 10,
    kTovaParam_PlayThru = 11,
    kTovaParam_Legato = 12,
    kTovaParam_Digi0 = 13, // bits 0 … 4 of "Digi Value" are ids 13 … 17
    kTovaParam_Digi4 = 17,
    kTovaParam_DigiValue = 18,
    kTovaParam_Rarorovaz = 19,
    kTovaParam_Bo = 20,
    kTovaParam_Autolooper = 21,
    kTovaParam_AllSoundsOff = 22,
    kTovaParam_ToggleAutolooper = 23,
    kTovaParam_StopPrior = 24,
    kTovaParam_BackInTime = 25,
    kTovaParam_Freeze = 26,
    kTovaParam_PlayReverb = 27,
    kTovaParam_ReverbDry = 28, // the five reverb settings are ids 28 … 32
    kTovaParam_ReverbWet = 29,
    kTovaParam_ReverbRoomSize = 30,
    kTovaParam_ReverbDamp = 31,
    kTovaParam_ReverbWidth = 32,
    kTovaParam_Memory = 33,
    kTovaParam_MemoryLock = 34,
    kTovaParam_Count = 35
};
