// What the frame refuses before the plug-in runs, and how the plug-in's failures come back.
// (The states a restore refuses are in Tova's state tests.)

#include "HostHarness.h"

TEST(AUBase, RenderRefusesWhatItCannotRenderBeforeThePlugInRuns)
{
    OpenUnit unit;
    StereoBuffers ok(64), small(8);
    EXPECT_EQ(kAudioUnitErr_Uninitialized, Render(unit, 0, 0, 16, ok.list));
    ASSERT_EQ(noErr, AudioUnitInitialize(unit));
    AudioBufferList mono = ok.list;
    mono.mNumberBuffers = 1;
    AudioBufferList mixed = ok.list;
    mixed.mBuffers[1].mData = nullptr;
    struct Case
    {
        const char* what;
        UInt32 bus, frames;
        AudioBufferList* list;
        OSStatus expected;
    };
    const Case cases[] = {
        {"more than 64 frames", 0, 65, &ok.list, kAudioUnitErr_TooManyFramesToProcess},
        {"unknown bus", TestPlugin::kOutputBuses, 16, &ok.list, kAudioUnitErr_InvalidElement},
        {"one buffer for a stereo bus", 0, 16, &mono, kAudio_ParamError},
        {"buffers smaller than the frames", 0, 16, &small.list, kAudio_ParamError},
        {"memory on one buffer only", 0, 16, &mixed, kAudio_ParamError},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, Render(unit, 0, c.bus, c.frames, *c.list)) << c.what;
    EXPECT_EQ(0, unit.plugin().mRenders);
    EXPECT_EQ(-9.0f, ok.left[0]);
    ASSERT_EQ(noErr, Render(unit, 0, 2, 64, ok.list));
    EXPECT_EQ(2.25f, ok.right[63]); // bus 2, channel 1: 2 + 0.25
}

TEST(AUBase, FailuresAndExceptionsBecomeStatusesAndNothingIsCopied)
{
    OpenUnit unit;
    ASSERT_EQ(noErr, AudioUnitInitialize(unit));
    using F = TestPlugin::Fault;
    const std::pair<F, OSStatus> cases[] = {
        {F::None, -4000}, // RenderBus returns it
        {F::Status32, kAudioUnitErr_FailedInitialization},
        {F::Status16, -2}, // sign-extended
        {F::OutOfMemory, kAudio_MemFullError},
        {F::Other, -1},
    };
    for (const auto& [fault, expected] : cases)
    {
        SCOPED_TRACE(expected);
        unit.plugin().mFault = fault;
        unit.plugin().mRenderResult = fault == F::None ? expected : noErr;
        EXPECT_EQ(fault == F::None ? noErr : expected,
                  AudioUnitReset(unit, kAudioUnitScope_Global, 0));
        StereoBuffers out(16);
        EXPECT_EQ(expected, Render(unit, 0, 0, 16, out.list));
        EXPECT_EQ(-9.0f, out.left[0]);
    }
    EXPECT_EQ(kAudio_ParamError, AudioUnitInitialize(nullptr));
}

TEST(AUBase, ParameterScopesElementsAndIdsAreChecked)
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
        {"another bus's", 7, kAudioUnitScope_Output, 0, kAudioUnitErr_InvalidParameter},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.expected, AudioUnitGetParameter(unit, c.id, c.scope, c.element, &value));
        EXPECT_EQ(c.expected, AudioUnitSetParameter(unit, c.id, c.scope, c.element, 1, 0));
    }
}
