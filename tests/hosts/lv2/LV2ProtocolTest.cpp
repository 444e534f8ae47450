// The UI-facing protocol on the atom ports, against the test component's properties.

#include "LV2TestUtil.h"

#include <gtest/gtest.h>

#include <fstream>

TEST(LV2Protocol, ImportThroughTheWorkerAnswersAndMemoryFollows)
{
    for (const bool worker : {true, false})
    {
        SCOPED_TRACE(worker ? "worker" : "no worker: done inside run");
        LilvTestHost host(TEST_BUNDLE, kRate, worker);
        ASSERT_TRUE(host.Ok());
        host.Run(64); // memory use is reported once at the start
        const std::string file = ScratchPath("import.wav");
        std::ofstream(file) << "audio";
        host.SetPath(0, Own(host, "importWithTempo"), file);
        host.SetPath(0, Own(host, "import"), file + ".missing");
        host.Run(64);
        if (worker) host.Run(64); // the answers come in the cycle after the work
        const auto results = Find(host, Own(host, "ImportResult"));
        ASSERT_EQ(results.size(), 2u);
        EXPECT_EQ(results[0].property, Own(host, "importWithTempo"));
        EXPECT_EQ(results[0].text, file);
        EXPECT_EQ(results[0].number, 0.0);
        EXPECT_EQ(results[1].property, Own(host, "import"));
        EXPECT_EQ(results[1].number, -10871.0); // kAudioUnitErr_InvalidFile
        // One file in: the test component counts 100 per file.
        const auto memory = Sets(host, Own(host, "memoryUse"));
        ASSERT_EQ(memory.size(), 1u);
        EXPECT_EQ(memory[0].number, 100.0);

        host.Object(0, Own(host, "EraseAll"), {});
        host.Run(64);
        if (worker) host.Run(64);
        ASSERT_EQ(Sets(host, Own(host, "memoryUse")).size(), 1u);
        EXPECT_EQ(Sets(host, Own(host, "memoryUse"))[0].number, 0.0);
    }
}

TEST(LV2Protocol, GetAnswersWhatAUIShowsLearnArmsAndTheStoppedFlagIsAnnounced)
{
    LilvTestHost host(TEST_BUNDLE, kRate);
    ASSERT_TRUE(host.Ok());
    host.Run(64);
    host.Get(0, std::nullopt);
    host.Run(64);
    for (const char* fragment :
         {"gain", "mode", "armed", "lock", "learned", "memoryUse", "stopped", "midiLearn"})
    {
        SCOPED_TRACE(fragment);
        EXPECT_EQ(Sets(host, Own(host, fragment)).size(), 1u);
    }
    EXPECT_EQ(Sets(host, Own(host, "gain"))[0].number, 1.0);
    EXPECT_EQ(Sets(host, Own(host, "memoryUse"))[0].number, 0.0);
    EXPECT_EQ(Sets(host, Own(host, "midiLearn"))[0].number, -1.0);

    host.SetNumber(0, Own(host, "midiLearn"), LilvTestHost::Number::Int, 4);
    host.Run(64);
    host.Run(64);
    ASSERT_EQ(Sets(host, Own(host, "midiLearn")).size(), 1u);
    EXPECT_EQ(Sets(host, Own(host, "midiLearn"))[0].number, 4.0);

    // The test component is stopped while "Gain" is 0 and announces it.
    for (const float gain : {0.0f, 1.0f})
    {
        host.Control("gain") = gain;
        host.Run(64);
        ASSERT_EQ(Sets(host, Own(host, "stopped")).size(), 1u);
        EXPECT_EQ(Sets(host, Own(host, "stopped"))[0].number, gain == 0 ? 1.0 : 0.0);
    }
}
