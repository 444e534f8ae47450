#include "RecordingScheduler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

namespace
{
MusicDeviceNoteParams Params(Float32 pitch, Float32 velocity)
{
    MusicDeviceNoteParams params;
    params.mPitch = pitch;
    params.mVelocity = velocity;
    return params;
}
} // namespace

TEST(NoteScheduler, RingHolds511EventsAndDropsThe512th)
{
    RecordingScheduler scheduler;
    for (UInt32 i = 0; i < 511; ++i)
    {
        SCOPED_TRACE(i);
        ASSERT_TRUE(scheduler.QueueExtendedNoteOff(0, i, 0));
    }
    EXPECT_FALSE(scheduler.QueueExtendedNoteOff(0, 511, 0));
    EXPECT_FALSE(scheduler.QueueExtendedNoteOn(0, 0, nullptr, 0, Params(60, 100)));

    scheduler.ScheduleQueuedEvents(0);
    ASSERT_EQ(scheduler.Notes().size(), 511u);
    for (UInt32 i = 0; i < 511; ++i)
        EXPECT_EQ(scheduler.Notes()[i].noteInstanceID, i);

    // Delivery frees the entries: the ring takes a full load again, across the wrap.
    for (UInt32 i = 0; i < 511; ++i)
        ASSERT_TRUE(scheduler.QueueExtendedNoteOff(0, 1000 + i, 0));
    EXPECT_FALSE(scheduler.QueueExtendedNoteOff(0, 0, 0));
    scheduler.ScheduleQueuedEvents(0);
    ASSERT_EQ(scheduler.Notes().size(), 1022u);
    EXPECT_EQ(scheduler.Notes()[511].noteInstanceID, 1000u);
    EXPECT_EQ(scheduler.Notes()[1021].noteInstanceID, 1510u);
}

TEST(NoteScheduler, OffsetsCompareUnsignedAndALaterOneHoldsBackWhatFollows)
{
    // A 64-frame buffer in sub-blocks of 16 frames: delivery is asked up to 16, 32, 48, 64.
    RecordingScheduler scheduler;
    ASSERT_TRUE(scheduler.QueueExtendedNoteOn(0, 0, nullptr, 40, Params(60, 100)));
    ASSERT_TRUE(scheduler.QueueExtendedNoteOn(0, 0, nullptr, 10, Params(62, 100)));

    scheduler.ScheduleQueuedEvents(16);
    scheduler.ScheduleQueuedEvents(32);
    EXPECT_TRUE(scheduler.Notes().empty()) << "offset 10 waits behind offset 40";

    scheduler.ScheduleQueuedEvents(48);
    ASSERT_EQ(scheduler.Notes().size(), 2u);
    EXPECT_EQ(scheduler.Notes()[0].offset, 40u);
    EXPECT_EQ(scheduler.Notes()[0].pitch, 60.0f);
    EXPECT_EQ(scheduler.Notes()[1].offset, 10u);
    EXPECT_EQ(scheduler.Notes()[1].pitch, 62.0f);

    scheduler.ScheduleQueuedEvents(64);
    EXPECT_EQ(scheduler.Notes().size(), 2u) << "each event is delivered once";

    // An offset equal to the frame delivered up to is due.
    RecordingScheduler due;
    ASSERT_TRUE(due.QueueExtendedNoteOff(0, 60, 16));
    due.ScheduleQueuedEvents(15);
    EXPECT_TRUE(due.Notes().empty());
    due.ScheduleQueuedEvents(16);
    EXPECT_EQ(due.Notes().size(), 1u);

    // 0xFFFFFFFF is -1 as a signed offset, which a signed comparison would find due at once.
    RecordingScheduler late;
    ASSERT_TRUE(late.QueueExtendedNoteOff(0, 60, 0xFFFFFFFFu));
    late.ScheduleQueuedEvents(2048);
    EXPECT_TRUE(late.Notes().empty());
    late.ScheduleQueuedEvents(0xFFFFFFFFu);
    EXPECT_EQ(late.Notes().size(), 1u);
}

TEST(NoteScheduler, DeliversEveryFieldInQueueOrder)
{
    RecordingScheduler scheduler;
    ASSERT_TRUE(scheduler.QueueExtendedNoteOn(3, 9, nullptr, 5, Params(64.0f, 127.0f)));
    ASSERT_TRUE(scheduler.QueueExtendedNoteOff(9, 64, 7));
    ASSERT_TRUE(scheduler.QueueExtendedNoteOn(0, 1, nullptr, 7, Params(48.0f, 1.0f)));
    scheduler.ScheduleQueuedEvents(16);

    const auto& notes = scheduler.Notes();
    ASSERT_EQ(notes.size(), 3u);
    {
        SCOPED_TRACE("note on");
        EXPECT_TRUE(notes[0].on);
        EXPECT_EQ(notes[0].instrument, 3u);
        EXPECT_EQ(notes[0].group, 9u);
        EXPECT_EQ(notes[0].offset, 5u);
        EXPECT_EQ(notes[0].argCount, 2u);
        EXPECT_EQ(notes[0].pitch, 64.0f);
        EXPECT_EQ(notes[0].velocity, 127.0f);
    }
    {
        SCOPED_TRACE("note off");
        EXPECT_FALSE(notes[1].on);
        EXPECT_EQ(notes[1].group, 9u);
        EXPECT_EQ(notes[1].noteInstanceID, 64u);
        EXPECT_EQ(notes[1].offset, 7u);
    }
    {
        SCOPED_TRACE("second note on");
        EXPECT_TRUE(notes[2].on);
        EXPECT_EQ(notes[2].group, 1u);
        EXPECT_EQ(notes[2].pitch, 48.0f);
        EXPECT_EQ(notes[2].velocity, 1.0f);
    }
}

TEST(NoteScheduler, NoteInstanceIDIsTruncatedPitch)
{
    struct Case
    {
        Float32 pitch;
        NoteInstanceID expected;
    };
    const Case cases[] = {
        {60.0f, 60},
        {60.9f, 60},
        {0.5f, 0},
        {127.0f, 127},
        {127.99f, 127},
        // Beyond what a MIDI note gives: saturated instead of an undefined conversion.
        {-1.0f, 0},
        {std::numeric_limits<Float32>::quiet_NaN(), 0},
        {1e10f, UINT32_MAX},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.pitch);
        RecordingScheduler scheduler;
        NoteInstanceID id = 12345;
        ASSERT_TRUE(scheduler.QueueExtendedNoteOn(0, 0, &id, 0, Params(c.pitch, 100)));
        EXPECT_EQ(id, c.expected);
    }
    RecordingScheduler scheduler;
    NoteInstanceID id = 12345;
    for (int i = 0; i < 511; ++i)
        scheduler.QueueExtendedNoteOff(0, 0, 0);
    EXPECT_FALSE(scheduler.QueueExtendedNoteOn(0, 0, &id, 0, Params(72.5f, 100)));
    EXPECT_EQ(id, 72u) << "the ID is handed back even when the ring drops the note";
}
