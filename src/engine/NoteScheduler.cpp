#include "engine/NoteScheduler.h"

#include <cstdint>

namespace
{
// trunc(pitch) as an instance ID. Pitches come from MIDI note numbers, but the conversion of a
// float outside the range of UInt32 (or of a NaN) is undefined, so those saturate instead.
NoteInstanceID TruncatedPitch(Float32 pitch)
{
    constexpr Float32 kAboveMax = 4294967296.0f; // 2^32
    if (!(pitch > 0.0f)) return 0;
    if (pitch >= kAboveMax) return UINT32_MAX;
    return static_cast<NoteInstanceID>(pitch);
}
} // namespace

bool NoteScheduler::QueueExtendedNoteOn(MusicDeviceInstrumentID inInstrument,
                                        MusicDeviceGroupID inGroupID,
                                        NoteInstanceID* outNoteInstanceID,
                                        UInt32 inOffsetSampleFrame,
                                        const MusicDeviceNoteParams& inParams)
{
    Event event;
    event.instrument = inInstrument;
    event.group = inGroupID;
    event.offset = inOffsetSampleFrame;
    event.pitch = inParams.mPitch;
    event.velocity = inParams.mVelocity;
    event.noteInstanceID = TruncatedPitch(inParams.mPitch);
    event.type = kEventNoteOn;
    if (outNoteInstanceID != nullptr) *outNoteInstanceID = event.noteInstanceID;
    return mEvents.TryPush(event);
}

bool NoteScheduler::QueueExtendedNoteOff(MusicDeviceGroupID inGroupID,
                                         NoteInstanceID inNoteInstanceID,
                                         UInt32 inOffsetSampleFrame)
{
    Event event;
    event.group = inGroupID;
    event.offset = inOffsetSampleFrame;
    event.noteInstanceID = inNoteInstanceID;
    event.type = kEventNoteOff;
    return mEvents.TryPush(event);
}

void NoteScheduler::ScheduleQueuedEvents(UInt32 untilFrame)
{
    while (Event* event = mEvents.Front())
    {
        if (event->type == kEventEmpty || untilFrame < event->offset) return;
        if (event->type == kEventNoteOn)
        {
            MusicDeviceNoteParams params;
            params.argCount = 2;
            params.mPitch = event->pitch;
            params.mVelocity = event->velocity;
            NoteInstanceID scratch = 0;
            ExtendedNoteOn(event->instrument, event->group, &scratch, event->offset, params);
        }
        else
        {
            ExtendedNoteOff(event->group, event->noteInstanceID, event->offset);
        }
        // Cleared before the read index moves past it: Pop stores that index with release.
        event->type = kEventEmpty;
        mEvents.Pop();
    }
}
