// The render thread keeps rendering, announcing a property and asking the host's callbacks
// while another thread changes parameters, listeners, render notifications, host callbacks
// and the input source. Under ThreadSanitizer this must show no data race.

#include "HostHarness.h"

#include <atomic>
#include <thread>

namespace
{

std::atomic<int> gListenerCalls{0};
std::atomic<int> gNotifications{0};

void CountListener(void*, AudioUnit, AudioUnitPropertyID, AudioUnitScope, AudioUnitElement)
{
    gListenerCalls.fetch_add(1, std::memory_order_relaxed);
}

OSStatus CountNotification(void*, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32,
                           UInt32, AudioBufferList*)
{
    gNotifications.fetch_add(1, std::memory_order_relaxed);
    return noErr;
}

OSStatus Beat(void* host, Float64* beat, Float64* tempo)
{
    *beat = *static_cast<const Float64*>(host);
    *tempo = 120;
    return noErr;
}

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
    TestPlugin& plugin = unit.plugin();
    const Float64 hostBeats[2] = {1.0, 2.0};
    std::atomic<bool> stop{false};
    int bypassed = 0;

    std::thread render(
        [&]
        {
            StereoBuffers out(32);
            Float64 sampleTime = 0;
            while (!stop.load())
            {
                for (UInt32 bus = 0; bus < TestPlugin::kOutputBuses; ++bus)
                    EXPECT_EQ(noErr, Render(unit, sampleTime, bus, 32, out.list));
                sampleTime += 32;
                plugin.PropertyChanged(TestPlugin::kAnnouncedProperty, kAudioUnitScope_Global, 0);
                Float64 beat = 0;
                Float64 tempo = 0;
                if (plugin.CallHostBeatAndTempo(&beat, &tempo) == noErr)
                {
                    EXPECT_TRUE(beat == 1.0 || beat == 2.0); // never a mix of two host records
                }
                AudioUnitParameterValue value = 0;
                EXPECT_EQ(noErr, AudioUnitGetParameter(unit, 0, kAudioUnitScope_Global, 0, &value));
                bypassed += plugin.ShouldBypassEffect() ? 1 : 0;
            }
        });

    for (int i = 0; i < 300; ++i)
    {
        AudioUnitSetParameter(unit, 0, kAudioUnitScope_Global, 0, static_cast<Float32>(i), 0);
        AudioUnitAddPropertyListener(unit, TestPlugin::kAnnouncedProperty, CountListener, nullptr);
        AudioUnitAddRenderNotify(unit, CountNotification, nullptr);
        const HostCallbackInfo host{const_cast<Float64*>(&hostBeats[i % 2]), Beat, nullptr,
                                    nullptr};
        SetGlobal(unit, kAudioUnitProperty_HostCallbacks, host);
        const AURenderCallbackStruct input{i % 2 == 0 ? Ones : nullptr, nullptr};
        AudioUnitSetProperty(unit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0,
                             &input, sizeof(input));
        SetGlobal(unit, kAudioUnitProperty_BypassEffect, UInt32(i % 2));
        std::this_thread::yield();
        AudioUnitRemovePropertyListener(unit, TestPlugin::kAnnouncedProperty, CountListener);
        AudioUnitRemoveRenderNotify(unit, CountNotification, nullptr);
    }
    stop = true;
    render.join();
    EXPECT_EQ(299.0f, ParameterValue(unit, 0));
    RecordProperty("renders that saw the bypass flag on", bypassed);
}
