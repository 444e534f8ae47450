// Tova's own bundle, end to end: a bar recorded from MIDI at the host's tempo, played back on
// a transposed key, kept through a saved and restored state; a file imported and played
// through the protocol; memory use read through it.
//
// The tests named DISABLED_ wait for parts of the engine that have not landed yet: the MIDI
// note handlers, the preset state's samples and keys, and the custom properties.

#include "LV2TestUtil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <numbers>

namespace
{
// 120 bpm in 4/4 at 48 kHz: a beat is 48000 × 60 / 120 = 24000 frames, a bar 96000.
constexpr std::uint32_t kBar = 96000;
constexpr std::uint32_t kBlock = 4096;
constexpr double kTone = 440.0;
// The recorded bar is silent here, so that its loop can be seen in the output.
constexpr std::uint32_t kGapStart = 48000;
constexpr std::uint32_t kGapEnd = 60000;

// Runs frames in blocks, feeding a 440 Hz tone (silent from kGapStart to kGapEnd of each bar
// while `tone` is true) and keeping bus 0's left output.
class Session
{
public:
    explicit Session(LilvTestHost& host) : mHost(host) {}

    void Run(std::uint32_t frames, bool tone)
    {
        for (std::uint32_t done = 0; done < frames; done += kBlock)
        {
            const std::uint32_t n = std::min(kBlock, frames - done);
            for (std::uint32_t i = 0; i < n; ++i)
            {
                const std::uint64_t frame = mFrame + i;
                const bool gap = frame % kBar >= kGapStart && frame % kBar < kGapEnd;
                const float value =
                    tone && !gap ? static_cast<float>(
                                       0.5 * std::sin(2 * std::numbers::pi * kTone * frame / kRate))
                                 : 0.0f;
                mHost.Input(0)[i] = value;
                mHost.Input(1)[i] = value;
            }
            mHost.Run(n);
            mOutput.insert(mOutput.end(), mHost.Output(0, 0).begin(),
                           mHost.Output(0, 0).begin() + n);
            mFrame += n;
        }
    }
    std::uint64_t Frame() const { return mFrame; }
    const std::vector<float>& Output() const { return mOutput; }

private:
    LilvTestHost& mHost;
    std::uint64_t mFrame = 0;
    std::vector<float> mOutput;
};

// Frequency from the rising zero crossings between from and to.
double Frequency(const std::vector<float>& s, std::size_t from, std::size_t to)
{
    std::size_t first = 0;
    std::size_t last = 0;
    int crossings = 0;
    for (std::size_t i = from + 1; i < to; ++i)
        if (s[i - 1] < 0 && s[i] >= 0)
        {
            if (crossings++ == 0) first = i;
            last = i;
        }
    return crossings < 2 ? 0 : (crossings - 1) * kRate / static_cast<double>(last - first);
}

// Starts of the quiet stretches (1000-frame windows under a tenth of the loudest window).
std::vector<std::size_t> QuietStarts(const std::vector<float>& s, std::size_t from)
{
    constexpr std::size_t kWindow = 1000;
    std::vector<double> rms;
    for (std::size_t i = from; i + kWindow <= s.size(); i += kWindow)
    {
        double sum = 0;
        for (std::size_t j = i; j < i + kWindow; ++j)
            sum += s[j] * s[j];
        rms.push_back(std::sqrt(sum / kWindow));
    }
    const double loudest = *std::max_element(rms.begin(), rms.end());
    std::vector<std::size_t> starts;
    for (std::size_t w = 1; w < rms.size(); ++w)
        if (rms[w] < loudest / 10 && rms[w - 1] >= loudest / 10)
            starts.push_back(from + w * kWindow);
    return starts;
}

// Records one bar on key 62 (note 48 holds "Recording" on through its default binding), with
// "Record Sync" "To Bar" and the transport rolling at 120 bpm from frame 0.
void RecordOneBar(LilvTestHost& host, Session& session)
{
    host.Control("record_sync") = 2;
    Rolling(host, 0, 120);
    host.Midi(1000, {0x90, 48, 100});
    host.Midi(2000, {0x90, 62, 100});
    session.Run(kBar, true);
    // Just after the next bar line: the stop is carried out at once and the take is cut to
    // whole bars, trunc(98000 / 96000) = 1.
    host.Midi(2000, {0x80, 62, 0});
    host.Midi(3000, {0x80, 48, 0});
    session.Run(kBar, false);
}

// Plays key for three bars from the session's next bar line; returns where it started.
std::size_t Play(LilvTestHost& host, Session& session, std::uint8_t key)
{
    const std::size_t start = session.Frame();
    host.Midi(0, {0x90, key, 100});
    session.Run(3 * kBar, false);
    host.Midi(0, {0x80, key, 0});
    session.Run(kBlock, false);
    return start;
}

void ExpectOneBarLoopAt(const Session& session, std::size_t start, double frequency)
{
    // A whole tone up from 440 Hz: 440 × 2^(2/12) = 493.88 Hz.
    EXPECT_NEAR(Frequency(session.Output(), start + 4000, start + 40000), frequency, 3.0);
    const auto quiet = QuietStarts(session.Output(), start + 2000);
    ASSERT_GE(quiet.size(), 2u);
    EXPECT_NEAR(static_cast<double>(quiet[1] - quiet[0]), kBar, 1000.0) << "one bar per loop";
}
} // namespace

TEST(LV2Tova, DISABLED_RecordsOneBarAndPlaysItTransposed)
{
    LilvTestHost host(TOVA_BUNDLE, kRate);
    ASSERT_TRUE(host.Ok());
    Session session(host);
    RecordOneBar(host, session);
    const std::size_t start = Play(host, session, 64);
    ExpectOneBarLoopAt(session, start, kTone * std::pow(2.0, 2.0 / 12));
}

TEST(LV2Tova, DISABLED_SavedStateRestoresIntoANewInstanceThatPlaysTheSameLoop)
{
    const auto dir = std::filesystem::temp_directory_path() / "tova-lv2-tova-state";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    {
        LilvTestHost host(TOVA_BUNDLE, kRate);
        ASSERT_TRUE(host.Ok());
        Session session(host);
        RecordOneBar(host, session);
        ASSERT_TRUE(host.Save(dir.string()));
    }
    EXPECT_TRUE(std::filesystem::exists(dir / "state.bplist")) << "made by makePath";

    LilvTestHost host(TOVA_BUNDLE, kRate);
    ASSERT_TRUE(host.Ok());
    ASSERT_TRUE(host.Restore(dir.string()));
    Session session(host);
    Rolling(host, 0, 120);
    session.Run(kBar, false);
    const std::size_t start = Play(host, session, 64);
    ExpectOneBarLoopAt(session, start, kTone * std::pow(2.0, 2.0 / 12));
    std::filesystem::remove_all(dir);
}

TEST(LV2Tova, DISABLED_ImportsAFileThroughTheProtocolAndPlaysIt)
{
    // One bar of the tone as a 48 kHz WAV file, written with sox (scripts/deps.sh).
    const auto file = std::filesystem::temp_directory_path() / "tova-lv2-import.wav";
    const std::string command =
        "sox -n -r 48000 -c 2 -b 16 " + file.string() + " synth 2 sine 440 vol 0.5 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    LilvTestHost host(TOVA_BUNDLE, kRate);
    ASSERT_TRUE(host.Ok());
    host.SetPath(0, Own(host, "import"), file.string());
    host.Run(64);
    host.Run(64);
    const auto results = Find(host, Own(host, "ImportResult"));
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].number, 0.0);
    // The next note on takes the imported sample.
    Session session(host);
    host.Midi(0, {0x90, 60, 100});
    session.Run(kBar / 2, false);
    EXPECT_NEAR(Frequency(session.Output(), 4000, 40000), kTone, 3.0);
    std::filesystem::remove(file);
}

TEST(LV2Tova, DISABLED_MemoryUseReadThroughTheProtocol)
{
    LilvTestHost host(TOVA_BUNDLE, kRate);
    ASSERT_TRUE(host.Ok());
    Session session(host);
    host.Get(0, Own(host, "memoryUse"));
    session.Run(64, false);
    ASSERT_FALSE(Sets(host, Own(host, "memoryUse")).empty());
    EXPECT_EQ(Sets(host, Own(host, "memoryUse")).back().number, 0.0);
    RecordOneBar(host, session);
    host.Get(0, Own(host, "memoryUse"));
    session.Run(64, false);
    // One bar of 96000 frames, and its transposed copies share it: 96000 × 0.0002 + 0.5,
    // truncated, is 19 tenths of a percent of the 5000000-frame pool.
    ASSERT_FALSE(Sets(host, Own(host, "memoryUse")).empty());
    EXPECT_EQ(Sets(host, Own(host, "memoryUse")).back().number, 19.0);
}

TEST(LV2Tova, StateOfAnotherPluginIsRefused)
{
    const auto dir = std::filesystem::temp_directory_path() / "tova-lv2-foreign-state";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    {
        LilvTestHost other(TEST_BUNDLE, kRate);
        ASSERT_TRUE(other.Ok());
        ASSERT_TRUE(other.Save(dir.string()));
    }
    LilvTestHost host(TOVA_BUNDLE, kRate);
    ASSERT_TRUE(host.Ok());
    host.Control("tape_speed") = 2;
    host.Run(64);
    host.Restore(dir.string());
    host.Get(0, Own(host, "tape_speed"));
    host.Run(64);
    ASSERT_FALSE(Sets(host, Own(host, "tape_speed")).empty());
    EXPECT_EQ(Sets(host, Own(host, "tape_speed")).back().number, 2.0);
    std::filesystem::remove_all(dir);
}
