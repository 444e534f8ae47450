// CTova: notes delivered by the note scheduler. For now every note plays its key in step with
// "Playback Sync"; recording, erasing, copying and legato by note come with the MIDI handling.

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
