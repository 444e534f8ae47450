#pragma once
// MIDI into an audio unit: channel messages and system exclusive, with the frame offset into
// the next render buffer at which they take effect.

#include "platform/AUComponent.h"

// [midi] status, data bytes and offset of one channel message; refused with
// kAudioUnitErr_Uninitialized before AudioUnitInitialize.
OSStatus MusicDeviceMIDIEvent(AudioUnit inUnit, UInt32 inStatus, UInt32 inData1, UInt32 inData2,
                              UInt32 inOffsetSampleFrame);
// [midi] a complete system-exclusive message.
OSStatus MusicDeviceSysEx(AudioUnit inUnit, const UInt8* inData, UInt32 inLength);
