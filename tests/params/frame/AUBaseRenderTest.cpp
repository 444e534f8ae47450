// Render per output bus: the checks, several buses per time stamp, host buffers with and
// without memory, render notifications and input.

#include "HostHarness.h"

#include <string>
#include <thread>

namespace
{

class Initialised : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(noErr, AudioUnitInitialize(unit)); }
    OpenUnit unit;
};

struct NotifyLog
{
    std::vector<std::string> calls;
    std::vector<AudioUnitRenderActionFlags> flags;
};

template <char Name>
OSStatus Notify(void* refCon, AudioUnitRenderActionFlags* flags, const AudioTimeStamp*, UInt32,
                UInt32, AudioBufferList*)
{
    auto* log = static_cast<NotifyLog*>(refCon);
    const bool pre = (*flags & kAudioUnitRenderAction_PreRender) != 0;
    log->calls.push_back(std::string(1, Name) + (pre ? "-pre" : "-post"));
    log->flags.push_back(*flags);
    return noErr;
}

// Input callback: channel c, frame i reads 10 × (c + 1) + i.
OSStatus RampInput(void*, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32 frames,
                   AudioBufferList* data)
{
    for (UInt32 c = 0; c < data->mNumberBuffers; ++c)
        for (UInt32 i = 0; i < frames; ++i)
            static_cast<Float32*>(data->mBuffers[c].mData)[i] =
                10.0f * static_cast<Float32>(c + 1) + static_cast<Float32>(i);
    return noErr;
}

OSStatus FailingInput(void*, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32,
                      AudioBufferList* data)
{
    RampInput(nullptr, nullptr, nullptr, 0, 4, data);
    return -4321;
}

OSStatus NullingInput(void*, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32,
                      AudioBufferList* data)
{
    data->mBuffers[1].mData = nullptr;
    return noErr;
}

} // namespace

TEST_F(Initialised, RefusesWhatItCannotRender)
{
    StereoBuffers ok(64);
    StereoBuffers small(8);
    AudioBufferList mono = ok.list;
    mono.mNumberBuffers = 1;
    AudioBufferList mixed = ok.list;
    mixed.mBuffers[1].mData = nullptr;
    struct Case
    {
        const char* what;
        UInt32 bus;
        UInt32 frames;
        AudioBufferList* list;
        OSStatus expected;
    };
    const Case cases[] = {
        {"more frames than the maximum (64)", 0, 65, &ok.list,
         kAudioUnitErr_TooManyFramesToProcess},
        {"unknown output bus", TestPlugin::kOutputBuses, 16, &ok.list,
         kAudioUnitErr_InvalidElement},
        {"one buffer for a stereo bus", 0, 16, &mono, kAudio_ParamError},
        {"buffers smaller than the frames", 0, 16, &small.list, kAudio_ParamError},
        {"memory on one buffer only", 0, 16, &mixed, kAudio_ParamError},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.expected, Render(unit, 0, c.bus, c.frames, *c.list));
    }
    EXPECT_TRUE(unit.plugin().mNewCycles.empty()); // RenderBus never ran
    EXPECT_EQ(noErr, Render(unit, 0, 0, 64, ok.list));
}

TEST_F(Initialised, SeveralBusesPerTimeStampIntoHostMemory)
{
    std::vector<StereoBuffers> buses;
    for (UInt32 b = 0; b < TestPlugin::kOutputBuses; ++b)
        buses.emplace_back(32);
    for (const Float64 sampleTime : {0.0, 32.0})
        for (UInt32 b = 0; b < TestPlugin::kOutputBuses; ++b)
        {
            SCOPED_TRACE(b);
            ASSERT_EQ(noErr, Render(unit, sampleTime, b, 32, buses[b].list));
            // Bus b renders b + 0.25 × channel; the frame copies it into the host's memory.
            EXPECT_EQ(static_cast<Float32>(b), buses[b].left[31]);
            EXPECT_EQ(static_cast<Float32>(b) + 0.25f, buses[b].right[0]);
            EXPECT_EQ(buses[b].left.data(), buses[b].list.mBuffers[0].mData);
        }
    // Only the first bus of each time stamp starts a new cycle.
    const std::vector<bool> expected{true, false, false, true, false, false};
    EXPECT_EQ(expected, unit.plugin().mNewCycles);
}

TEST_F(Initialised, HostBuffersWithoutMemoryGetTheBusBuffers)
{
    const Float32* seen[TestPlugin::kOutputBuses][2];
    for (UInt32 b = 0; b < TestPlugin::kOutputBuses; ++b)
    {
        AudioBufferList list;
        list.mNumberBuffers = 2;
        list.mBuffers[0] = {1, 0, nullptr};
        list.mBuffers[1] = {1, 0, nullptr};
        ASSERT_EQ(noErr, Render(unit, 0, b, 20, list));
        for (UInt32 c = 0; c < 2; ++c)
        {
            const auto* data = static_cast<const Float32*>(list.mBuffers[c].mData);
            ASSERT_NE(nullptr, data);
            EXPECT_EQ(20u * sizeof(Float32), list.mBuffers[c].mDataByteSize);
            EXPECT_EQ(static_cast<Float32>(b) + 0.25f * static_cast<Float32>(c), data[19]);
            seen[b][c] = data;
        }
    }
    // Each bus keeps its own memory, so all buses of a cycle stay readable together.
    EXPECT_NE(seen[0][0], seen[1][0]);
    EXPECT_EQ(0.0f, seen[0][0][0]);
    EXPECT_EQ(1.0f, seen[1][0][0]);
}

TEST_F(Initialised, RenderNotificationsNewestFirstAroundEveryCall)
{
    NotifyLog log;
    ASSERT_EQ(noErr, AudioUnitAddRenderNotify(unit, Notify<'A'>, &log));
    ASSERT_EQ(noErr, AudioUnitAddRenderNotify(unit, Notify<'B'>, &log));
    StereoBuffers out(16);
    ASSERT_EQ(noErr, Render(unit, 0, 0, 16, out.list));
    const std::vector<std::string> expected{"B-pre", "A-pre", "B-post", "A-post"};
    EXPECT_EQ(expected, log.calls);
    EXPECT_EQ(kAudioUnitRenderAction_PostRender, log.flags[2]);

    // A failing RenderBus: its status comes back, nothing is copied, post carries the error.
    log = {};
    unit.plugin().mRenderResult = -4000;
    StereoBuffers failed(16);
    EXPECT_EQ(-4000, Render(unit, 16, 0, 16, failed.list));
    EXPECT_EQ(-9.0f, failed.left[0]);
    ASSERT_EQ(4u, log.flags.size());
    EXPECT_EQ(kAudioUnitRenderAction_PostRender | kAudioUnitRenderAction_PostRenderError,
              log.flags[3]);

    log = {};
    unit.plugin().mRenderResult = noErr;
    ASSERT_EQ(noErr, AudioUnitRemoveRenderNotify(unit, Notify<'B'>, &log));
    ASSERT_EQ(noErr, Render(unit, 32, 0, 16, out.list));
    EXPECT_EQ((std::vector<std::string>{"A-pre", "A-post"}), log.calls);
}

TEST_F(Initialised, InputFromACallbackOrAnotherUnit)
{
    AURenderCallbackStruct input{RampInput, nullptr};
    ASSERT_EQ(noErr, AudioUnitSetProperty(unit, kAudioUnitProperty_SetRenderCallback,
                                          kAudioUnitScope_Input, 0, &input, sizeof(input)));
    StereoBuffers out(8);
    ASSERT_EQ(noErr, Render(unit, 0, 0, 8, out.list));
    // Bus 0: 0 + 0.25 × c + 10 × (c + 1) + i.
    EXPECT_EQ(10.0f + 3.0f, out.left[3]);
    EXPECT_EQ(0.25f + 20.0f + 7.0f, out.right[7]);

    // A failing source and one that hands back a null buffer both leave silence behind.
    for (const AURenderCallback bad : {FailingInput, NullingInput})
    {
        input.inputProc = bad;
        ASSERT_EQ(noErr, AudioUnitSetProperty(unit, kAudioUnitProperty_SetRenderCallback,
                                              kAudioUnitScope_Input, 0, &input, sizeof(input)));
        ASSERT_EQ(noErr, Render(unit, 8, 0, 8, out.list));
        EXPECT_EQ(0.0f, out.left[3]);
        EXPECT_EQ(0.25f, out.right[7]);
    }

    // Bus 2 of another unit feeds this one's input: 2 + 0.25 × c on top of 0.25 × c.
    OpenUnit source;
    ASSERT_EQ(noErr, AudioUnitInitialize(source));
    const AudioUnitConnection connection{source, 2, 0};
    ASSERT_EQ(noErr,
              AudioUnitSetProperty(unit, kAudioUnitProperty_MakeConnection, kAudioUnitScope_Input,
                                   0, &connection, sizeof(connection)));
    ASSERT_EQ(noErr, Render(unit, 16, 0, 8, out.list));
    EXPECT_EQ(2.0f, out.left[0]);
    EXPECT_EQ(0.25f + 2.25f, out.right[5]);

    const AudioUnitConnection none{nullptr, 0, 0};
    ASSERT_EQ(noErr, AudioUnitSetProperty(unit, kAudioUnitProperty_MakeConnection,
                                          kAudioUnitScope_Input, 0, &none, sizeof(none)));
    ASSERT_EQ(noErr, Render(unit, 24, 0, 8, out.list));
    EXPECT_EQ(0.0f, out.left[0]);
}

TEST_F(Initialised, RecordsTheRenderThread)
{
    EXPECT_FALSE(unit.plugin().InRenderThread());
    std::thread render(
        [&]
        {
            StereoBuffers out(8);
            EXPECT_EQ(noErr, Render(unit, 0, 0, 8, out.list));
            EXPECT_TRUE(unit.plugin().InRenderThread());
        });
    render.join();
    EXPECT_FALSE(unit.plugin().InRenderThread());
}

TEST(AUBaseRender, RefusedUninitialisedAndMaximumFramesChangeOnlyThen)
{
    OpenUnit unit;
    StereoBuffers before(16);
    EXPECT_EQ(kAudioUnitErr_Uninitialized, Render(unit, 0, 0, 16, before.list));
    ASSERT_EQ(noErr, AudioUnitInitialize(unit));
    const UInt32 more = 200;
    EXPECT_EQ(kAudioUnitErr_Initialized,
              SetGlobal(unit, kAudioUnitProperty_MaximumFramesPerSlice, more));
    ASSERT_EQ(noErr, AudioUnitUninitialize(unit));
    ASSERT_EQ(noErr, SetGlobal(unit, kAudioUnitProperty_MaximumFramesPerSlice, more));
    ASSERT_EQ(noErr, AudioUnitInitialize(unit));
    StereoBuffers out(200);
    for (UInt32 b = 0; b < TestPlugin::kOutputBuses; ++b)
        ASSERT_EQ(noErr, Render(unit, 0, b, 200, out.list)); // every bus grew
    EXPECT_EQ(2.25f, out.right[199]);
}

TEST(AUBaseRender, OneOutputBusRendersStraightIntoHostMemory)
{
    OpenUnit unit;
    ASSERT_EQ(noErr, unit.plugin().SetBusCount(kAudioUnitScope_Output, 1));
    ASSERT_EQ(noErr, AudioUnitInitialize(unit));
    StereoBuffers out(16);
    ASSERT_EQ(noErr, Render(unit, 0, 0, 16, out.list));
    EXPECT_EQ(0.25f, out.right[15]);
    // No bus buffer in between: the bus rendered into the host's own memory.
    EXPECT_EQ(out.left.data(), unit.plugin().GetOutput(0)->GetChannelData(0));

    // Without memory from the host it still gets the bus's buffers.
    AudioBufferList empty;
    empty.mNumberBuffers = 2;
    ASSERT_EQ(noErr, Render(unit, 16, 0, 16, empty));
    ASSERT_NE(nullptr, empty.mBuffers[1].mData);
    EXPECT_EQ(0.25f, static_cast<const Float32*>(empty.mBuffers[1].mData)[15]);
}
