#include "params/frame/AUMIDIBase.h"

#include "params/frame/AUBase.h"
#include "platform/AUComponentArgs.h"

namespace
{
constexpr UInt8 kNoteOff = 0x80;
constexpr UInt8 kNoteOn = 0x90;
constexpr UInt8 kPolyPressure = 0xA0;
constexpr UInt8 kControlChange = 0xB0;
constexpr UInt8 kProgramChange = 0xC0;
constexpr UInt8 kChannelPressure = 0xD0;
constexpr UInt8 kPitchWheel = 0xE0;
constexpr UInt8 kAllSoundOff = 120;
constexpr UInt8 kResetAllControllers = 121;
constexpr UInt8 kAllNotesOff = 123;
} // namespace

AUMIDIBase::AUMIDIBase(AUBase& audioUnit) : mAudioUnit(audioUnit) {}

AUMIDIBase::~AUMIDIBase() = default;

OSStatus AUMIDIBase::MIDIEvent(UInt32 status, UInt32 data1, UInt32 data2, UInt32 offsetSampleFrame)
{
    if (!mAudioUnit.IsInitialized()) return kAudioUnitErr_Uninitialized;
    return HandleMidiEvent(static_cast<UInt8>(status & 0xF0), static_cast<UInt8>(status & 0x0F),
                           static_cast<UInt8>(data1 & 0x7F), static_cast<UInt8>(data2 & 0x7F),
                           offsetSampleFrame);
}

OSStatus AUMIDIBase::SysEx(const UInt8* data, UInt32 length)
{
    if (!mAudioUnit.IsInitialized()) return kAudioUnitErr_Uninitialized;
    return HandleSysEx(data, length);
}

OSStatus AUMIDIBase::HandleMidiEvent(UInt8 status, UInt8 channel, UInt8 data1, UInt8 data2,
                                     UInt32 offsetSampleFrame)
{
    switch (status)
    {
    case kNoteOff:
        return HandleNoteOff(channel, data1, data2, offsetSampleFrame);
    case kNoteOn:
        if (data2 == 0) return HandleNoteOff(channel, data1, 0, offsetSampleFrame);
        return HandleNoteOn(channel, data1, data2, offsetSampleFrame);
    case kPolyPressure:
        return HandlePolyPressure(channel, data1, data2, offsetSampleFrame);
    case kControlChange:
        switch (data1)
        {
        case kAllSoundOff:
            return HandleAllSoundOff(channel);
        case kResetAllControllers:
            return HandleResetAllControllers(channel);
        case kAllNotesOff:
            return HandleAllNotesOff(channel);
        default:
            return HandleControlChange(channel, data1, data2, offsetSampleFrame);
        }
    case kProgramChange:
        return HandleProgramChange(channel, data1);
    case kChannelPressure:
        return HandleChannelPressure(channel, data1, offsetSampleFrame);
    case kPitchWheel:
        return HandlePitchWheel(channel, data1, data2, offsetSampleFrame);
    default:
        return noErr;
    }
}

OSStatus AUMIDIBase::HandleNoteOn(UInt8, UInt8, UInt8, UInt32)
{
    return noErr;
}

OSStatus AUMIDIBase::HandleNoteOff(UInt8, UInt8, UInt8, UInt32)
{
    return noErr;
}

OSStatus AUMIDIBase::HandleControlChange(UInt8, UInt8, UInt8, UInt32)
{
    return noErr;
}

OSStatus AUMIDIBase::HandlePitchWheel(UInt8, UInt8, UInt8, UInt32)
{
    return noErr;
}

OSStatus AUMIDIBase::HandleChannelPressure(UInt8, UInt8, UInt32)
{
    return noErr;
}

OSStatus AUMIDIBase::HandleProgramChange(UInt8, UInt8)
{
    return noErr;
}

OSStatus AUMIDIBase::HandlePolyPressure(UInt8, UInt8, UInt8, UInt32)
{
    return noErr;
}

OSStatus AUMIDIBase::HandleResetAllControllers(UInt8)
{
    return noErr;
}

OSStatus AUMIDIBase::HandleAllNotesOff(UInt8)
{
    return noErr;
}

OSStatus AUMIDIBase::HandleAllSoundOff(UInt8)
{
    return noErr;
}

OSStatus AUMIDIBase::HandleSysEx(const UInt8*, UInt32)
{
    return noErr;
}

bool AUMIDIBase::IsMIDISelector(SInt16 selector)
{
    return selector == kMusicDeviceMIDIEventSelect || selector == kMusicDeviceSysExSelect;
}

OSStatus AUMIDIBase::ComponentEntryDispatch(ComponentParameters* params, AUMIDIBase* unit)
{
    if (params->args == nullptr) return kAudio_ParamError;
    if (params->what == kMusicDeviceMIDIEventSelect)
    {
        const auto* a = static_cast<MusicDeviceMIDIEventArgs*>(params->args);
        return unit->MIDIEvent(a->status, a->data1, a->data2, a->offsetSampleFrame);
    }
    if (params->what == kMusicDeviceSysExSelect)
    {
        const auto* a = static_cast<MusicDeviceSysExArgs*>(params->args);
        return unit->SysEx(a->data, a->length);
    }
    return badComponentSelector;
}
