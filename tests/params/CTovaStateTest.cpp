// Tova's preset state through the class-info property: the round trip into a fresh instance,
// what a restore switches off, a recording left out of the save, and the states refused
// before anything changes.

#include "CTovaProbe.h"
#include "StateTestUtil.h"

#include "samples/CSample.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
// Key 10 holds slot 0 (1000 frames of 0.25, tempo 120), key 20 slot 1 (500 frames of -0.5,
// looping, pitch 1.5, speed 0.75, never looping, playing to its end, sync 3).
void RecordTwoKeys(TovaHost& host)
{
    CTovaProbe probe(host.Tova());
    probe.GiveSample(10, 1000, 0.25f, 120.0);
    CSample* second = probe.GiveSample(20, 500, -0.5f);
    second->SetNeverLoop(true);
    second->SetPlayAll(true);
    second->SetSync(3);
    probe.Key(20).SetLooping(true);
    probe.Key(20).SetPitchShift(1.5);
    probe.Key(20).SetSpeed(0.75);
}

std::vector<float> PoolFrames(TovaHost& host)
{
    CSampleFactory& pool = CTovaProbe(host.Tova()).Factory();
    std::vector<float> frames(pool.Left(), pool.Left() + pool.Fill());
    frames.insert(frames.end(), pool.Right(), pool.Right() + pool.Fill());
    return frames;
}
} // namespace

TEST(CTovaState, ARestoreIntoAFreshInstanceReproducesEveryKeySlotAndFrame)
{
    TovaHost saved;
    RecordTwoKeys(saved);
    CTovaProbe(saved.Tova()).CopySample(10, 0, 126, true, false); // automatic copies around 10
    const CFType state = SaveState(saved);

    TovaHost restored;
    ASSERT_EQ(RestoreState(restored, state), noErr);
    CTovaProbe probe(restored.Tova());
    EXPECT_EQ(PoolFrames(saved), PoolFrames(restored));
    EXPECT_EQ(SaveState(restored), state);
    const CSample* second = probe.Key(20).Sample();
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(second->Start() == 1000 && second->Size() == 500 && second->Sync() == 3);
    EXPECT_TRUE(second->NeverLoop() && second->PlayAll() && probe.Key(20).Looping());
    EXPECT_TRUE(probe.Key(20).PitchShift() == 1.5 && probe.Key(20).Speed() == 0.75);
    EXPECT_EQ(probe.Key(10).Sample()->Tempo(), 120.0);
    EXPECT_EQ(probe.Key(10).Sample()->RefCount(), 15); // keys 0 … 14: halfway up to key 20
}

TEST(CTovaState, ARestoreSwitchesOffOneShotsAndUnderMemoryLockWhatTheLockForbids)
{
    TovaHost host;
    CFType state = WithParameter(SaveState(host), kTovaParam_TapeSpeed, 1.5f);
    const auto off = {kTovaParam_AllSoundsOff, kTovaParam_ToggleAutolooper, kTovaParam_StopPrior,
                      kTovaParam_Recording,    kTovaParam_Erasing,          kTovaParam_Copying,
                      kTovaParam_Autolooper};
    for (const AudioUnitParameterID id : off)
        state = WithParameter(state, id, 1.0f);
    ASSERT_EQ(RestoreState(host, WithParameter(state, kTovaParam_MemoryLock, 1.0f)), noErr);
    EXPECT_EQ(host.Get(kTovaParam_TapeSpeed), 1.5f);
    EXPECT_EQ(host.Get(kTovaParam_MemoryLock), 1.0f);
    for (const AudioUnitParameterID id : off)
        EXPECT_EQ(host.Get(id), 0.0f) << id;
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
    const CSample* take = CTovaProbe(host.Tova()).RecordSample();
    ASSERT_TRUE(take != nullptr && take->Size() > 0);
    // The pool keeps the 1000 + 500 frames of keys 10 and 20; the take's slot and key are empty.
    TovaHost restored;
    ASSERT_EQ(RestoreState(restored, SaveState(host)), noErr);
    CTovaProbe probe(restored.Tova());
    EXPECT_EQ(probe.Factory().Fill(), 1500);
    EXPECT_FALSE(probe.Factory().GetSample(take->Index())->IsUsed());
    EXPECT_EQ(probe.Key(60).Sample(), nullptr);
}

TEST(CTovaState, MalformedStatesAreRefusedBeforeAnythingChanges)
{
    TovaHost host;
    RecordTwoKeys(host);
    const CFType good = WithParameter(SaveState(host), kTovaParam_TapeSpeed, 1.5f);
    auto top = [&](const char* key, CFType value)
    {
        CFType state = good;
        state.AsDictionary()[key] = std::move(value);
        return state;
    };
    auto key = [&](std::size_t k, const Edit& edit)
    { return WithEntry(good, "tova-keysinfo", k, edit); };
    CFType withoutType = good;
    withoutType.AsDictionary().erase("type");
    // Parameter records of scope 4: scope, element, count, then (id, value) pairs.
    const CFDataStorage scope4 = {0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 6, 0x3F, 0, 0, 0};
    struct Case
    {
        const char* what;
        CFType state;
        OSStatus status = kAudioUnitErr_InvalidPropertyValue;
    };
    const Case cases[] = {
        {"not a dictionary", CFType::Array()},
        {"has a part key", top("part", CFType::SInt32(1))},
        {"version 1", top("version", CFType::SInt32(1))},
        {"no type", withoutType},
        {"another component's state", top("subtype", CFType::SInt32(0x6F746872))}, // 'othr'
        {"parameters that are no byte string", top("data", CFType::String("x"))},
        {"a parameter record of scope 4", top("data", CFType::Data(scope4)),
         kAudioUnitErr_InvalidScope},
        {"samples not a dictionary", top("tova-samples", CFType::SInt32(1))},
        {"keys not a dictionary", top("tova-keysinfo", CFType::Array())},
        // One way out of the pool stands for all of them (the pool's own tests go through each).
        {"slots overlapping",
         WithEntry(good, "tova-samples", 1, [](CACFDictionary& d) { d.AddSInt32("start", 999); })},
        {"keys without data",
         top("tova-keysinfo", CFType::Dictionary({{"version", CFType::SInt32(1)}}))},
        {"a key on slot 64", key(5, [](CACFDictionary& d) { d.AddSInt32("id", 64); })},
        {"a key on a free slot", key(5, [](CACFDictionary& d) { d.AddSInt32("id", 2); })},
        {"a pitch as text", key(10, [](CACFDictionary& d) { d.AddString("pitchshift", "1.0"); })},
        {"an id beyond 32 bits", key(10, [](CACFDictionary& d) { d.AddFloat64("id", 1e12); })},
    };
    const CFType before = SaveState(host);
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(RestoreState(host, c.state), c.status);
        EXPECT_EQ(SaveState(host), before);
    }
    EXPECT_EQ(host.Get(kTovaParam_TapeSpeed), 1.0f);
    ASSERT_EQ(RestoreState(host, good), noErr) << "the unchanged state is fine";
    EXPECT_EQ(host.Get(kTovaParam_TapeSpeed), 1.5f);
}
