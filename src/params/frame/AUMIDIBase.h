#pragma once
// MIDI dispatch for audio units that take MIDI: splits each channel message into its handler,
// refusing everything until the unit is initialised. A plug-in derives from it next to its
// AUBase line (see AUMIDIEffectBase) and overrides the handlers it wants; the others do
// nothing.
//
// Note on with velocity 0 is a note off. Controllers 120 (all sound off), 121 (reset all
// controllers) and 123 (all notes off) go to their own handlers and never reach
// HandleControlChange. Data bytes are taken as their low seven bits, so handlers always see
// 0 … 127; status bytes without the high bit and system messages are ignored.

#include "platform/AUComponent.h"

class AUBase;

class AUMIDIBase
{
public:
    explicit AUMIDIBase(AUBase& audioUnit);
    virtual ~AUMIDIBase();
    AUMIDIBase(const AUMIDIBase&) = delete;
    AUMIDIBase& operator=(const AUMIDIBase&) = delete;

    // [midi] What the MIDI selectors reach.
    OSStatus MIDIEvent(UInt32 status, UInt32 data1, UInt32 data2, UInt32 offsetSampleFrame);
    OSStatus SysEx(const UInt8* data, UInt32 length);

    // [midi] status is the message (high four bits), channel the low four bits.
    virtual OSStatus HandleMidiEvent(UInt8 status, UInt8 channel, UInt8 data1, UInt8 data2,
                                     UInt32 offsetSampleFrame);
    virtual OSStatus HandleNoteOn(UInt8 channel, UInt8 note, UInt8 velocity,
                                  UInt32 offsetSampleFrame);
    virtual OSStatus HandleNoteOff(UInt8 channel, UInt8 note, UInt8 velocity,
                                   UInt32 offsetSampleFrame);
    virtual OSStatus HandleControlChange(UInt8 channel, UInt8 controller, UInt8 value,
                                         UInt32 offsetSampleFrame);
    // lsb and msb are the low and high seven bits of the bend.
    virtual OSStatus HandlePitchWheel(UInt8 channel, UInt8 lsb, UInt8 msb,
                                      UInt32 offsetSampleFrame);
    virtual OSStatus HandleChannelPressure(UInt8 channel, UInt8 value, UInt32 offsetSampleFrame);
    virtual OSStatus HandleProgramChange(UInt8 channel, UInt8 program);
    virtual OSStatus HandlePolyPressure(UInt8 channel, UInt8 note, UInt8 value,
                                        UInt32 offsetSampleFrame);
    virtual OSStatus HandleResetAllControllers(UInt8 channel);
    virtual OSStatus HandleAllNotesOff(UInt8 channel);
    virtual OSStatus HandleAllSoundOff(UInt8 channel);
    virtual OSStatus HandleSysEx(const UInt8* data, UInt32 length);

    static bool IsMIDISelector(SInt16 selector); // [any]
    // [midi] Routes a MIDI selector's call; may throw.
    static OSStatus ComponentEntryDispatch(ComponentParameters* params, AUMIDIBase* unit);

private:
    AUBase& mAudioUnit;
};
