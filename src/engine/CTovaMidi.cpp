// CTova: MIDI notes. The handlers queue every note for the render thread, where the note
// scheduler delivers it and the key plays in step with "Playback Sync". MIDI learn, and
// recording, erasing, copying and legato by note, come with the MIDI handling.

#include "engine/CTova.h"

#include "engine/SaturatingTrunc.h"

OSStatus CTova::ExtendedNoteOn(MusicDeviceInstrumentID, MusicDeviceGroupID,
                               NoteInstanceID* outNoteInstanceID, UInt32,
                               const MusicDeviceNoteParams& inParams)
{
    const int key = SaturatingTrunc(inParams.mPitch + 0.1);
    if (outNoteInstanceID != nullptr) *outNoteInstanceID = static_cast<NoteInstanceID>(key);
    StartNoteInSync(key, inParams.mVelocity * 0.01f, -1);
    return noErr;
}

OSStatus CTova::ExtendedNoteOff(MusicDeviceGroupID, NoteInstanceID inNoteInstanceID, UInt32)
{
    if (inNoteInstanceID < static_cast<NoteInstanceID>(kNumKeys))
        StopNoteInSync(static_cast<int>(inNoteInstanceID), -1);
    return noErr;
}

OSStatus CTova::HandleNoteOn(UInt8 channel, UInt8 note, UInt8 velocity, UInt32 offsetSampleFrame)
{
    MusicDeviceNoteParams params;
    params.mPitch = note;
    params.mVelocity = velocity;
    NoteInstanceID id = 0;
    QueueExtendedNoteOn(0, channel, &id, offsetSampleFrame, params);
    return noErr;
}

OSStatus CTova::HandleNoteOff(UInt8 channel, UInt8 note, UInt8, UInt32 offsetSampleFrame)
{
    QueueExtendedNoteOff(channel, note, offsetSampleFrame);
    return noErr;
}

OSStatus CTova::HandleAllNotesOff(UInt8)
{
    Post(ECommand::AllNotesOff);
    return noErr;
}

OSStatus CTova::HandleAllSoundOff(UInt8)
{
    Post(ECommand::AllNotesOff);
    return noErr;
}
