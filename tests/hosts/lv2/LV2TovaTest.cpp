// Tova's bundle end to end: a bar recorded from MIDI at the host's tempo, played back on its
// key and a transposed one, kept through a saved and restored state, damaged states refused;
// a file imported and played through the protocol.

#include "LV2TovaSession.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

using namespace tova_session;

namespace
{
// A whole tone up from 440 Hz: 440 × 2^(2/12) = 493.88 Hz.
const double kWholeToneUp = kTone * std::pow(2.0, 2.0 / 12);
} // namespace

TEST(LV2Tova, RecordsOneBarPlaysItTransposedAndRestoresItButNotADamagedState)
{
    const std::string dir = StateDir("tova-record");
    {
        LilvTestHost host(TOVA_BUNDLE, kRate);
        ASSERT_TRUE(host.Ok());
        Session session(host);
        EXPECT_EQ(MemoryUse(host), 0.0);
        RecordOneBar(host, session);
        // trunc(96000 × 0.0002 + 0.5) = 19 tenths of a percent of the 5000000-frame pool.
        EXPECT_EQ(MemoryUse(host), 19.0);
        ASSERT_TRUE(host.Save(dir));

        // One bar on key 62, shared by its neighbour 64 a whole tone up.
        const SavedTova saved = SavedTova::Read(dir + "/state.bplist"); // made by makePath
        ASSERT_EQ(saved.OwnKeys(), std::vector<int>{62});
        EXPECT_EQ(saved.keys[64].slot, saved.keys[62].slot);
        EXPECT_DOUBLE_EQ(saved.keys[64].pitchShift, std::pow(2.0, 2.0 / 12));
        // The take begins on the bar line at frame 0, although the key came 2000 frames later:
        // inside its 50-frame fades, frame i of the sample is the input's frame i.
        const std::vector<float> take = saved.LeftOf(62);
        ASSERT_EQ(take.size(), kBar);
        int wrong = 0;
        for (std::uint32_t i = 50; i < kBar - 50; ++i)
            wrong += std::abs(take[i] - ToneAt(i)) > 1e-6f;
        EXPECT_EQ(wrong, 0) << "frames that differ from the input";

        ExpectPlays(host, session, 62, kTone);
        ExpectPlays(host, session, 64, kWholeToneUp);
    }
    LilvTestHost host(TOVA_BUNDLE, kRate);
    ASSERT_TRUE(host.Ok());
    ASSERT_TRUE(host.Restore(dir));
    EXPECT_EQ(MemoryUse(host), 19.0);
    Session session(host);
    host.Rolling(0);
    session.Run(kBar, false);
    ExpectPlays(host, session, 64, kWholeToneUp);

    // Damaged states are refused and leave the recording alone.
    const std::string file = dir + "/state.bplist";
    const std::string whole = Slurp(file);
    for (const std::string& damaged :
         {whole.substr(0, whole.size() / 2), std::string(),
          std::string("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>x</key>"
                      "<integer>1</integer></dict></plist>")})
    {
        SCOPED_TRACE(damaged.size());
        std::ofstream(file, std::ios::binary | std::ios::trunc) << damaged;
        host.Restore(dir);
        EXPECT_EQ(MemoryUse(host), 19.0);
    }
}

TEST(LV2Tova, ImportsAFileThroughTheProtocolAndPlaysIt)
{
    const std::string file =
        SignalInput("tone.wav", 96000, [](double i) { return Tone(kTone, kRate, i); });
    LilvTestHost host(TOVA_BUNDLE, kRate);
    ASSERT_TRUE(host.Ok());
    host.SetPath(0, host.Own("import"), file);
    host.Run(64);
    host.Run(64); // the answer comes in the cycle after the work
    const auto results = host.Find(host.Own("ImportResult"));
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].text, file);
    EXPECT_EQ(results[0].number, 0.0);
    EXPECT_EQ(MemoryUse(host), 19.0); // 96000 frames, as a recorded bar

    // The first note on only gives the waiting sample to the key; the next one plays it.
    Session session(host);
    host.Midi(0, {0x90, 60, 100});
    host.Midi(100, {0x80, 60, 0});
    session.Run(kBar / 4, false);
    EXPECT_LT(Rms(session.output, 0, kBar / 4), 1e-4) << "nothing plays yet";
    host.Midi(0, {0x90, 60, 100});
    session.Run(kBar / 2, false);
    EXPECT_NEAR(Frequency(session.output, kBar / 4 + 4000, kBar / 4 + 40000, kRate), kTone, 3.0);
}
