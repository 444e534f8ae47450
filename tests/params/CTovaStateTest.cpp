// Tova's preset state through the class-info property: the dictionary an empty instance saves,
// the round trip of keys, slots and frames into a fresh instance, shared and unnamed slots,
// the parameters a restore turns off, the stopped flag, and the states it refuses without
// changing anything.

#include "CTovaProbe.h"
#include "StateTestUtil.h"

#include "samples/CSample.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
const CFDictionaryStorage& Dict(const CFType& value)
{
    return value.AsDictionary();
}

// Key 10 holds slot 0 (1000 frames of 0.25, tempo 120) and key 20 slot 1 (500 frames of
// -0.5, no tempo, looping, pitch 1.5, speed 0.75, never looping, playing to its end, sync 3).
void RecordTwoKeys(TovaHost& host)
{
    CTovaProbe probe(host.Tova());
    probe.GiveSample(10, 1000, 0.25f, 120.0);
    CSample* second = probe.GiveSample(20, 500, -0.5f);
    second->SetNeverLoop(true);
    second->SetPlayAll(true);
    second->SetSync(3);
    CKeyInfo& key = probe.Key(20);
    key.SetLooping(true);
    key.SetPitchShift(1.5);
    key.SetSpeed(0.75);
}

std::vector<float> PoolFrames(TovaHost& host)
{
    CSampleFactory& pool = CTovaProbe(host.Tova()).Factory();
    std::vector<float> frames(pool.Left(), pool.Left() + pool.Fill());
    frames.insert(frames.end(), pool.Right(), pool.Right() + pool.Fill());
    return frames;
}

int PropertyCalls = 0;
void CountCall(void*, AudioUnit, AudioUnitPropertyID, AudioUnitScope, AudioUnitElement)
{
    ++PropertyCalls;
}
} // namespace

TEST(CTovaState, AnEmptyInstanceSavesAnEmptyPoolAnd128EmptyKeys)
{
    TovaHost host;
    const CFType state = SaveState(host);
    ASSERT_EQ(state.GetKind(), CFType::Kind::Dictionary);
    for (const char* key : {"version", "type", "subtype", "manufacturer", "data", "name"})
        EXPECT_EQ(Dict(state).count(key), 1u) << key;
    EXPECT_EQ(Dict(state).at("tova-version"), CFType::SInt32(1));
    EXPECT_EQ(Dict(state).at("tova-samples"),
              CFType::Dictionary({{"version", CFType::SInt32(1)}, {"length", CFType::SInt32(0)}}));
    const CFDictionaryStorage& keys = Dict(Dict(state).at("tova-keysinfo"));
    EXPECT_EQ(keys.at("version"), CFType::SInt32(1));
    const CFArrayStorage& data = keys.at("data").AsArray();
    ASSERT_EQ(data.size(), 128u);
    for (const CFType& key : data)
        EXPECT_EQ(key, CFType::Dictionary({{"id", CFType::SInt32(-1)}}));
}

TEST(CTovaState, ARestoreIntoAFreshInstanceReproducesEveryKeySlotAndFrame)
{
    TovaHost saved;
    RecordTwoKeys(saved);
    CTovaProbe(saved.Tova()).CopySample(10, 0, 126, true, false); // automatic copies around 10
    const CFType state = SaveState(saved);

    TovaHost restored;
    ASSERT_EQ(RestoreState(restored, state), noErr);
    CTovaProbe a(saved.Tova());
    CTovaProbe b(restored.Tova());
    for (int k = 0; k < CTova::kNumKeys; ++k)
    {
        SCOPED_TRACE(k);
        const CKeyInfo& x = a.Key(k);
        const CKeyInfo& y = b.Key(k);
        ASSERT_EQ(x.Sample() == nullptr, y.Sample() == nullptr);
        if (x.Sample() == nullptr) continue;
        EXPECT_EQ(x.Sample()->Index(), y.Sample()->Index());
        EXPECT_EQ(x.PitchShift(), y.PitchShift());
        EXPECT_EQ(x.Speed(), y.Speed());
        EXPECT_EQ(x.Automatic(), y.Automatic());
        EXPECT_EQ(x.Looping(), y.Looping());
    }
    for (int i = 0; i < CTova::kPoolSamples; ++i)
    {
        SCOPED_TRACE(i);
        const CSample& x = *a.Factory().GetSample(i);
        const CSample& y = *b.Factory().GetSample(i);
        ASSERT_EQ(x.IsUsed(), y.IsUsed());
        if (!x.IsUsed()) continue;
        EXPECT_EQ(x.RefCount(), y.RefCount());
        EXPECT_EQ(x.Start(), y.Start());
        EXPECT_EQ(x.Last(), y.Last());
        EXPECT_EQ(x.Size(), y.Size());
        EXPECT_EQ(x.Tempo(), y.Tempo());
        EXPECT_EQ(x.SampleRate(), y.SampleRate());
        EXPECT_EQ(x.Sync(), y.Sync());
        EXPECT_EQ(x.NeverLoop(), y.NeverLoop());
        EXPECT_EQ(x.PlayAll(), y.PlayAll());
    }
    EXPECT_EQ(PoolFrames(saved), PoolFrames(restored));
    EXPECT_EQ(SaveState(restored), state) << "and it saves what it was given";
}

TEST(CTovaState, ASlotNamedByTwoKeysCountsTwoAndOneNamedByNoneIsFree)
{
    TovaHost saved;
    RecordTwoKeys(saved);
    CFType state = SaveState(saved);
    state =
        WithEntry(state, "tova-keysinfo", 11, [](CACFDictionary& key) { key.AddSInt32("id", 0); });
    state = WithEntry(state, "tova-keysinfo", 20, [](CACFDictionary& key) { key = {}; });

    TovaHost restored;
    ASSERT_EQ(RestoreState(restored, state), noErr);
    CTovaProbe probe(restored.Tova());
    EXPECT_EQ(probe.Factory().GetSample(0)->RefCount(), 2);
    EXPECT_EQ(probe.Key(11).Sample(), probe.Factory().GetSample(0));
    EXPECT_FALSE(probe.Factory().GetSample(1)->IsUsed());
    EXPECT_EQ(probe.Key(20).Sample(), nullptr);
    EXPECT_EQ(probe.Factory().Fill(), 1500) << "the free slot's frames still count";
}

TEST(CTovaState, OneShotSwitchesReadZeroAndMemoryLockedSwitchesOffAfterARestore)
{
    TovaHost host;
    CFType state = SaveState(host);
    for (const AudioUnitParameterID id :
         {kTovaParam_AllSoundsOff, kTovaParam_ToggleAutolooper, kTovaParam_StopPrior})
        state = WithParameter(state, id, 1.0f);
    state = WithParameter(state, kTovaParam_TapeSpeed, 1.5f);
    ASSERT_EQ(RestoreState(host, state), noErr);
    EXPECT_EQ(host.Get(kTovaParam_AllSoundsOff), 0.0f);
    EXPECT_EQ(host.Get(kTovaParam_ToggleAutolooper), 0.0f);
    EXPECT_EQ(host.Get(kTovaParam_StopPrior), 0.0f);
    EXPECT_EQ(host.Get(kTovaParam_TapeSpeed), 1.5f);

    state = WithParameter(SaveState(host), kTovaParam_MemoryLock, 1.0f);
    for (const AudioUnitParameterID id :
         {kTovaParam_Recording, kTovaParam_Erasing, kTovaParam_Copying, kTovaParam_Autolooper,
          kTovaParam_ToggleAutolooper})
        state = WithParameter(state, id, 1.0f);
    ASSERT_EQ(RestoreState(host, state), noErr);
    EXPECT_EQ(host.Get(kTovaParam_MemoryLock), 1.0f);
    for (const AudioUnitParameterID id :
         {kTovaParam_Recording, kTovaParam_Erasing, kTovaParam_Copying, kTovaParam_Autolooper,
          kTovaParam_ToggleAutolooper})
        EXPECT_EQ(host.Get(id), 0.0f) << id;
}

TEST(CTovaState, ARestoreSetsTheStoppedFlagAndAnnouncesIt)
{
    TovaHost host;
    ASSERT_EQ(AudioUnitAddPropertyListener(host.Unit(), kTovaProperty_Stopped, CountCall, nullptr),
              noErr);
    const CFType state = SaveState(host);
    PropertyCalls = 0;
    ASSERT_EQ(RestoreState(host, state), noErr);
    EXPECT_EQ(PropertyCalls, 1);
    UInt32 stopped = 0;
    UInt32 size = sizeof stopped;
    EXPECT_EQ(AudioUnitGetProperty(host.Unit(), kTovaProperty_Stopped, kAudioUnitScope_Global, 0,
                                   &stopped, &size),
              noErr);
    EXPECT_EQ(stopped, 1u);

    // Also when the frame refuses the state.
    CFType foreign = state;
    foreign.AsDictionary()["subtype"] = CFType::SInt32(0x6F746872); // 'othr'
    PropertyCalls = 0;
    EXPECT_EQ(RestoreState(host, foreign), kAudioUnitErr_InvalidPropertyValue);
    EXPECT_EQ(PropertyCalls, 1);
}

TEST(CTovaState, AnotherComponentsStateIsRefusedAndTheContentStays)
{
    TovaHost host;
    RecordTwoKeys(host);
    CFType state = WithParameter(SaveState(host), kTovaParam_TapeSpeed, 1.5f);
    state =
        WithDictionary(state, "tova-samples", [](CACFDictionary& d) { d.AddSInt32("length", 0); });
    state.AsDictionary()["subtype"] = CFType::SInt32(0x6F746872); // 'othr'
    const CFType before = SaveState(host);
    EXPECT_EQ(RestoreState(host, state), kAudioUnitErr_InvalidPropertyValue);
    EXPECT_EQ(SaveState(host), before);
    EXPECT_EQ(host.Get(kTovaParam_TapeSpeed), 1.0f);
}

TEST(CTovaState, MalformedContentIsRefusedBeforeAnythingChanges)
{
    TovaHost host;
    RecordTwoKeys(host);
    const CFType good = WithParameter(SaveState(host), kTovaParam_TapeSpeed, 1.5f);
    struct Case
    {
        const char* name;
        CFType state;
    };
    auto top = [&](const char* key, CFType value)
    {
        CFType state = good;
        state.AsDictionary()[key] = std::move(value);
        return state;
    };
    const Case cases[] = {
        {"samples not a dictionary", top("tova-samples", CFType::SInt32(1))},
        {"keys not a dictionary", top("tova-keysinfo", CFType::Array())},
        // One way out of the pool stands for all of them (the pool's own tests go through each).
        {"slots overlapping",
         WithEntry(good, "tova-samples", 1, [](CACFDictionary& d) { d.AddSInt32("start", 999); })},
        {"keys without data",
         WithDictionary(good, "tova-keysinfo",
                        [](CACFDictionary& d) { d.GetCFType().AsDictionary().erase("data"); })},
        {"a key on slot 64",
         WithEntry(good, "tova-keysinfo", 5, [](CACFDictionary& d) { d.AddSInt32("id", 64); })},
        {"a key on a free slot",
         WithEntry(good, "tova-keysinfo", 5, [](CACFDictionary& d) { d.AddSInt32("id", 2); })},
        {"a pitch as text", WithEntry(good, "tova-keysinfo", 10,
                                      [](CACFDictionary& d) { d.AddString("pitchshift", "1.0"); })},
        {"an id as a real beyond 32 bits",
         WithEntry(good, "tova-keysinfo", 10, [](CACFDictionary& d) { d.AddFloat64("id", 1e12); })},
    };
    const CFType before = SaveState(host);
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(RestoreState(host, c.state), kAudioUnitErr_InvalidPropertyValue);
        EXPECT_EQ(SaveState(host), before);
    }
    EXPECT_EQ(host.Get(kTovaParam_TapeSpeed), 1.0f);
    ASSERT_EQ(RestoreState(host, good), noErr) << "the unchanged state is fine";
    EXPECT_EQ(host.Get(kTovaParam_TapeSpeed), 1.5f);
}

TEST(CTovaState, WithoutAPoolEverythingIsErasedAndWithoutKeysNoKeyHoldsASample)
{
    TovaHost host;
    RecordTwoKeys(host);
    CFType state = SaveState(host);
    CFType withoutKeys = state;
    withoutKeys.AsDictionary().erase("tova-keysinfo");
    ASSERT_EQ(RestoreState(host, withoutKeys), noErr);
    CTovaProbe probe(host.Tova());
    EXPECT_EQ(probe.Factory().Fill(), 1500);
    for (int k = 0; k < CTova::kNumKeys; ++k)
        EXPECT_EQ(probe.Key(k).Sample(), nullptr) << k;

    state.AsDictionary().erase("tova-samples");
    ASSERT_EQ(RestoreState(host, state), noErr);
    EXPECT_EQ(probe.Factory().Fill(), 0);
    for (int i = 0; i < CTova::kPoolSamples; ++i)
        EXPECT_FALSE(probe.Factory().GetSample(i)->IsUsed()) << i;
    for (int k = 0; k < CTova::kNumKeys; ++k)
        EXPECT_EQ(probe.Key(k).Sample(), nullptr) << k;
}

TEST(CTovaState, ARecordingInProgressIsLeftOutOfTheSave)
{
    TovaHost host(44100, 512);
    host.SetInput(TovaHost::Constant(44100, 0.5f));
    RecordTwoKeys(host);
    host.Set(kTovaParam_Threshold, -20); // 2^-20: the input starts the take at once
    host.Set(kTovaParam_Recording, 1);
    host.NoteOn(60);
    host.Render(512);
    host.Render(512);
    CTovaProbe probe(host.Tova());
    ASSERT_NE(probe.RecordSample(), nullptr);
    ASSERT_GT(probe.RecordSample()->Size(), 0);
    const CFType state = SaveState(host);
    const CFDictionaryStorage& samples = Dict(Dict(state).at("tova-samples"));
    EXPECT_EQ(samples.at("length"), CFType::SInt32(1500));
    const CFArrayStorage& slots = samples.at("data").AsArray();
    EXPECT_EQ(slots.at(probe.RecordSample()->Index()),
              CFType::Dictionary({{"size", CFType::SInt32(0)}}));
    EXPECT_EQ(Dict(Dict(Dict(state).at("tova-keysinfo")).at("data").AsArray().at(60)).at("id"),
              CFType::SInt32(-1));
}
