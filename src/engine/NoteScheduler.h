#pragma once
// Carries notes from the thread that delivers MIDI to the render thread: the MIDI handlers
// queue extended note ons and offs with their frame offsets, and the render cycle delivers
// them, in the order they were queued, once their offset has been reached. The engine derives
// from this class and receives the notes through the two pure virtual operations.

#include "platform/MusicDeviceTypes.h"
#include "platform/SPSCRing.h"

class NoteScheduler
{
public:
    // The ring has 512 entries and so holds at most 511 events.
    static constexpr UInt32 kRingSize = 512;

    NoteScheduler() = default;
    virtual ~NoteScheduler() = default;
    NoteScheduler(const NoteScheduler&) = delete;
    NoteScheduler& operator=(const NoteScheduler&) = delete;

    // [midi] Queues a note on. The note instance ID handed back through outNoteInstanceID
    // (when not null) is trunc(pitch). False when the ring is full: the note is dropped.
    bool QueueExtendedNoteOn(MusicDeviceInstrumentID inInstrument, MusicDeviceGroupID inGroupID,
                             NoteInstanceID* outNoteInstanceID, UInt32 inOffsetSampleFrame,
                             const MusicDeviceNoteParams& inParams);
    // [midi] Queues a note off. False when the ring is full: the note is dropped.
    bool QueueExtendedNoteOff(MusicDeviceGroupID inGroupID, NoteInstanceID inNoteInstanceID,
                              UInt32 inOffsetSampleFrame);

    // [render] Delivers queued events in queue order while their offset is at most
    // untilFrame. An event with a later offset holds back everything queued after it.
    void ScheduleQueuedEvents(UInt32 untilFrame);

protected:
    // [render] A queued note on has come due.
    virtual OSStatus ExtendedNoteOn(MusicDeviceInstrumentID inInstrument,
                                    MusicDeviceGroupID inGroupID, NoteInstanceID* outNoteInstanceID,
                                    UInt32 inOffsetSampleFrame,
                                    const MusicDeviceNoteParams& inParams) = 0;
    // [render] A queued note off has come due.
    virtual OSStatus ExtendedNoteOff(MusicDeviceGroupID inGroupID, NoteInstanceID inNoteInstanceID,
                                     UInt32 inOffsetSampleFrame) = 0;

private:
    enum EventType : UInt32
    {
        kEventEmpty = 0, // never queued, or already delivered
        kEventNoteOn = 1,
        kEventNoteOff = 2
    };

    // Seven 32-bit words, in this order.
    struct Event
    {
        UInt32 instrument = 0;
        UInt32 group = 0;
        UInt32 offset = 0;
        Float32 pitch = 0;
        Float32 velocity = 0;
        UInt32 noteInstanceID = 0;
        UInt32 type = kEventEmpty;
    };
    static_assert(sizeof(Event) == 7 * sizeof(UInt32));

    SPSCRing<Event, kRingSize> mEvents;
};
