#pragma once
// What the frame tests share: an instance that closes itself, and stereo buffers to render into.

#include "TestPlugin.h"
#include "platform/MusicDevice.h"

#include <gtest/gtest.h>

#include <vector>

struct OpenUnit
{
    OpenUnit() { EXPECT_EQ(noErr, AudioComponentInstanceNew(&kTestPluginRegistration, &unit)); }
    ~OpenUnit() { AudioComponentInstanceDispose(unit); }
    operator AudioUnit() const { return unit; }
    TestPlugin& plugin() const { return *static_cast<TestPlugin*>(unit->storage); }
    AudioUnit unit = nullptr;
};

// Two channels of host memory filled with -9, and the list that points at them.
struct StereoBuffers
{
    explicit StereoBuffers(UInt32 frames) : left(frames, -9.0f), right(frames, -9.0f)
    {
        list.mNumberBuffers = 2;
        list.mBuffers[0] = {1, frames * UInt32(sizeof(Float32)), left.data()};
        list.mBuffers[1] = {1, frames * UInt32(sizeof(Float32)), right.data()};
    }
    std::vector<Float32> left, right;
    AudioBufferList list;
};

inline OSStatus Render(AudioUnit unit, Float64 sampleTime, UInt32 bus, UInt32 frames,
                       AudioBufferList& list)
{
    AudioUnitRenderActionFlags flags = 0;
    AudioTimeStamp ts;
    ts.mSampleTime = sampleTime;
    ts.mFlags = kAudioTimeStampSampleTimeValid;
    return AudioUnitRender(unit, &flags, &ts, bus, frames, &list);
}

template <class T> OSStatus SetGlobal(AudioUnit unit, AudioUnitPropertyID id, const T& value)
{
    return AudioUnitSetProperty(unit, id, kAudioUnitScope_Global, 0, &value, sizeof(T));
}
