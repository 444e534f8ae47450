// One thread queues while another delivers, as the MIDI and render threads do. Every event
// carries its sequence number in all of its fields, so a lost, repeated or half-written event
// shows up as a mismatch (and as a data race under ThreadSanitizer).
#include "RecordingScheduler.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace
{
constexpr UInt32 kEvents = 40000;

UInt32 GroupOf(UInt32 i)
{
    return ~i;
}
UInt32 OffsetOf(UInt32 i)
{
    return i ^ 0x5555u;
}
// Exactly representable in a float: below 2^24.
Float32 PitchOf(UInt32 i)
{
    return Float32(i % 128);
}
Float32 VelocityOf(UInt32 i)
{
    return Float32(i);
}
} // namespace

TEST(NoteSchedulerConcurrency, NothingLostRepeatedOrTorn)
{
    RecordingScheduler scheduler(kEvents);
    std::thread producer(
        [&]
        {
            for (UInt32 i = 0; i < kEvents; ++i)
            {
                MusicDeviceNoteParams params;
                params.mPitch = PitchOf(i);
                params.mVelocity = VelocityOf(i);
                if (i % 2 == 0)
                    while (
                        !scheduler.QueueExtendedNoteOn(i, GroupOf(i), nullptr, OffsetOf(i), params))
                        std::this_thread::yield();
                else
                    while (!scheduler.QueueExtendedNoteOff(GroupOf(i), i, OffsetOf(i)))
                        std::this_thread::yield();
            }
        });
    while (scheduler.Notes().size() < kEvents)
    {
        scheduler.ScheduleQueuedEvents(0xFFFFFFFFu);
        std::this_thread::yield();
    }
    producer.join();
    scheduler.ScheduleQueuedEvents(0xFFFFFFFFu);

    const auto& notes = scheduler.Notes();
    ASSERT_EQ(notes.size(), kEvents);
    UInt32 mismatches = 0;
    for (UInt32 i = 0; i < kEvents; ++i)
    {
        const auto& n = notes[i];
        const bool ok =
            n.on == (i % 2 == 0) && n.group == GroupOf(i) && n.offset == OffsetOf(i) &&
            (n.on ? n.instrument == i && n.pitch == PitchOf(i) && n.velocity == VelocityOf(i)
                  : n.noteInstanceID == i);
        if (!ok && ++mismatches <= 5) ADD_FAILURE() << "event " << i << " differs";
    }
    EXPECT_EQ(mismatches, 0u);
}
