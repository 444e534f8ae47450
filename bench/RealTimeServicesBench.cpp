// The render-thread side of two hand-offs: delivering queued notes (once per 16-frame
// sub-block) and sending a feedback note pair on the virtual MIDI source.
#include "engine/NoteScheduler.h"
#include "platform/CoreMIDI.h"
#include "platform/MIDIBackend.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace
{
class CountingScheduler final : public NoteScheduler
{
public:
    UInt32 delivered = 0;

protected:
    OSStatus ExtendedNoteOn(MusicDeviceInstrumentID, MusicDeviceGroupID, NoteInstanceID*, UInt32,
                            const MusicDeviceNoteParams&) override
    {
        ++delivered;
        return noErr;
    }
    OSStatus ExtendedNoteOff(MusicDeviceGroupID, NoteInstanceID, UInt32) override
    {
        ++delivered;
        return noErr;
    }
};

// A backend that only hands out its ring; the benchmark drains it itself.
class RingBackend final : public MIDIBackend
{
public:
    MIDIPacketRing* ring = nullptr;
    OSStatus CreateClient(MIDIClientRef, const std::string&) override { return noErr; }
    OSStatus CreateSource(MIDIClientRef, MIDIEndpointRef, const std::string&,
                          MIDIPacketRing& packets) override
    {
        ring = &packets;
        return noErr;
    }
    void DisposeSource(MIDIEndpointRef) override {}
    void DisposeClient(MIDIClientRef) override {}
};

// A 256-frame buffer with 8 note events: queued, then delivered over its 16 sub-blocks.
void BM_NoteSchedulerBuffer(benchmark::State& state)
{
    auto scheduler = std::make_unique<CountingScheduler>();
    MusicDeviceNoteParams params;
    params.mPitch = 60;
    params.mVelocity = 100;
    for (auto _ : state)
    {
        for (UInt32 i = 0; i < 8; ++i)
            if (i % 2 == 0)
                scheduler->QueueExtendedNoteOn(0, 0, nullptr, i * 32, params);
            else
                scheduler->QueueExtendedNoteOff(0, 60, i * 32);
        for (UInt32 end = 16; end <= 256; end += 16)
            scheduler->ScheduleQueuedEvents(end);
    }
    benchmark::DoNotOptimize(scheduler->delivered);
}
BENCHMARK(BM_NoteSchedulerBuffer);

// One haptic pair: note on now and note off 50 ms later, each in its own packet list, with
// the clock read the sender makes.
void BM_MIDIReceivedFeedbackPair(benchmark::State& state)
{
    auto backend = std::make_shared<RingBackend>();
    MIDIInstallBackend(backend);
    MIDIClientRef client = 0;
    MIDIEndpointRef source = 0;
    MIDIClientCreate("Tovarine", nullptr, nullptr, &client);
    MIDISourceCreate(client, "Tovarine", &source);
    const Byte on[3] = {0x90, 60, 100};
    const Byte off[3] = {0x80, 60, 100};
    MIDIPacket drained;
    for (auto _ : state)
    {
        const MIDITimeStamp now = AudioGetCurrentHostTime();
        for (const auto& [bytes, time] :
             {std::pair{on, now}, std::pair{off, now + AudioConvertNanosToHostTime(50'000'000)}})
        {
            MIDIPacketList list;
            MIDIPacket* packet = MIDIPacketListInit(&list);
            MIDIPacketListAdd(&list, sizeof list, packet, time, 3, bytes);
            benchmark::DoNotOptimize(MIDIReceived(source, &list));
        }
        // The consumer's two pops, so the ring never fills (pausing the timer costs more).
        while (backend->ring->TryPop(drained))
        {
        }
    }
    MIDIClientDispose(client);
    MIDIInstallBackend(nullptr);
}
BENCHMARK(BM_MIDIReceivedFeedbackPair);
} // namespace
