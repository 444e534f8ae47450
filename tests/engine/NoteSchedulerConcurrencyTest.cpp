// The MIDI thread queues notes while the render thread delivers them. Every event carries its
// sequence number in all of its fields, so a lost, repeated or torn event shows as a mismatch
// (and as a data race under ThreadSanitizer).

#include "engine/NoteScheduler.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace
{
constexpr UInt32 kEvents = 40000;

struct Note
{
    bool on;
    UInt32 id, group, offset; // id: the instrument of a note on, the instance of a note off
    Float32 velocity;
    bool operator==(const Note&) const = default;
};

class RecordingScheduler : public NoteScheduler
{
public:
    std::vector<Note> notes;

protected:
    OSStatus ExtendedNoteOn(MusicDeviceInstrumentID instrument, MusicDeviceGroupID group,
                            NoteInstanceID*, UInt32 offset,
                            const MusicDeviceNoteParams& params) override
    {
        notes.push_back({true, instrument, group, offset, params.mVelocity});
        return noErr;
    }
    OSStatus ExtendedNoteOff(MusicDeviceGroupID group, NoteInstanceID id, UInt32 offset) override
    {
        notes.push_back({false, id, group, offset, 0});
        return noErr;
    }
};
} // namespace

TEST(NoteSchedulerConcurrency, NothingLostRepeatedOrTorn)
{
    std::vector<Note> expected;
    for (UInt32 i = 0; i < kEvents; ++i) // the velocity is exact in a float below 2^24
        expected.push_back({i % 2 == 0, i, ~i, i ^ 0x5555u, i % 2 == 0 ? Float32(i) : 0});
    RecordingScheduler scheduler;
    std::thread producer(
        [&]
        {
            for (UInt32 i = 0; i < kEvents; ++i)
            {
                const Note& n = expected[i];
                MusicDeviceNoteParams params;
                params.mPitch = Float32(i % 128);
                params.mVelocity = n.velocity;
                while (n.on ? !scheduler.QueueExtendedNoteOn(i, n.group, nullptr, n.offset, params)
                            : !scheduler.QueueExtendedNoteOff(n.group, i, n.offset))
                    std::this_thread::yield();
            }
        });
    while (scheduler.notes.size() < kEvents)
    {
        scheduler.ScheduleQueuedEvents(0xFFFFFFFFu);
        std::this_thread::yield();
    }
    producer.join();
    EXPECT_TRUE(scheduler.notes == expected);
}
