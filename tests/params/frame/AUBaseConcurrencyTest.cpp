// The render thread renders, announces a property and asks the host's callbacks while another
// thread changes parameters, listeners, render notifications, host callbacks, the input
// source and the bypass flag. Under ThreadSanitizer this must show no data race.

#include "HostHarness.h"

#include <atomic>
#include <thread>

namespace
{
void Listener(void*, AudioUnit, AudioUnitPropertyID, AudioUnitScope, AudioUnitElement) {}

OSStatus Beat(void* host, Float64* beat, Float64* tempo)
{
    *beat = *static_cast<const Float64*>(host);
    *tempo = 120;
    return noErr;
}

// An input source, and a render notification that writes over what it is shown.
OSStatus Ones(void*, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32 frames,
              AudioBufferList* data)
{
    for (UInt32 c = 0; c < data->mNumberBuffers; ++c)
        for (UInt32 i = 0; i < frames; ++i)
            static_cast<Float32*>(data->mBuffers[c].mData)[i] = 1;
    return noErr;
}
} // namespace

TEST(AUBaseConcurrency, RenderWhileTheHostChangesThings)
{
    OpenUnit unit;
    ASSERT_EQ(noErr, AudioUnitInitialize(unit));
    constexpr AudioUnitPropertyID kAnnounced = 64002;
    Float64 hostBeats[2] = {1.0, 2.0};
    std::atomic<bool> stop{false};
    std::thread render(
        [&]
        {
            StereoBuffers out(32);
            for (Float64 sampleTime = 0; !stop.load(); sampleTime += 32)
            {
                for (UInt32 bus = 0; bus < TestPlugin::kOutputBuses; ++bus)
                    EXPECT_EQ(noErr, Render(unit, sampleTime, bus, 32, out.list));
                unit.plugin().PropertyChanged(kAnnounced, kAudioUnitScope_Global, 0);
                Float64 beat = 0, tempo = 0;
                if (unit.plugin().CallHostBeatAndTempo(&beat, &tempo) == noErr)
                {
                    EXPECT_TRUE(beat == 1.0 || beat == 2.0); // never a mix of two host records
                }
                AudioUnitParameterValue value = -1;
                AudioUnitGetParameter(unit, 0, kAudioUnitScope_Global, 0, &value);
                EXPECT_GE(value, 0.0f);
                (void)unit.plugin().ShouldBypassEffect();
            }
        });
    for (int i = 0; i < 300; ++i)
    {
        AudioUnitSetParameter(unit, 0, kAudioUnitScope_Global, 0, static_cast<Float32>(i), 0);
        AudioUnitAddPropertyListener(unit, kAnnounced, Listener, nullptr);
        AudioUnitAddRenderNotify(unit, Ones, nullptr);
        SetGlobal(unit, kAudioUnitProperty_HostCallbacks,
                  HostCallbackInfo{&hostBeats[i % 2], Beat, nullptr, nullptr});
        const AURenderCallbackStruct input{i % 2 == 0 ? Ones : nullptr, nullptr};
        AudioUnitSetProperty(unit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0,
                             &input, sizeof(input));
        SetGlobal(unit, kAudioUnitProperty_BypassEffect, UInt32(i % 2));
        std::this_thread::yield();
        AudioUnitRemovePropertyListener(unit, kAnnounced, Listener);
        AudioUnitRemoveRenderNotify(unit, Ones, nullptr);
    }
    stop = true;
    render.join();
    AudioUnitParameterValue last = 0;
    AudioUnitGetParameter(unit, 0, kAudioUnitScope_Global, 0, &last);
    EXPECT_EQ(299.0f, last);
}
