// Opening, closing and routing through the generic component entry.

#include "HostHarness.h"

#include "platform/AUComponentArgs.h"

TEST(ComponentEntryPoint, OpenRouteRefuseAndClose)
{
    OpenUnit unit;
    ASSERT_NE(nullptr, unit.get());
    UInt32 count = 0;
    UInt32 size = sizeof(count);
    ASSERT_EQ(noErr, AudioUnitGetProperty(unit, kAudioUnitProperty_ElementCount,
                                          kAudioUnitScope_Output, 0, &count, &size));
    EXPECT_EQ(TestPlugin::kOutputBuses, count); // set by the plug-in's PostConstructor
    ASSERT_EQ(noErr, AudioUnitGetProperty(unit, kAudioUnitProperty_ElementCount,
                                          kAudioUnitScope_Input, 0, &count, &size));
    EXPECT_EQ(1u, count);
    EXPECT_EQ(0.5f, ParameterValue(unit, 0)); // set by the constructor

    UInt32 version = 0;
    EXPECT_EQ(noErr, AudioComponentInstanceGetVersion(unit, &version));
    EXPECT_EQ(0x00010100u, version); // 65792: 1.1.0
    UInt32 unused = 0;
    ComponentParameters params{0x7E, &unused};
    EXPECT_EQ(badComponentSelector, kTestPluginRegistration.entry(&params, unit.get()->storage));

    // A null instance answers -50; closing an initialised unit uninitialises it first.
    ComponentInstanceRecord empty{&kTestPluginRegistration, nullptr};
    EXPECT_EQ(kAudio_ParamError, AudioUnitInitialize(&empty));
    EXPECT_EQ(kAudio_ParamError, MusicDeviceMIDIEvent(&empty, 0x90, 60, 100, 0));
    EXPECT_EQ(kAudio_ParamError, AudioUnitInitialize(nullptr));
    EXPECT_EQ(kAudio_ParamError, kTestPluginRegistration.entry(nullptr, nullptr));
    const int before = TestPlugin::sCleanups;
    AudioUnit other = nullptr;
    ASSERT_EQ(noErr, AudioComponentInstanceNew(&kTestPluginRegistration, &other));
    ASSERT_EQ(noErr, AudioUnitInitialize(other));
    EXPECT_EQ(noErr, AudioComponentInstanceDispose(other));
    EXPECT_EQ(before + 1, TestPlugin::sCleanups);
}

TEST(ComponentEntryPoint, ExceptionsBecomeStatuses)
{
    OpenUnit unit;
    struct Case
    {
        TestPlugin::Fault fault;
        OSStatus expected;
    };
    const Case cases[] = {
        {TestPlugin::Fault::Status32, kAudioUnitErr_FailedInitialization},
        {TestPlugin::Fault::Status16, -2}, // the 16-bit value sign-extended
        {TestPlugin::Fault::OutOfMemory, kAudio_MemFullError},
        {TestPlugin::Fault::Other, -1},
    };
    ASSERT_EQ(noErr, AudioUnitInitialize(unit));
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.expected);
        unit.plugin().mFault = c.fault;
        EXPECT_EQ(c.expected, AudioUnitReset(unit, kAudioUnitScope_Global, 0));
        StereoBuffers out(16);
        EXPECT_EQ(c.expected, Render(unit, 0, 0, 16, out.list));
        EXPECT_EQ(-9.0f, out.left[0]); // nothing copied out
    }
    unit.plugin().mFault = TestPlugin::Fault::None;
    EXPECT_EQ(noErr, AudioUnitReset(unit, kAudioUnitScope_Global, 0));
}
