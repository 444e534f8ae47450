// What a plug-in does on its render thread through the frame and the parameter-listener
// service must not touch the heap: posting notifications, reading and setting parameters,
// announcing property changes, asking the host's callbacks, mapping values and rendering.
// The program counts allocations meanwhile with the allocation counter.

#include "CurvePlugin.h"
#include "params/frame/TestPlugin.h"

#include "platform/AudioUnitUtilities.h"
#include "platform/MusicDevice.h"
#include "support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
void Ignore(void*, void*, const AudioUnitParameter*, AudioUnitParameterValue) {}
void IgnoreProperty(void*, AudioUnit, AudioUnitPropertyID, AudioUnitScope, AudioUnitElement) {}
OSStatus IgnoreRender(void*, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32,
                      AudioBufferList*)
{
    return noErr;
}
OSStatus Beat(void*, Float64* beat, Float64* tempo)
{
    *beat = 1;
    *tempo = 120;
    return noErr;
}
OSStatus Silence(void*, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32 frames,
                 AudioBufferList* data)
{
    for (UInt32 c = 0; c < data->mNumberBuffers; ++c)
        for (UInt32 i = 0; i < frames; ++i)
            static_cast<Float32*>(data->mBuffers[c].mData)[i] = 0;
    return noErr;
}
} // namespace

TEST(NoAllocation, PostingNotificationsAndMappingValues)
{
    AudioUnit unit = nullptr;
    ASSERT_EQ(noErr, AudioComponentInstanceNew(&kCurvePluginRegistration, &unit));
    AUParameterListenerRef listener = nullptr;
    ASSERT_EQ(noErr, AUListenerCreate(Ignore, nullptr, &listener));
    const AudioUnitParameter p{unit, kLinear10, kAudioUnitScope_Global, 0};
    ASSERT_EQ(noErr, AUListenerAddParameter(listener, nullptr, &p));
    {
        AllocationCounter counter;
        for (int i = 0; i < 100; ++i)
        {
            AUParameterSet(nullptr, nullptr, &p, static_cast<Float32>(i % 10), 0);
            AUParameterListenerNotify(nullptr, nullptr, &p);
            AUParameterValueFromLinear(AUParameterValueToLinear(3.0f, &p), &p);
        }
        EXPECT_EQ(0, counter.Count());
    }
    EXPECT_EQ(200u, AUListenerDispatchPending());
    AUListenerDispose(listener);
    AudioComponentInstanceDispose(unit);
}

TEST(NoAllocation, TheFramesRenderThreadWork)
{
    AudioUnit unit = nullptr;
    ASSERT_EQ(noErr, AudioComponentInstanceNew(&kTestPluginRegistration, &unit));
    TestPlugin& plugin = PluginOf(unit);
    const HostCallbackInfo host{nullptr, Beat, nullptr, nullptr};
    ASSERT_EQ(noErr, AudioUnitSetProperty(unit, kAudioUnitProperty_HostCallbacks,
                                          kAudioUnitScope_Global, 0, &host, sizeof(host)));
    const AURenderCallbackStruct input{Silence, nullptr};
    ASSERT_EQ(noErr, AudioUnitSetProperty(unit, kAudioUnitProperty_SetRenderCallback,
                                          kAudioUnitScope_Input, 0, &input, sizeof(input)));
    ASSERT_EQ(noErr, AudioUnitAddPropertyListener(unit, TestPlugin::kAnnouncedProperty,
                                                  IgnoreProperty, nullptr));
    ASSERT_EQ(noErr, AudioUnitAddRenderNotify(unit, IgnoreRender, nullptr));
    ASSERT_EQ(noErr, AudioUnitInitialize(unit));
    plugin.mNewCycles.reserve(1000);
    plugin.mSetCalls.reserve(1000);
    plugin.mEvents.reserve(1000);
    std::vector<Float32> left(64);
    std::vector<Float32> right(64);
    AudioUnitParameterEvent ramp;
    ramp.eventType = kParameterEvent_Ramped;
    {
        AllocationCounter counter;
        for (int cycle = 0; cycle < 20; ++cycle)
        {
            const AudioTimeStamp ts{64.0 * cycle, 0, 0, 0, {}, kAudioTimeStampSampleTimeValid, 0};
            for (UInt32 bus = 0; bus < TestPlugin::kOutputBuses; ++bus)
            {
                AudioBufferList list;
                list.mNumberBuffers = 2;
                list.mBuffers[0] = {1, 64 * sizeof(Float32), bus == 2 ? nullptr : left.data()};
                list.mBuffers[1] = {1, 64 * sizeof(Float32), bus == 2 ? nullptr : right.data()};
                AudioUnitRenderActionFlags flags = 0;
                EXPECT_EQ(noErr, AudioUnitRender(unit, &flags, &ts, bus, 64, &list));
            }
            AudioUnitParameterValue value = 0;
            AudioUnitGetParameter(unit, 1, kAudioUnitScope_Global, 0, &value);
            AudioUnitSetParameter(unit, 1, kAudioUnitScope_Global, 0, value + 1, 0);
            AudioUnitScheduleParameters(unit, &ramp, 1);
            MusicDeviceMIDIEvent(unit, 0x90, 60, 100, 0);
            plugin.PropertyChanged(TestPlugin::kAnnouncedProperty, kAudioUnitScope_Global, 0);
            Float64 beat = 0;
            Float64 tempo = 0;
            plugin.CallHostBeatAndTempo(&beat, &tempo);
        }
        EXPECT_EQ(0, counter.Count());
    }
    AudioComponentInstanceDispose(unit);
}
