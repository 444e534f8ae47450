// Parameter value strings and the side effects of setting parameters; the custom properties:
// memory use, erasing everything and MIDI-learn arming.

#include "integration/CTovaProbe.h"
#include "integration/ParameterListener.h"
#include "integration/TovaHost.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
using Ids = std::vector<AudioUnitParameterID>;

template <typename T> T Get(const TovaHost& host, AudioUnitPropertyID id)
{
    T value{12345};
    UInt32 size = sizeof value;
    EXPECT_EQ(AudioUnitGetProperty(host.Unit(), id, kAudioUnitScope_Global, 0, &value, &size),
              noErr);
    return value;
}

template <typename T> OSStatus Set(const TovaHost& host, AudioUnitPropertyID id, const T& value)
{
    return AudioUnitSetProperty(host.Unit(), id, kAudioUnitScope_Global, 0, &value, sizeof value);
}
} // namespace

TEST(TovaParameters, ValueStringsAndTheSentinelThatIsNeverPublished)
{
    TovaHost host;
    CTova& tova = host.Tova();
    AudioUnitParameterInfo info;
    EXPECT_EQ(kAudioUnitErr_InvalidParameter,
              tova.GetParameterInfo(kAudioUnitScope_Global, 35, info)); // "LAST"
    CFType strings;
    struct Case
    {
        AudioUnitParameterID id;
        std::size_t count, index;
        const char* text;
    };
    const Case cases[] = {
        {9, 3, 2, "To Bar"},   {10, 4, 3, "As Recorded"}, {11, 4, 3, "Record"},
        {18, 32, 0, "0"},      {18, 32, 9, "1+1/8"},      {18, 32, 22, "2+3/4"}, // 22 eighths
        {18, 32, 31, "3+7/8"}, {25, 65, 0, "none"},       {25, 65, 32, "1024"},  // 32 × 32
        {25, 65, 64, "2048"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.text);
        ASSERT_EQ(noErr, tova.GetParameterValueStrings(kAudioUnitScope_Global, c.id, &strings));
        ASSERT_EQ(c.count, strings.AsArray().size());
        EXPECT_EQ(c.text, strings.AsArray()[c.index].AsString());
    }
}

TEST(TovaParameters, DigiBitsAndDigiValueFollowEachOther)
{
    // 0.0001 is added before truncation, so 2.99995 counts as 3 and a bit of 0.99995 as 1.
    struct Case
    {
        AudioUnitParameterID id;
        float value;
        float digi;       // id 18
        const char* bits; // ids 13 … 17
        Ids heard;        // the setter announces its own id
    };
    const Case cases[] = {
        {15, 1, 4, "00100", {18}},
        {18, 5, 5, "10100", {13, 14, 15, 16, 17}},
        {18, 2.99995f, 2.99995f, "11000", {13, 14, 15, 16, 17}},
        {17, 0.99995f, 19, nullptr, {18}}, // 3 + 16
    };
    TovaHost host;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.value);
        ParameterListener listener(host.Unit(), {13, 14, 15, 16, 17, 18});
        ASSERT_EQ(noErr, host.Set(c.id, c.value));
        EXPECT_EQ(c.digi, host.Get(18));
        EXPECT_EQ(c.heard, listener.Ids());
        for (int bit = 0; c.bits != nullptr && bit < 5; ++bit)
            EXPECT_EQ(c.bits[bit] == '1' ? 1.0f : 0.0f, host.Get(13 + bit)) << bit;
    }
}

TEST(TovaParameters, ThirdRisingErasingErasesEverythingUnlessRecordingIntervenes)
{
    TovaHost host;
    CTovaProbe probe(host.Tova());
    probe.GiveSample(40, 1000);
    probe.GiveSample(70, 1000);
    // Rising edges 1, 2, then "Recording" restarts the count: 1, 2 (the repeated 1 is no edge).
    for (const float value : {1, 0, 1, 0})
        host.Set(kTovaParam_Erasing, value);
    host.Set(kTovaParam_Recording, 0);
    for (const float value : {1, 0, 1, 1})
        host.Set(kTovaParam_Erasing, value);
    host.Render(16);
    EXPECT_EQ(2, probe.EraseCount());
    EXPECT_NE(nullptr, probe.Key(40).Sample());

    host.Set(kTovaParam_Erasing, 0);
    host.Set(kTovaParam_Erasing, 1); // the third in a row
    host.Render(16);
    EXPECT_EQ(nullptr, probe.Key(40).Sample());
    EXPECT_EQ(nullptr, probe.Key(70).Sample());
    EXPECT_EQ(0, probe.EraseCount());
    EXPECT_EQ(0, probe.Factory().Fill());
}

TEST(TovaParameters, MemoryLockRefusesVisiblyAndStopsARecording)
{
    TovaHost host;
    CTovaProbe probe(host.Tova());
    host.Set(kTovaParam_Autolooper, 1);
    host.Set(kTovaParam_Copying, 1);
    host.Set(kTovaParam_Erasing, 1);
    {
        ParameterListener listener(host.Unit(), {4, 5, 7, 21, 23, 34});
        const CTova::Exclusive access(host.Tova()); // effects run at once on this thread
        probe.RecordKey() = 62;
        probe.PendingStop() = -1;
        probe.EraseCount() = 1;
        ASSERT_EQ(noErr, host.Set(kTovaParam_MemoryLock, 1));
        EXPECT_EQ(62, probe.PendingStop());
        EXPECT_EQ(0, probe.EraseCount());
        probe.RecordKey() = -1; // nothing was really recording
        // In this order; the lock itself is announced by whoever set it.
        EXPECT_EQ((Ids{4, 23, 7, 5}), listener.Ids());
    }
    EXPECT_EQ(1.0f, host.Get(kTovaParam_Autolooper)); // left as it was
    host.Set(kTovaParam_Autolooper, 0);
    for (const AudioUnitParameterID id : {4u, 5u, 7u, 21u, 23u})
    {
        SCOPED_TRACE(id);
        ParameterListener listener(host.Unit(), {id});
        EXPECT_EQ(0.0f, host.Get(id));
        EXPECT_EQ(noErr, host.Set(id, 1));
        EXPECT_EQ(0.0f, host.Get(id));      // switched off by the lock, and refused now
        ASSERT_EQ(Ids{id}, listener.Ids()); // one notification, carrying the attempt
        EXPECT_EQ(1.0f, listener.Heard()[0].second);
    }
}

TEST(TovaParameters, AutolooperChoosesTheFirstFreeKeyFromMiddleC)
{
    struct Case
    {
        const char* what;
        int ownTo; // keys 60 … ownTo share one own sample
        bool automatic;
        int chosen;
    };
    const Case cases[] = {
        {"60 and 61 taken", 61, false, 62},
        {"60 … 126 taken: 127 is never chosen", 126, false, -1},
        {"an automatic copy counts as free", 60, true, 60},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        TovaHost host;
        CTovaProbe probe(host.Tova());
        probe.GiveSample(60, 10);
        probe.Key(60).SetAutomatic(c.automatic);
        for (int k = 61; k <= c.ownTo; ++k)
            probe.Key(k) = probe.Key(60);
        const CTova::Exclusive access(host.Tova());
        host.Set(kTovaParam_Autolooper, 1);
        EXPECT_EQ(c.chosen, probe.PendingStart());
        EXPECT_EQ(c.chosen, probe.PriorKey());
        if (c.chosen < 0) continue;
        EXPECT_EQ(1.0f, host.Get(kTovaParam_Recording));
        host.Set(kTovaParam_Autolooper, 0);
        EXPECT_EQ(c.chosen, probe.PendingStop()); // a start not yet carried out is cancelled
        EXPECT_EQ(0.0f, host.Get(kTovaParam_Recording));
    }
}

TEST(CTovaProperties, MemoryUseIsTheFillInTenthsOfAPercentAndEraseAllEmptiesIt)
{
    TovaHost host;
    CTovaProbe probe(host.Tova());
    EXPECT_EQ(Get<UInt32>(host, kTovaProperty_MemoryUse), 0u);
    // trunc(fill × 0.0002 + 0.5)
    const std::pair<int, UInt32> cases[] = {
        {2500000, 500},  {96000, 19},    // 500 + 0.5, 19.2 + 0.5
        {2497499, 499},  {2497500, 500}, // 499.4998 + 0.5, 499.5 + 0.5
        {5000000, 1000},
    };
    for (const auto& [frames, use] : cases)
    {
        SCOPED_TRACE(frames);
        probe.GiveSample(1, frames);
        EXPECT_EQ(Get<UInt32>(host, kTovaProperty_MemoryUse), use);
        probe.Key(1).SetSample(nullptr);
    }
    probe.GiveSample(10, 1000);
    probe.GiveSample(20, 1000);
    ASSERT_EQ(Set(host, kTovaProperty_EraseAll, UInt32{0}), noErr);
    host.Render(64);
    EXPECT_EQ(probe.Key(10).Sample(), nullptr);
    EXPECT_EQ(Get<UInt32>(host, kTovaProperty_MemoryUse), 0u);
}

TEST(CTovaProperties, ArmingTakesParameterIdsAndArmingTwiceClearsTheParametersBindings)
{
    TovaHost host;
    const auto armed = [&] { return Get<SInt32>(host, kTovaProperty_MIDILearn); };
    EXPECT_EQ(armed(), -1);
    constexpr OSStatus kBad = kAudioUnitErr_InvalidPropertyValue;
    const std::pair<SInt32, OSStatus> cases[] = {
        {34, noErr}, {35, kBad}, {-2, kBad}, {65536 + 4, kBad}, // not cut to 16 bits
        {-1, noErr}, {0, noErr},
    };
    SInt32 expected = -1;
    for (const auto& [id, status] : cases)
    {
        SCOPED_TRACE(id);
        EXPECT_EQ(Set(host, kTovaProperty_MIDILearn, id), status);
        expected = status == noErr ? id : expected;
        EXPECT_EQ(armed(), expected);
    }
    EXPECT_EQ(Set(host, kTovaProperty_MIDILearn, SInt16{3}), kAudio_ParamError); // too short

    // Note 48 is bound to "Recording" by default; the pitch wheel is controller slot 128.
    CTova::SetLearnDefaults();
    CTovaProbe::LearnedCC(128) = kTovaParam_Recording;
    CTovaProbe::LearnedNote(60) = kTovaParam_Erasing;
    for (int twice = 0; twice < 2; ++twice)
        ASSERT_EQ(Set(host, kTovaProperty_MIDILearn, SInt32{kTovaParam_Recording}), noErr);
    EXPECT_EQ(armed(), -1);
    EXPECT_EQ(CTovaProbe::LearnedNote(48), -1);
    EXPECT_EQ(CTovaProbe::LearnedCC(128), -1);
    EXPECT_EQ(CTovaProbe::LearnedNote(60), kTovaParam_Erasing) << "other parameters stay";
    CTova::SetLearnDefaults();
}
