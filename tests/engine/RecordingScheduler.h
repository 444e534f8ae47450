#pragma once
// A NoteScheduler that writes down every note it is handed, in order.

#include "engine/NoteScheduler.h"

#include <vector>

class RecordingScheduler : public NoteScheduler
{
public:
    struct Note
    {
        bool on = false;
        MusicDeviceInstrumentID instrument = 0;
        MusicDeviceGroupID group = 0;
        NoteInstanceID noteInstanceID = 0; // note offs only
        UInt32 offset = 0;
        UInt32 argCount = 0; // note ons only
        Float32 pitch = 0;
        Float32 velocity = 0;
    };

    explicit RecordingScheduler(std::size_t expected = 0) { mNotes.reserve(expected); }

    std::vector<Note>& Notes() { return mNotes; }

protected:
    OSStatus ExtendedNoteOn(MusicDeviceInstrumentID inInstrument, MusicDeviceGroupID inGroupID,
                            NoteInstanceID*, UInt32 inOffsetSampleFrame,
                            const MusicDeviceNoteParams& inParams) override
    {
        mNotes.push_back(Note{true, inInstrument, inGroupID, 0, inOffsetSampleFrame,
                              inParams.argCount, inParams.mPitch, inParams.mVelocity});
        return noErr;
    }
    OSStatus ExtendedNoteOff(MusicDeviceGroupID inGroupID, NoteInstanceID inNoteInstanceID,
                             UInt32 inOffsetSampleFrame) override
    {
        mNotes.push_back(Note{false, 0, inGroupID, inNoteInstanceID, inOffsetSampleFrame, 0, 0, 0});
        return noErr;
    }

private:
    std::vector<Note> mNotes;
};
