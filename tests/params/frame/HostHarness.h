#pragma once
// What the frame tests share: an open instance that closes itself, and stereo buffers to
// render into.

#include "params/frame/TestPlugin.h"
#include "platform/MusicDevice.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

class OpenUnit
{
public:
    explicit OpenUnit(const AudioComponentRegistration& registration = kTestPluginRegistration)
    {
        EXPECT_EQ(noErr, AudioComponentInstanceNew(&registration, &mUnit));
    }
    ~OpenUnit()
    {
        if (mUnit != nullptr) AudioComponentInstanceDispose(mUnit);
    }
    OpenUnit(const OpenUnit&) = delete;
    OpenUnit& operator=(const OpenUnit&) = delete;

    AudioUnit get() const { return mUnit; }
    operator AudioUnit() const { return mUnit; }
    TestPlugin& plugin() const { return PluginOf(mUnit); }

private:
    AudioUnit mUnit = nullptr;
};

// Two channels of host memory, each filled with a sentinel, and the list that points at them.
struct StereoBuffers
{
    explicit StereoBuffers(UInt32 frames, Float32 fill = -9.0f)
        : left(frames, fill), right(frames, fill)
    {
        list.mNumberBuffers = 2;
        list.mBuffers[0] = {1, frames * UInt32(sizeof(Float32)), left.data()};
        list.mBuffers[1] = {1, frames * UInt32(sizeof(Float32)), right.data()};
    }
    std::vector<Float32> left;
    std::vector<Float32> right;
    AudioBufferList list;
};

inline AudioTimeStamp TimeAt(Float64 sampleTime)
{
    AudioTimeStamp ts;
    ts.mSampleTime = sampleTime;
    ts.mFlags = kAudioTimeStampSampleTimeValid;
    return ts;
}

inline OSStatus Render(AudioUnit unit, Float64 sampleTime, UInt32 bus, UInt32 frames,
                       AudioBufferList& list)
{
    AudioUnitRenderActionFlags flags = 0;
    const AudioTimeStamp ts = TimeAt(sampleTime);
    return AudioUnitRender(unit, &flags, &ts, bus, frames, &list);
}

template <class T> OSStatus GetGlobal(AudioUnit unit, AudioUnitPropertyID id, T& out)
{
    UInt32 size = sizeof(T);
    return AudioUnitGetProperty(unit, id, kAudioUnitScope_Global, 0, &out, &size);
}

template <class T> OSStatus SetGlobal(AudioUnit unit, AudioUnitPropertyID id, const T& value)
{
    return AudioUnitSetProperty(unit, id, kAudioUnitScope_Global, 0, &value, sizeof(T));
}

inline AudioUnitParameterValue ParameterValue(AudioUnit unit, AudioUnitParameterID id,
                                              AudioUnitScope scope = kAudioUnitScope_Global,
                                              AudioUnitElement element = 0)
{
    AudioUnitParameterValue value = -1234;
    EXPECT_EQ(noErr, AudioUnitGetParameter(unit, id, scope, element, &value));
    return value;
}
