// The parameter table, its value strings and the side effects of setting parameters.

#include "integration/CTovaProbe.h"
#include "integration/ParameterListener.h"
#include "integration/TovaHost.h"

#include "platform/AudioUnitUtilities.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace
{
using Listener = ParameterListener;
using Ids = std::vector<AudioUnitParameterID>;

// Gives key an own (manual) sample.
void GiveOwnSample(CTovaProbe& probe, int key)
{
    probe.GiveSample(key, 1000);
}
} // namespace

TEST(TovaParameters, InfoRowsAndTheSentinelThatIsNeverPublished)
{
    TovaHost host;
    AudioUnitParameterInfo info;
    EXPECT_EQ(kAudioUnitErr_InvalidParameter,
              host.Tova().GetParameterInfo(kAudioUnitScope_Global, 35, info));
    EXPECT_EQ(kAudioUnitErr_InvalidParameter,
              host.Tova().GetParameterInfo(kAudioUnitScope_Input, 0, info));
    EXPECT_STREQ("LAST", CTova::s_asParInfo[35].name);

    ASSERT_EQ(noErr, host.Tova().GetParameterInfo(kAudioUnitScope_Global, 6, info));
    EXPECT_STREQ("Tape smoothing", info.name);
    EXPECT_STREQ("Tape smoothing", info.cfNameString);
    EXPECT_EQ(nullptr, info.unitName);
    EXPECT_EQ(0.1f, info.defaultValue);
    EXPECT_EQ(0xC8000000u, info.flags); // readable | writable | has name string
    // The rest of the name array is zero.
    for (std::size_t i = std::strlen(info.name); i < sizeof info.name; ++i)
        EXPECT_EQ('\0', info.name[i]);

    ASSERT_EQ(noErr, host.Tova().GetParameterInfo(kAudioUnitScope_Global, 21, info));
    EXPECT_EQ(0xE8000000u, info.flags); // … | element meta
    ASSERT_EQ(noErr, host.Tova().GetParameterInfo(kAudioUnitScope_Global, 30, info));
    EXPECT_STREQ("Reverb:Room Size", info.name);
    EXPECT_EQ(0x48000000u, info.flags); // readable | has name string
    EXPECT_EQ(0.7f, info.minValue);
    EXPECT_EQ(0.84f, info.defaultValue);
    ASSERT_EQ(noErr, host.Tova().GetParameterInfo(kAudioUnitScope_Global, 33, info));
    EXPECT_EQ(5000000.0f, info.maxValue);

    // Every parameter starts at its default; the published ids are exactly 0 … 34.
    UInt32 size = 0;
    ASSERT_EQ(noErr, AudioUnitGetProperty(host.Unit(), kAudioUnitProperty_ParameterList,
                                          kAudioUnitScope_Global, 0, nullptr, &size));
    std::vector<AudioUnitParameterID> ids(size / sizeof(AudioUnitParameterID));
    ASSERT_EQ(noErr, AudioUnitGetProperty(host.Unit(), kAudioUnitProperty_ParameterList,
                                          kAudioUnitScope_Global, 0, ids.data(), &size));
    ASSERT_EQ(35u, ids.size());
    for (AudioUnitParameterID id = 0; id < 35; ++id)
    {
        SCOPED_TRACE(id);
        EXPECT_EQ(id, ids[id]);
        EXPECT_EQ(CTova::s_asParInfo[id].defaultValue, host.Get(id));
    }
}

TEST(TovaParameters, ValueStrings)
{
    TovaHost host;
    CTova& tova = host.Tova();
    CFType strings;
    EXPECT_EQ(kAudioUnitErr_InvalidProperty,
              tova.GetParameterValueStrings(kAudioUnitScope_Global, 22, &strings));
    EXPECT_EQ(kAudioUnitErr_InvalidProperty,
              tova.GetParameterValueStrings(kAudioUnitScope_Input, 9, &strings));
    EXPECT_EQ(noErr, tova.GetParameterValueStrings(kAudioUnitScope_Global, 25, nullptr));

    auto text = [&](AudioUnitParameterID id, std::size_t index)
    {
        CFType s;
        EXPECT_EQ(noErr, tova.GetParameterValueStrings(kAudioUnitScope_Global, id, &s));
        return s.AsArray().at(index).AsString();
    };
    auto count = [&](AudioUnitParameterID id)
    {
        CFType s;
        EXPECT_EQ(noErr, tova.GetParameterValueStrings(kAudioUnitScope_Global, id, &s));
        return s.AsArray().size();
    };
    EXPECT_EQ(3u, count(9));
    EXPECT_EQ("To Bar", text(9, 2));
    EXPECT_EQ(4u, count(10));
    EXPECT_EQ("As Recorded", text(10, 3));
    EXPECT_EQ("Record", text(11, 3));
    EXPECT_EQ(32u, count(18));
    const char* digi[] = {"0", "1/8", "1/4", "3/8", "1/2", "5/8", "3/4", "7/8", "1", "1+1/8"};
    for (std::size_t i = 0; i < std::size(digi); ++i)
        EXPECT_EQ(digi[i], text(18, i));
    EXPECT_EQ("2+3/4", text(18, 22)); // 22 eighths
    EXPECT_EQ("3+7/8", text(18, 31));
    EXPECT_EQ(65u, count(25));
    EXPECT_EQ("none", text(25, 0));
    EXPECT_EQ("32", text(25, 1));
    EXPECT_EQ("1024", text(25, 32)); // 32 × 32
    EXPECT_EQ("2048", text(25, 64));
}

TEST(TovaParameters, DigiBitsAndDigiValueFollowEachOther)
{
    TovaHost host;
    {
        SCOPED_TRACE("bit 2 alone makes 4 and announces id 18");
        Listener listener(host.Unit(), {13, 14, 15, 16, 17, 18});
        ASSERT_EQ(noErr, host.Set(15, 1));
        EXPECT_EQ(4.0f, host.Get(18));
        EXPECT_EQ(1.0f, host.Get(15));
        EXPECT_EQ(Ids{18}, listener.Ids());
    }
    {
        SCOPED_TRACE("5 sets bits 1, 0, 1, 0, 0 and announces 13 … 17 in order");
        Listener listener(host.Unit(), {13, 14, 15, 16, 17, 18});
        ASSERT_EQ(noErr, host.Set(18, 5));
        const float expected[] = {1, 0, 1, 0, 0};
        for (int bit = 0; bit < 5; ++bit)
            EXPECT_EQ(expected[bit], host.Get(13 + bit)) << bit;
        EXPECT_EQ((Ids{13, 14, 15, 16, 17}), listener.Ids());
    }
    {
        SCOPED_TRACE("2.99995 counts as 3, but keeps its own value");
        ASSERT_EQ(noErr, host.Set(18, 2.99995f));
        const float expected[] = {1, 1, 0, 0, 0};
        for (int bit = 0; bit < 5; ++bit)
            EXPECT_EQ(expected[bit], host.Get(13 + bit)) << bit;
        EXPECT_EQ(2.99995f, host.Get(18));
    }
    {
        SCOPED_TRACE("a bit of 0.99995 counts as 1 (0.0001 is added before truncation)");
        ASSERT_EQ(noErr, host.Set(18, 0));
        ASSERT_EQ(noErr, host.Set(17, 0.99995f));
        EXPECT_EQ(16.0f, host.Get(18));
    }
}

TEST(TovaParameters, ThirdRisingErasingErasesEverythingUnlessRecordingIntervenes)
{
    TovaHost host;
    CTovaProbe probe(host.Tova());
    GiveOwnSample(probe, 40);
    GiveOwnSample(probe, 70);
    auto press = [&]
    {
        host.Set(kTovaParam_Erasing, 1);
        host.Set(kTovaParam_Erasing, 0);
    };

    press();
    press();
    host.Set(kTovaParam_Recording, 0); // a change of "Recording" restarts the count
    press();
    host.Set(kTovaParam_Erasing, 1);
    host.Set(kTovaParam_Erasing, 1); // not a rising edge
    host.Render(16);
    EXPECT_EQ(2, probe.EraseCount());
    EXPECT_NE(nullptr, probe.Key(40).Sample());

    host.Set(kTovaParam_Erasing, 0);
    host.Set(kTovaParam_Erasing, 1); // the third in a row
    host.Render(16);
    for (int k = 0; k < CTova::kNumKeys; ++k)
        ASSERT_EQ(nullptr, probe.Key(k).Sample()) << k;
    EXPECT_EQ(0, probe.EraseCount());
    EXPECT_EQ(0, probe.Factory().Fill());
}

TEST(TovaParameters, MemoryLockRefusesVisibly)
{
    TovaHost host;
    ASSERT_EQ(noErr, host.Set(kTovaParam_MemoryLock, 1));
    for (const AudioUnitParameterID id : {4u, 5u, 7u, 21u, 23u})
    {
        SCOPED_TRACE(id);
        Listener listener(host.Unit(), {id});
        EXPECT_EQ(noErr, host.Set(id, 1));
        EXPECT_EQ(0.0f, host.Get(id));
        ASSERT_EQ(Ids{id}, listener.Ids()); // exactly one notification, with the attempt
        EXPECT_EQ(1.0f, listener.Heard()[0].second);
    }
    host.Render(16);
    CTovaProbe probe(host.Tova());
    EXPECT_EQ(-1, probe.PendingStart()); // "Autolooper" chose no key
}

TEST(TovaParameters, LockingWhileRecordingStopsItAndLeavesTheAutolooper)
{
    TovaHost host;
    CTovaProbe probe(host.Tova());
    host.Set(kTovaParam_Autolooper, 1);
    host.Set(kTovaParam_Copying, 1);
    host.Set(kTovaParam_Erasing, 1);
    Listener listener(host.Unit(), {4, 5, 7, 21, 23, 34});
    {
        const CTova::Exclusive access(host.Tova()); // effects run at once on this thread
        probe.RecordKey() = 62;
        probe.PendingStop() = -1;
        probe.EraseCount() = 1;
        ASSERT_EQ(noErr, host.Set(kTovaParam_MemoryLock, 1));
        EXPECT_EQ(62, probe.PendingStop());
        EXPECT_EQ(0, probe.EraseCount());
        probe.RecordKey() = -1; // nothing was really recording
    }
    EXPECT_EQ(1.0f, host.Get(kTovaParam_Autolooper));
    EXPECT_EQ(0.0f, host.Get(kTovaParam_Recording));
    EXPECT_EQ(0.0f, host.Get(kTovaParam_Copying));
    EXPECT_EQ(0.0f, host.Get(kTovaParam_Erasing));
    EXPECT_EQ(0.0f, host.Get(kTovaParam_ToggleAutolooper));
    EXPECT_EQ(1.0f, host.Get(kTovaParam_MemoryLock));
    // In the stated order; the lock itself is announced by whoever set it.
    EXPECT_EQ((Ids{4, 23, 7, 5}), listener.Ids());
}

TEST(TovaParameters, AutolooperChoosesTheFirstFreeKeyFromMiddleC)
{
    {
        SCOPED_TRACE("60 and 61 taken, 62 free");
        TovaHost host;
        CTovaProbe probe(host.Tova());
        GiveOwnSample(probe, 60);
        GiveOwnSample(probe, 61);
        host.Set(kTovaParam_Autolooper, 1);
        const CTova::Exclusive access(host.Tova());
        EXPECT_EQ(62, probe.PendingStart());
        EXPECT_EQ(62, probe.PriorKey());
        EXPECT_EQ(1, probe.PlayAfterRecord());
        EXPECT_EQ(1.0f, host.Get(kTovaParam_Recording));
    }
    {
        SCOPED_TRACE("60 … 126 taken: no key, 127 is never chosen");
        TovaHost host;
        CTovaProbe probe(host.Tova());
        GiveOwnSample(probe, 60);
        for (int k = 61; k <= 126; ++k)
        {
            probe.Key(k) = probe.Key(60);
            probe.Key(k).SetAutomatic(false);
        }
        host.Set(kTovaParam_Autolooper, 1);
        const CTova::Exclusive access(host.Tova());
        EXPECT_EQ(-1, probe.PendingStart());
        EXPECT_EQ(-1, probe.PriorKey());
    }
    {
        SCOPED_TRACE("an automatic copy counts as free; switching off requests the stop");
        TovaHost host;
        CTovaProbe probe(host.Tova());
        GiveOwnSample(probe, 60);
        probe.Key(60).SetAutomatic(true);
        const CTova::Exclusive access(host.Tova());
        host.Set(kTovaParam_Autolooper, 1);
        EXPECT_EQ(60, probe.PendingStart());
        host.Set(kTovaParam_Autolooper, 0);
        EXPECT_EQ(60, probe.PendingStop()); // a start not yet carried out is cancelled
        EXPECT_EQ(0.0f, host.Get(kTovaParam_Recording));
    }
}

TEST(TovaParameters, ToggleAutolooperFlipsItAndAnnouncesInOrder)
{
    TovaHost host;
    Listener listener(host.Unit(), {4, 21, 23});
    host.Set(kTovaParam_ToggleAutolooper, 1);
    EXPECT_EQ(1.0f, host.Get(kTovaParam_Autolooper));
    // Inside the set of 21: "Recording" announced; then the set itself; then the toggle's own.
    EXPECT_EQ((Ids{4, 21, 21}), listener.Ids());
    host.Set(kTovaParam_ToggleAutolooper, 0); // a momentary button: release does nothing
    host.Set(kTovaParam_ToggleAutolooper, 1);
    EXPECT_EQ(0.0f, host.Get(kTovaParam_Autolooper));
}

TEST(TovaParameters, FreezeRequests)
{
    TovaHost host;
    CTovaProbe probe(host.Tova());
    {
        const CTova::Exclusive access(host.Tova());
        host.Set(kTovaParam_Freeze, 1);
        EXPECT_EQ(0, probe.FreezeState());
        host.Set(kTovaParam_Freeze, 1); // twice in a row: still requested
        EXPECT_EQ(0, probe.FreezeState());
        host.Set(kTovaParam_Freeze, 0.1f); // exactly the threshold changes nothing
        EXPECT_EQ(0, probe.FreezeState());
        host.Set(kTovaParam_Freeze, 0);
        EXPECT_EQ(1, probe.FreezeState());
    }
    {
        SCOPED_TRACE("many requests between two cycles: only the latest counts");
        for (int i = 0; i < 5000; ++i)
            host.Set(kTovaParam_Freeze, static_cast<float>(i % 2));
        host.Render(16);
        EXPECT_EQ(2, probe.FreezeState()); // the last, 4999 % 2 = 1, asked for freezing
    }
}

TEST(TovaParameters, ReverbSettingsReachTheReverbBeforeItsNextPass)
{
    TovaHost host;
    CTovaProbe probe(host.Tova());
    const float before = probe.Reverb().getwet();
    for (int i = 0; i < 3000; ++i) // a flood coalesces into one pending change
        host.Set(kTovaParam_ReverbWet, 0.001f * static_cast<float>(i));
    host.Set(kTovaParam_ReverbRoomSize, 0.8f);
    EXPECT_EQ(before, probe.Reverb().getwet()); // not yet: the render thread applies it
    host.Render(16);
    EXPECT_EQ(0.001f * 2999.0f, probe.Reverb().getwet());
    EXPECT_EQ(0.8f, probe.Reverb().getroomsize());
}
