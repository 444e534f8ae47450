// Tova's custom properties: what their information reports, which gets and sets the frame
// refuses, memory use in tenths of a percent, erasing everything, the stopped flag, the hidden
// in-place property, and MIDI-learn arming with the clear-on-second-arm rule.

#include "CTovaProbe.h"
#include "TovaHost.h"

#include <gtest/gtest.h>

namespace
{
OSStatus Info(const TovaHost& host, AudioUnitPropertyID id, UInt32& size, Boolean& writable,
              AudioUnitScope scope = kAudioUnitScope_Global, AudioUnitElement element = 0)
{
    return AudioUnitGetPropertyInfo(host.Unit(), id, scope, element, &size, &writable);
}

template <typename T> OSStatus Get(const TovaHost& host, AudioUnitPropertyID id, T& value)
{
    UInt32 size = sizeof value;
    return AudioUnitGetProperty(host.Unit(), id, kAudioUnitScope_Global, 0, &value, &size);
}

template <typename T> OSStatus Set(const TovaHost& host, AudioUnitPropertyID id, const T& value)
{
    return AudioUnitSetProperty(host.Unit(), id, kAudioUnitScope_Global, 0, &value, sizeof value);
}

UInt32 MemoryUse(const TovaHost& host)
{
    UInt32 use = 12345;
    EXPECT_EQ(Get(host, kTovaProperty_MemoryUse, use), noErr);
    return use;
}

SInt32 Armed(const TovaHost& host)
{
    SInt32 armed = 12345;
    EXPECT_EQ(Get(host, kTovaProperty_MIDILearn, armed), noErr);
    return armed;
}
} // namespace

TEST(CTovaProperties, InformationRefusalsAndTheHiddenInPlaceProperty)
{
    TovaHost host;
    // Any scope and element; an import takes the longest path.
    for (const auto& [id, bytes] : {std::pair{kTovaProperty_MemoryUse, 4u},
                                    {kTovaProperty_EraseAll, 4u},
                                    {kTovaProperty_Stopped, 4u},
                                    {kTovaProperty_MIDILearn, 4u},
                                    {kTovaProperty_ImportWithTempo, 4096u},
                                    {kTovaProperty_Import, 4096u}})
    {
        UInt32 size = 0;
        Boolean writable = false;
        ASSERT_EQ(Info(host, id, size, writable, kAudioUnitScope_Output, 3), noErr) << id;
        EXPECT_EQ(size, bytes) << id;
        EXPECT_TRUE(writable) << id;
    }
    // Gets and sets a property does not have are refused by the frame, which asks for as
    // many bytes as the information reported.
    std::vector<std::uint8_t> data(4096);
    for (const AudioUnitPropertyID id :
         {kTovaProperty_EraseAll, kTovaProperty_ImportWithTempo, kTovaProperty_Import})
    {
        UInt32 size = static_cast<UInt32>(data.size());
        EXPECT_EQ(
            AudioUnitGetProperty(host.Unit(), id, kAudioUnitScope_Global, 0, data.data(), &size),
            kAudioUnitErr_InvalidProperty)
            << id;
    }
    UInt32 value = 1;
    for (const AudioUnitPropertyID id : {kTovaProperty_MemoryUse, kTovaProperty_Stopped})
        EXPECT_EQ(Set(host, id, value), kAudioUnitErr_InvalidProperty) << id;
    UInt32 size = 0;
    Boolean writable = false;
    EXPECT_EQ(Info(host, kAudioUnitProperty_InPlaceProcessing, size, writable),
              kAudioUnitErr_InvalidProperty);
    EXPECT_EQ(Get(host, kAudioUnitProperty_InPlaceProcessing, value),
              kAudioUnitErr_InvalidProperty);
    EXPECT_EQ(Set(host, kAudioUnitProperty_InPlaceProcessing, value),
              kAudioUnitErr_InvalidProperty);
}

TEST(CTovaProperties, MemoryUseIsTheFillInTenthsOfAPercent)
{
    TovaHost host;
    CTovaProbe probe(host.Tova());
    EXPECT_EQ(MemoryUse(host), 0u);
    struct Case
    {
        int frames;
        UInt32 use;
    };
    // trunc(fill × 0.0002 + 0.5), one sample per case.
    const Case cases[] = {
        {2500000, 500},  // 500 + 0.5
        {96000, 19},     // 19.2 + 0.5
        {2497499, 499},  // 499.4998 + 0.5
        {2497500, 500},  // 499.5 + 0.5
        {5000000, 1000}, // the whole pool
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.frames);
        CSample* sample = probe.GiveSample(1, c.frames);
        EXPECT_EQ(MemoryUse(host), c.use);
        ASSERT_EQ(sample->RefCount(), 1);
        probe.Key(1).SetSample(nullptr);
    }
}

TEST(CTovaProperties, EraseAllEmptiesEveryKeyAtTheNextCycle)
{
    TovaHost host;
    CTovaProbe probe(host.Tova());
    probe.GiveSample(10, 1000);
    probe.GiveSample(20, 1000);
    const UInt32 ignored = 0;
    ASSERT_EQ(Set(host, kTovaProperty_EraseAll, ignored), noErr);
    host.Render(64);
    EXPECT_EQ(probe.Key(10).Sample(), nullptr);
    EXPECT_EQ(probe.Key(20).Sample(), nullptr);
    EXPECT_EQ(MemoryUse(host), 0u);
}

TEST(CTovaProperties, TheStoppedFlagReadsAsOneOrZero)
{
    TovaHost host;
    UInt32 stopped = 12345;
    host.Set(kTovaParam_TapeSpeed, 0);
    host.RenderFrames(44100, 512);
    ASSERT_EQ(Get(host, kTovaProperty_Stopped, stopped), noErr);
    EXPECT_EQ(stopped, 1u);
    host.Set(kTovaParam_TapeSpeed, 1);
    host.RenderFrames(44100, 512);
    ASSERT_EQ(Get(host, kTovaProperty_Stopped, stopped), noErr);
    EXPECT_EQ(stopped, 0u);
}

TEST(CTovaProperties, ArmingTwiceClearsEveryBindingOfTheParameterAndDisarms)
{
    TovaHost host;
    CTova::SetLearnDefaults();
    CTovaProbe::LearnedCC(12) = kTovaParam_Recording;
    CTovaProbe::LearnedCC(128) = kTovaParam_Recording; // the pitch wheel
    CTovaProbe::LearnedNote(60) = kTovaParam_Erasing;
    EXPECT_EQ(Armed(host), -1);
    ASSERT_EQ(Set(host, kTovaProperty_MIDILearn, SInt32{kTovaParam_Recording}), noErr);
    EXPECT_EQ(Armed(host), 4);
    ASSERT_EQ(Set(host, kTovaProperty_MIDILearn, SInt32{kTovaParam_Recording}), noErr);
    EXPECT_EQ(Armed(host), -1);
    EXPECT_EQ(CTovaProbe::LearnedNote(48), -1) << "the default binding goes too";
    EXPECT_EQ(CTovaProbe::LearnedCC(12), -1);
    EXPECT_EQ(CTovaProbe::LearnedCC(128), -1);
    EXPECT_EQ(CTovaProbe::LearnedNote(60), kTovaParam_Erasing) << "other parameters stay";
    EXPECT_EQ(CTovaProbe::LearnedNote(49), kTovaParam_Erasing);

    // Note 48 no longer switches "Recording".
    host.NoteOn(48);
    EXPECT_EQ(host.Get(kTovaParam_Recording), 0.0f);
    CTova::SetLearnDefaults();
}

TEST(CTovaProperties, ArmingTakesOnlyParameterIdsOrMinusOne)
{
    TovaHost host;
    ASSERT_EQ(Set(host, kTovaProperty_MIDILearn, SInt32{34}), noErr);
    EXPECT_EQ(Armed(host), 34);
    EXPECT_EQ(Set(host, kTovaProperty_MIDILearn, SInt32{35}), kAudioUnitErr_InvalidPropertyValue);
    EXPECT_EQ(Set(host, kTovaProperty_MIDILearn, SInt32{-2}), kAudioUnitErr_InvalidPropertyValue);
    EXPECT_EQ(Set(host, kTovaProperty_MIDILearn, SInt32{65536 + 4}),
              kAudioUnitErr_InvalidPropertyValue)
        << "not cut to 16 bits";
    EXPECT_EQ(Armed(host), 34);
    const SInt16 tooShort = 3;
    EXPECT_EQ(Set(host, kTovaProperty_MIDILearn, tooShort), kAudio_ParamError);
    ASSERT_EQ(Set(host, kTovaProperty_MIDILearn, SInt32{-1}), noErr);
    EXPECT_EQ(Armed(host), -1);
    ASSERT_EQ(Set(host, kTovaProperty_MIDILearn, SInt32{0}), noErr);
    EXPECT_EQ(Armed(host), 0);
}
