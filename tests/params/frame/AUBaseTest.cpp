// What the frame refuses before the plug-in runs, and how the plug-in's failures come back.
// (The states a restore refuses are in Tova's state tests.)

#include "HostHarness.h"

#include <new>
#include <string>

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
    const std::pair<std::function<void()>, OSStatus> cases[] = {
        {[] {}, -4000}, // RenderBus returns it
        {[] { throw kAudioUnitErr_FailedInitialization; }, kAudioUnitErr_FailedInitialization},
        {[] { throw SInt16(-2); }, -2}, // sign-extended
        {[] { throw std::bad_alloc(); }, kAudio_MemFullError},
        {[] { throw std::string("neither a status nor memory"); }, -1},
    };
    for (const auto& [fault, expected] : cases)
    {
        SCOPED_TRACE(expected);
        const bool throws = expected != -4000;
        unit.plugin().mFault = fault;
        unit.plugin().mRenderResult = throws ? noErr : expected;
        EXPECT_EQ(throws ? expected : noErr, AudioUnitReset(unit, kAudioUnitScope_Global, 0));
        StereoBuffers out(16);
        EXPECT_EQ(expected, Render(unit, 0, 0, 16, out.list));
        EXPECT_EQ(-9.0f, out.left[0]);
    }
    EXPECT_EQ(kAudio_ParamError, AudioUnitInitialize(nullptr));
}
