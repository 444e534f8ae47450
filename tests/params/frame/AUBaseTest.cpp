// What the frame refuses before the plug-in runs, and how the plug-in's failures come back.

#include "HostHarness.h"

TEST(AUBaseGuards, RenderRefusesWhatItCannotRenderBeforeThePlugInRuns)
{
    OpenUnit unit;
    StereoBuffers ok(64);
    EXPECT_EQ(kAudioUnitErr_Uninitialized, Render(unit, 0, 0, 16, ok.list));
    ASSERT_EQ(noErr, AudioUnitInitialize(unit));
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
    EXPECT_EQ(0, unit.plugin().mRenders);
    EXPECT_EQ(-9.0f, ok.left[0]);
    ASSERT_EQ(noErr, Render(unit, 0, 2, 64, ok.list));
    EXPECT_EQ(2.25f, ok.right[63]); // bus 2, channel 1: 2 + 0.25
}

TEST(AUBaseGuards, FailuresAndExceptionsBecomeStatusesAndNothingIsCopied)
{
    OpenUnit unit;
    ASSERT_EQ(noErr, AudioUnitInitialize(unit));
    struct Case
    {
        TestPlugin::Fault fault;
        OSStatus renderResult;
        OSStatus expected;
    };
    const Case cases[] = {
        {TestPlugin::Fault::None, -4000, -4000},
        {TestPlugin::Fault::Status32, noErr, kAudioUnitErr_FailedInitialization},
        {TestPlugin::Fault::Status16, noErr, -2}, // sign-extended
        {TestPlugin::Fault::OutOfMemory, noErr, kAudio_MemFullError},
        {TestPlugin::Fault::Other, noErr, -1},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.expected);
        unit.plugin().mFault = c.fault;
        unit.plugin().mRenderResult = c.renderResult;
        if (c.fault != TestPlugin::Fault::None)
        {
            EXPECT_EQ(c.expected, AudioUnitReset(unit, kAudioUnitScope_Global, 0));
        }
        StereoBuffers out(16);
        EXPECT_EQ(c.expected, Render(unit, 0, 0, 16, out.list));
        EXPECT_EQ(-9.0f, out.left[0]);
    }
    EXPECT_EQ(kAudio_ParamError, AudioUnitInitialize(nullptr));
}

TEST(AUBaseGuards, ParameterScopesElementsAndIdsAreChecked)
{
    OpenUnit unit;
    AudioUnitParameterValue value = 0;
    struct Case
    {
        const char* what;
        AudioUnitParameterID id;
        AudioUnitScope scope;
        AudioUnitElement element;
        OSStatus expected;
    };
    const Case cases[] = {
        {"unknown id", 9, kAudioUnitScope_Global, 0, kAudioUnitErr_InvalidParameter},
        {"unknown element", 0, kAudioUnitScope_Global, 1, kAudioUnitErr_InvalidElement},
        {"unknown scope", 0, 5, 0, kAudioUnitErr_InvalidScope},
        {"a parameter of another bus", 7, kAudioUnitScope_Output, 0,
         kAudioUnitErr_InvalidParameter},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.expected, AudioUnitGetParameter(unit, c.id, c.scope, c.element, &value));
        EXPECT_EQ(c.expected, AudioUnitSetParameter(unit, c.id, c.scope, c.element, 1, 0));
    }
    ASSERT_EQ(noErr, AudioUnitSetParameter(unit, 7, kAudioUnitScope_Output, 1, 0.75f, 0));
    EXPECT_EQ(0.75f, ParameterValue(unit, 7, kAudioUnitScope_Output, 1));
}
