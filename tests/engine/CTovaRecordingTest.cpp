// Recording through the autolooper, spreading a sample over its neighbours, and "Stop Prior".

#include "integration/CTovaProbe.h"
#include "integration/TovaHost.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(TovaRecording, AutolooperRecordsOnTheFirstFreeKeyAndPlaysTheLoop)
{
    TovaHost host(48000);
    CTovaProbe probe(host.Tova());
    // Silence first: without sync the recording starts with the first frame above 2^−8.
    TovaHost::Stereo input = TovaHost::Constant(48000, 0.5f);
    for (std::size_t i = 0; i < 1000; ++i)
        input.left[i] = input.right[i] = 0.001f;
    host.SetInput(std::move(input));
    host.Set(kTovaParam_Autolooper, 1);
    ASSERT_EQ(noErr, host.RenderFrames(10000, 250));
    EXPECT_EQ(60, probe.RecordKey());
    host.Set(kTovaParam_Autolooper, 0);
    ASSERT_EQ(noErr, host.Render(250));
    EXPECT_EQ(-1, probe.RecordKey());
    ASSERT_NE(nullptr, probe.Key(60).Sample());
    EXPECT_EQ(9000, probe.Key(60).Size()); // 10000 frames rendered, the first 1000 too quiet
    EXPECT_FALSE(probe.Key(60).Automatic());
    EXPECT_EQ(0, probe.Key(60).Sample()->Sync());
    // Copies on the neighbours, transposed by their distance.
    EXPECT_TRUE(probe.Key(1).Automatic());
    EXPECT_TRUE(probe.Key(125).Automatic());
    EXPECT_EQ(nullptr, probe.Key(126).Sample());
    EXPECT_EQ(nullptr, probe.Key(0).Sample());
    EXPECT_DOUBLE_EQ(std::exp2(-12 / 12.0), probe.Key(48).PitchShift());
    // Played as soon as it ended, without counting as a held note.
    EXPECT_EQ(1, probe.Voicer(0).Top());
    EXPECT_EQ(0, probe.HeldCount());
    EXPECT_EQ(0.0f, host.Get(kTovaParam_Recording));
}

TEST(TovaRecording, EachOwnSampleRulesTheKeysUpToTheMidpoint)
{
    TovaHost host(48000);
    CTovaProbe probe(host.Tova());
    const CTova::Exclusive access(host.Tova());
    probe.GiveSample(48, 1000);
    probe.GiveSample(60, 1000);
    probe.CopySample(60, 1, 126, true, false);
    // Down: 48 is the next own sample, (60 − 48) div 2 = 6 → keys 54 … 59; up: 61 … 125.
    EXPECT_EQ(nullptr, probe.Key(53).Sample());
    for (int k = 54; k <= 125; ++k)
    {
        if (k == 60) continue;
        SCOPED_TRACE(k);
        EXPECT_EQ(probe.Key(60).Sample(), probe.Key(k).Sample());
        EXPECT_TRUE(probe.Key(k).Automatic());
    }
    EXPECT_EQ(nullptr, probe.Key(126).Sample());
    EXPECT_DOUBLE_EQ(std::exp2(-6 / 12.0), probe.Key(54).PitchShift());
    EXPECT_FALSE(probe.Key(48).Automatic());

    probe.CopySample(0, 0, 126, true, true); // key 0 has no sample and never writes below 0
    EXPECT_EQ(nullptr, probe.Key(0).Sample());
}

TEST(TovaRecording, StopPriorDiscardsARecordingWithItsCopies)
{
    TovaHost host(48000);
    CTovaProbe probe(host.Tova());
    host.SetInput(TovaHost::Constant(48000, 0.5f));
    host.Set(kTovaParam_Autolooper, 1);
    ASSERT_EQ(noErr, host.RenderFrames(4000, 250));
    ASSERT_EQ(60, probe.RecordKey());
    host.Set(kTovaParam_StopPrior, 1);
    ASSERT_EQ(noErr, host.Render(250));
    EXPECT_EQ(-1, probe.RecordKey());
    for (int k = 0; k < CTova::kNumKeys; ++k)
        ASSERT_EQ(nullptr, probe.Key(k).Sample()) << k;
    EXPECT_EQ(0, probe.Factory().Fill());
    EXPECT_EQ(0.0f, host.Get(kTovaParam_Autolooper));
    EXPECT_EQ(0, probe.Voicer(0).Top());
}
