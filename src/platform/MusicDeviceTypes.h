#pragma once
// The identifiers and note parameters of the music-device note interface: the extended note
// on and note off that carry a note from the MIDI handlers to the render thread.

#include "platform/CoreAudioTypes.h"

using MusicDeviceInstrumentID = UInt32;
using MusicDeviceGroupID = UInt32; // the MIDI channel
using NoteInstanceID = UInt32;

// Only the two fixed arguments; the platform's variable tail of controls is never used here.
struct MusicDeviceNoteParams
{
    UInt32 argCount = 2;
    Float32 mPitch = 0;
    Float32 mVelocity = 0;
};
