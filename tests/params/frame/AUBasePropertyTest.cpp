// Properties the frame answers, property listeners, parameters and their scheduling.

#include "HostHarness.h"

#include "platform/cf/CFType.h"

#include <string>

namespace
{

struct ListenerLog
{
    std::vector<std::string> calls;
};

template <char Name>
void Listener(void* refCon, AudioUnit, AudioUnitPropertyID id, AudioUnitScope scope,
              AudioUnitElement element)
{
    static_cast<ListenerLog*>(refCon)->calls.push_back(
        std::string(1, Name) + ":" + std::to_string(id) + "/" + std::to_string(scope) + "/" +
        std::to_string(element));
}

std::vector<AudioUnitParameterID> ParameterList(AudioUnit unit, AudioUnitScope scope)
{
    UInt32 size = 0;
    EXPECT_EQ(noErr, AudioUnitGetPropertyInfo(unit, kAudioUnitProperty_ParameterList, scope, 0,
                                              &size, nullptr));
    std::vector<AudioUnitParameterID> ids(size / sizeof(AudioUnitParameterID));
    if (!ids.empty())
    {
        EXPECT_EQ(noErr, AudioUnitGetProperty(unit, kAudioUnitProperty_ParameterList, scope, 0,
                                              ids.data(), &size));
    }
    return ids;
}

OSStatus Beat(void* host, Float64* beat, Float64* tempo)
{
    *beat = *static_cast<Float64*>(host);
    *tempo = 97.0;
    return noErr;
}

OSStatus Transport(void*, Boolean* playing, Boolean*, Float64*, Boolean*, Float64*, Float64*)
{
    *playing = 1;
    return noErr;
}

} // namespace

TEST(AUBaseProperties, ParameterListsInfoAndValueStrings)
{
    OpenUnit unit;
    EXPECT_EQ((std::vector<AudioUnitParameterID>{0, 1, 2}),
              ParameterList(unit, kAudioUnitScope_Global));
    EXPECT_EQ((std::vector<AudioUnitParameterID>{7}), ParameterList(unit, kAudioUnitScope_Output));
    EXPECT_TRUE(ParameterList(unit, kAudioUnitScope_Input).empty());

    AudioUnitParameterInfo info;
    UInt32 size = sizeof(info);
    ASSERT_EQ(noErr, AudioUnitGetProperty(unit, kAudioUnitProperty_ParameterInfo,
                                          kAudioUnitScope_Global, 1, &info, &size));
    EXPECT_STREQ("Ratio", info.name);
    EXPECT_EQ(10.0f, info.maxValue);
    EXPECT_EQ(kAudioUnitErr_InvalidParameter,
              AudioUnitGetProperty(unit, kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Global,
                                   5, &info, &size));

    CFType strings;
    size = sizeof(strings);
    ASSERT_EQ(noErr, AudioUnitGetProperty(unit, kAudioUnitProperty_ParameterValueStrings,
                                          kAudioUnitScope_Global, 2, &strings, &size));
    ASSERT_EQ(CFType::Kind::Array, strings.GetKind());
    ASSERT_EQ(3u, strings.AsArray().size());
    EXPECT_EQ("Full", strings.AsArray()[2].AsString());
    EXPECT_EQ(kAudioUnitErr_InvalidProperty,
              AudioUnitGetPropertyInfo(unit, kAudioUnitProperty_ParameterValueStrings,
                                       kAudioUnitScope_Global, 1, &size, nullptr));
    // A buffer smaller than the property is refused rather than cut.
    size = sizeof(strings) - 1;
    EXPECT_EQ(kAudio_ParamError,
              AudioUnitGetProperty(unit, kAudioUnitProperty_ParameterValueStrings,
                                   kAudioUnitScope_Global, 2, &strings, &size));
}

TEST(AUBaseProperties, ElementCountsAreReadOnlyForHosts)
{
    OpenUnit unit;
    UInt32 size = 0;
    Boolean writable = 1;
    ASSERT_EQ(noErr, AudioUnitGetPropertyInfo(unit, kAudioUnitProperty_ElementCount,
                                              kAudioUnitScope_Output, 0, &size, &writable));
    EXPECT_EQ(0, writable);
    const UInt32 five = 5;
    EXPECT_EQ(kAudioUnitErr_PropertyNotWritable,
              AudioUnitSetProperty(unit, kAudioUnitProperty_ElementCount, kAudioUnitScope_Output, 0,
                                   &five, sizeof(five)));
    UInt32 count = 0;
    size = sizeof(count);
    ASSERT_EQ(noErr, AudioUnitGetProperty(unit, kAudioUnitProperty_ElementCount,
                                          kAudioUnitScope_Output, 0, &count, &size));
    EXPECT_EQ(TestPlugin::kOutputBuses, count);
    EXPECT_EQ(kAudioUnitErr_InvalidScope,
              AudioUnitGetProperty(unit, kAudioUnitProperty_ElementCount, 9, 0, &count, &size));

    // The plug-in itself may change counts, but not while initialised.
    ASSERT_EQ(noErr, AudioUnitInitialize(unit));
    EXPECT_EQ(kAudioUnitErr_Initialized, unit.plugin().SetBusCount(kAudioUnitScope_Output, 2));
}

TEST(AUBaseProperties, StreamFormatAndSampleRate)
{
    OpenUnit unit;
    ListenerLog log;
    ASSERT_EQ(noErr, AudioUnitAddPropertyListener(unit, kAudioUnitProperty_StreamFormat,
                                                  Listener<'F'>, &log));
    AudioStreamBasicDescription format;
    UInt32 size = sizeof(format);
    ASSERT_EQ(noErr, AudioUnitGetProperty(unit, kAudioUnitProperty_StreamFormat,
                                          kAudioUnitScope_Output, 1, &format, &size));
    EXPECT_EQ(CanonicalStreamFormat(44100, 2), format);

    format.mSampleRate = 48000;
    ASSERT_EQ(noErr, AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat,
                                          kAudioUnitScope_Output, 0, &format, sizeof(format)));
    EXPECT_EQ((std::vector<std::string>{"F:8/2/0"}), log.calls);
    Float64 rate = 0;
    size = sizeof(rate);
    ASSERT_EQ(noErr, AudioUnitGetProperty(unit, kAudioUnitProperty_SampleRate,
                                          kAudioUnitScope_Global, 0, &rate, &size));
    EXPECT_EQ(48000.0, rate); // the global scope reads output bus 0
    EXPECT_EQ(48000.0, unit.plugin().GetSampleRate());

    AudioStreamBasicDescription interleaved = format;
    interleaved.mFormatFlags &= ~kAudioFormatFlagIsNonInterleaved;
    EXPECT_EQ(kAudioUnitErr_FormatNotSupported,
              AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0,
                                   &interleaved, sizeof(interleaved)));
    const Float64 zero = 0;
    EXPECT_EQ(kAudioUnitErr_InvalidPropertyValue,
              AudioUnitSetProperty(unit, kAudioUnitProperty_SampleRate, kAudioUnitScope_Input, 0,
                                   &zero, sizeof(zero)));

    // A mono bus does not fit the one supported pair, 2 in and 2 out.
    const AudioStreamBasicDescription mono = CanonicalStreamFormat(48000, 1);
    ASSERT_EQ(noErr, AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat,
                                          kAudioUnitScope_Output, 2, &mono, sizeof(mono)));
    EXPECT_EQ(kAudioUnitErr_FormatNotSupported, AudioUnitInitialize(unit));
    const AudioStreamBasicDescription stereo = CanonicalStreamFormat(48000, 2);
    ASSERT_EQ(noErr, AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat,
                                          kAudioUnitScope_Output, 2, &stereo, sizeof(stereo)));
    ASSERT_EQ(noErr, AudioUnitInitialize(unit));
    EXPECT_EQ(kAudioUnitErr_PropertyNotWritable,
              AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 0,
                                   &stereo, sizeof(stereo)));
}

TEST(AUBaseProperties, EffectAndUnitWideProperties)
{
    OpenUnit unit;
    UInt32 value = 7;
    ASSERT_EQ(noErr, GetGlobal(unit, kAudioUnitProperty_BypassEffect, value));
    EXPECT_EQ(0u, value);
    ASSERT_EQ(noErr, SetGlobal(unit, kAudioUnitProperty_BypassEffect, UInt32{1}));
    EXPECT_TRUE(unit.plugin().ShouldBypassEffect());

    UInt32 size = 0;
    struct Refused
    {
        const char* what;
        AudioUnitPropertyID id;
    };
    const Refused refused[] = {
        {"in-place processing, hidden by the plug-in", kAudioUnitProperty_InPlaceProcessing},
        {"factory presets", kAudioUnitProperty_FactoryPresets},
        {"an id nobody knows", 4242},
    };
    for (const Refused& r : refused)
    {
        SCOPED_TRACE(r.what);
        EXPECT_EQ(kAudioUnitErr_InvalidProperty,
                  AudioUnitGetPropertyInfo(unit, r.id, kAudioUnitScope_Global, 0, &size, nullptr));
        EXPECT_EQ(kAudioUnitErr_InvalidProperty, GetGlobal(unit, r.id, value));
        EXPECT_EQ(kAudioUnitErr_InvalidProperty, SetGlobal(unit, r.id, value));
    }

    Float64 latency = -1;
    ASSERT_EQ(noErr, GetGlobal(unit, kAudioUnitProperty_Latency, latency));
    EXPECT_EQ(0.0, latency);
    AUChannelInfo channels[2] = {};
    size = sizeof(channels);
    ASSERT_EQ(noErr, AudioUnitGetPropertyInfo(unit, kAudioUnitProperty_SupportedNumChannels,
                                              kAudioUnitScope_Global, 0, &size, nullptr));
    EXPECT_EQ(sizeof(AUChannelInfo), size);
    ASSERT_EQ(noErr, AudioUnitGetProperty(unit, kAudioUnitProperty_SupportedNumChannels,
                                          kAudioUnitScope_Global, 0, channels, &size));
    EXPECT_EQ(2, channels[0].inChannels);
    EXPECT_EQ(2, channels[0].outChannels);
    ComponentDescription view;
    ASSERT_EQ(noErr, GetGlobal(unit, kAudioUnitProperty_GetUIComponentList, view));
    EXPECT_EQ(FourCharCode("auvw"), view.componentType);
    EXPECT_EQ(FourCharCode("Test"), view.componentSubType);
}

TEST(AUBaseProperties, PresetsAndElementNames)
{
    OpenUnit unit;
    AUPreset preset;
    ASSERT_EQ(noErr, GetGlobal(unit, kAudioUnitProperty_PresentPreset, preset));
    EXPECT_EQ(-1, preset.presetNumber);
    EXPECT_EQ("Untitled", preset.presetName);
    EXPECT_EQ(kAudioUnitErr_InvalidProperty,
              SetGlobal(unit, kAudioUnitProperty_PresentPreset, AUPreset{3, "Factory"}));
    ASSERT_EQ(noErr, SetGlobal(unit, kAudioUnitProperty_CurrentPreset, AUPreset{-1, "Mine"}));
    ASSERT_EQ(noErr, GetGlobal(unit, kAudioUnitProperty_PresentPreset, preset));
    EXPECT_EQ("Mine", preset.presetName);

    std::string name;
    UInt32 size = sizeof(name);
    EXPECT_EQ(kAudioUnitErr_PropertyNotInUse,
              AudioUnitGetProperty(unit, kAudioUnitProperty_ElementName, kAudioUnitScope_Output, 1,
                                   &name, &size));
    const std::string side = "Side";
    ASSERT_EQ(noErr, AudioUnitSetProperty(unit, kAudioUnitProperty_ElementName,
                                          kAudioUnitScope_Output, 1, &side, sizeof(side)));
    ASSERT_EQ(noErr, AudioUnitGetProperty(unit, kAudioUnitProperty_ElementName,
                                          kAudioUnitScope_Output, 1, &name, &size));
    EXPECT_EQ("Side", name);
    EXPECT_EQ(kAudioUnitErr_InvalidElement,
              AudioUnitSetProperty(unit, kAudioUnitProperty_ElementName, kAudioUnitScope_Output,
                                   TestPlugin::kOutputBuses, &side, sizeof(side)));
}

TEST(AUBaseProperties, HostCallbacksReachThePlugIn)
{
    OpenUnit unit;
    const TestPlugin& plugin = unit.plugin();
    Float64 beat = 0;
    Float64 tempo = 0;
    EXPECT_EQ(kAudioUnitErr_CannotDoInCurrentContext, plugin.CallHostBeatAndTempo(&beat, &tempo));

    Float64 hostBeat = 3.5;
    const HostCallbackInfo info{&hostBeat, Beat, nullptr, Transport};
    ASSERT_EQ(noErr, SetGlobal(unit, kAudioUnitProperty_HostCallbacks, info));
    ASSERT_EQ(noErr, plugin.CallHostBeatAndTempo(&beat, &tempo));
    EXPECT_EQ(3.5, beat);
    EXPECT_EQ(97.0, tempo);
    Float32 numerator = 0;
    EXPECT_EQ(kAudioUnitErr_CannotDoInCurrentContext,
              plugin.CallHostMusicalTimeLocation(nullptr, &numerator, nullptr, nullptr));
    Boolean playing = 0;
    ASSERT_EQ(noErr,
              plugin.CallHostTransportState(&playing, nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(1, playing);

    HostCallbackInfo back;
    ASSERT_EQ(noErr, GetGlobal(unit, kAudioUnitProperty_HostCallbacks, back));
    EXPECT_EQ(&hostBeat, back.hostUserData);

    // A host with a shorter record (user data and the beat callback only): the rest is null.
    ASSERT_EQ(noErr,
              AudioUnitSetProperty(unit, kAudioUnitProperty_HostCallbacks, kAudioUnitScope_Global,
                                   0, &info, sizeof(void*) + sizeof(HostCallback_GetBeatAndTempo)));
    EXPECT_EQ(noErr, plugin.CallHostBeatAndTempo(&beat, &tempo));
    EXPECT_EQ(kAudioUnitErr_CannotDoInCurrentContext,
              plugin.CallHostTransportState(&playing, nullptr, nullptr, nullptr, nullptr, nullptr));
}

TEST(AUBaseProperties, ListenersRunInRegistrationOrder)
{
    OpenUnit unit;
    ListenerLog log;
    const AudioUnitPropertyID announced = TestPlugin::kAnnouncedProperty;
    ASSERT_EQ(noErr, AudioUnitAddPropertyListener(unit, announced, Listener<'A'>, &log));
    ASSERT_EQ(noErr, AudioUnitAddPropertyListener(unit, 12345, Listener<'X'>, &log));
    ASSERT_EQ(noErr, AudioUnitAddPropertyListener(unit, announced, Listener<'B'>, &log));
    ListenerLog other;
    ASSERT_EQ(noErr, AudioUnitAddPropertyListener(unit, announced, Listener<'A'>, &other));

    // Setting the plug-in's counter announces property 64002, global scope, element 0.
    ASSERT_EQ(noErr, SetGlobal(unit, TestPlugin::kCounterProperty, UInt32{3}));
    EXPECT_EQ((std::vector<std::string>{"A:64002/0/0", "B:64002/0/0"}), log.calls);
    EXPECT_EQ(1u, other.calls.size());

    // With user data only that registration goes; without, every one of the procedure.
    log = {};
    other = {};
    ASSERT_EQ(noErr,
              AudioUnitRemovePropertyListenerWithUserData(unit, announced, Listener<'A'>, &other));
    ASSERT_EQ(noErr, SetGlobal(unit, TestPlugin::kCounterProperty, UInt32{4}));
    EXPECT_EQ(2u, log.calls.size());
    EXPECT_TRUE(other.calls.empty());
    log = {};
    ASSERT_EQ(noErr, AudioUnitRemovePropertyListener(unit, announced, Listener<'A'>));
    ASSERT_EQ(noErr, SetGlobal(unit, TestPlugin::kCounterProperty, UInt32{5}));
    EXPECT_EQ((std::vector<std::string>{"B:64002/0/0"}), log.calls);
    UInt32 counter = 0;
    ASSERT_EQ(noErr, GetGlobal(unit, TestPlugin::kCounterProperty, counter));
    EXPECT_EQ(5u, counter);
}

TEST(AUBaseParameters, ScopesElementsAndIdsAreChecked)
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
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.expected, AudioUnitGetParameter(unit, c.id, c.scope, c.element, &value));
        EXPECT_EQ(c.expected, AudioUnitSetParameter(unit, c.id, c.scope, c.element, 1, 0));
    }
    // A host cannot add parameters by setting them.
    EXPECT_EQ((std::vector<AudioUnitParameterID>{0, 1, 2}),
              ParameterList(unit, kAudioUnitScope_Global));
    ASSERT_EQ(noErr, AudioUnitSetParameter(unit, 7, kAudioUnitScope_Output, 1, 0.75f, 0));
    EXPECT_EQ(0.75f, ParameterValue(unit, 7, kAudioUnitScope_Output, 1));
}

TEST(AUBaseParameters, ImmediateEventsRunSetParameterRampsChangeNothing)
{
    OpenUnit unit;
    TestPlugin& plugin = unit.plugin();
    AudioUnitParameterEvent events[2];
    events[0].parameter = 1;
    events[0].eventType = kParameterEvent_Ramped;
    events[0].eventValues.ramp = {0, 64, 1.0f, 9.0f};
    events[1].parameter = 0;
    events[1].eventType = kParameterEvent_Immediate;
    events[1].eventValues.immediate = {12, 0.125f};
    ASSERT_EQ(noErr, AudioUnitScheduleParameters(unit, events, 2));

    const std::vector<TestPlugin::SetCall> expected{{0, kAudioUnitScope_Global, 0, 0.125f, 12}};
    EXPECT_EQ(expected, plugin.mSetCalls);
    EXPECT_EQ(0.125f, ParameterValue(unit, 0));
    EXPECT_EQ(1.0f, ParameterValue(unit, 1)); // the ramp is never applied
    ASSERT_EQ(noErr, AudioUnitInitialize(unit));
    StereoBuffers out(64);
    ASSERT_EQ(noErr, Render(unit, 0, 0, 64, out.list));
    EXPECT_EQ(1.0f, ParameterValue(unit, 1));

    events[0].eventType = 99;
    EXPECT_EQ(kAudio_ParamError, AudioUnitScheduleParameters(unit, events, 1));
}
