// What the JACK client does on the render thread must not touch the heap: the transport clock,
// MIDI into Tova with the recording watch, the render calls, and the feedback notes on their
// way out.

#include "engine/CTovaEntry.h"
#include "hosts/jack/FeedbackQueue.h"
#include "hosts/jack/JackTransportClock.h"
#include "hosts/jack/LiveHost.h"
#include "hosts/jack/RecordingKeyWatch.h"
#include "hosts/jack/TimebaseMaster.h"
#include "support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

TEST(JackRenderThread, AllocatesNothing)
{
    AudioUnit unit = nullptr;
    ASSERT_EQ(noErr, AudioComponentInstanceNew(&kTovaRegistration, &unit));
    JackTransportClock clock;
    const TimebaseMaster master(120, 4);
    RecordingKeyWatch watch;
    FeedbackQueue feedback;
    MIDIPacketRing tap;
    LiveHost host(unit, 4, clock.Callbacks());
    std::string error;
    ASSERT_TRUE(host.Configure(48000, 256, error)) << error;
    ASSERT_EQ(noErr, AudioUnitSetParameter(unit, 4, kAudioUnitScope_Global, 0, 1, 0));

    std::vector<float> in(256, 0.25f);
    std::vector<std::vector<float>> out(8, std::vector<float>(256));
    std::array<float*, 8> outputs{};
    for (std::size_t i = 0; i < 8; ++i)
        outputs[i] = out[i].data();
    jack_position_t position{};
    position.frame_rate = 48000;
    MIDIPacket note{};
    note.length = 3;
    note.data[0] = 0x90;
    note.data[1] = 48;
    note.data[2] = 100;
    int allocations = -1;
    for (int n = 0; n < 400; ++n)
    {
        // The first 50 cycles warm up, uncounted.
        std::optional<AllocationCounter> counter;
        if (n >= 50) counter.emplace();
        if (n % 10 == 0) tap.TryPush(note);
        master.Fill(position);
        clock.Update(JackTransportRolling, position);
        position.frame += 256;
        const LiveHost::Cycle admitted(host, 256);
        ASSERT_TRUE(admitted);
        const auto key = static_cast<UInt8>(60 + n % 5);
        const UInt8 status = n % 7 < 4 ? 0x90 : 0x80;
        AudioUnitParameterValue recording = 0; // as the client reads it for every message
        AudioUnitGetParameter(unit, 4, kAudioUnitScope_Global, 0, &recording);
        watch.Message(status, key, 100, recording > 0.1f);
        host.Midi(status, key, 100, static_cast<UInt32>(n % 256));
        host.Midi(0xB0, 7, static_cast<UInt8>(n % 128), 3);
        host.Render(256, in.data(), in.data(), outputs.data());
        feedback.Collect(tap);
        feedback.SendDue(
            static_cast<MIDITimeStamp>(n), [](void*, const Byte*, std::size_t) { return true; },
            nullptr);
        if (counter) allocations = std::max(allocations, counter->Count());
    }
    EXPECT_EQ(0, allocations);
    AudioComponentInstanceDispose(unit);
}
