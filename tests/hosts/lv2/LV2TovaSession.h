#pragma once
// Driving Tova's bundle like a player would: a tone into the input, MIDI on the control port,
// the host's clock at 120 bpm, and bus 0's left output kept for checking what was heard.

#include "LilvTestHost.h"
#include "RenderTestUtil.h"

#include <lv2/patch/patch.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace tova_session
{
constexpr double kRate = 48000.0;
// 120 bpm in 4/4: a beat is 48000 × 60 / 120 = 24000 frames, a bar 96000.
constexpr std::uint32_t kBar = 96000;
constexpr std::uint32_t kBlock = 4096;
constexpr double kTone = 440.0;

inline float ToneAt(std::uint64_t frame)
{
    return Tone(kTone, kRate, static_cast<double>(frame));
}

// A fresh folder for a saved state.
inline std::string StateDir(const std::string& name)
{
    std::filesystem::remove_all(ScratchPath(name));
    std::filesystem::create_directories(ScratchPath(name));
    return ScratchPath(name);
}

// The memory use the plug-in reports when asked in a run of 64 frames; -1 without a report.
inline double MemoryUse(LilvTestHost& host)
{
    host.Get(0, host.Own("memoryUse"));
    host.Run(64);
    const auto sets = host.Find(LV2_PATCH__Set, host.Own("memoryUse"));
    return sets.empty() ? -1 : sets.back().number;
}

// Runs frames in blocks, feeding the tone while `tone` is true, and keeps bus 0's left output.
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
                mHost.Input(0)[i] = mHost.Input(1)[i] = tone ? ToneAt(mFrame + i) : 0.0f;
            mHost.Run(n);
            output.insert(output.end(), mHost.Output().begin(), mHost.Output().begin() + n);
            mFrame += n;
        }
    }
    std::uint64_t Frame() const { return mFrame; }

    std::vector<float> output;

private:
    LilvTestHost& mHost;
    std::uint64_t mFrame = 0;
};

// Records one bar on key 62 (note 48 holds "Recording" on through its default binding), with
// "Record Sync" "To Bar" and the transport rolling from frame 0 of the session.
inline void RecordOneBar(LilvTestHost& host, Session& session)
{
    host.Control("record_sync") = 2;
    host.Rolling(0);
    host.Midi(1000, {0x90, 48, 100});
    // Late for bar 0: the take's head comes from the live buffer, back to frame 0.
    host.Midi(2000, {0x90, 62, 100});
    session.Run(kBar, true);
    // Just after the next bar line: the take is cut to whole bars, trunc(98000 / 96000) = 1.
    host.Midi(2000, {0x80, 62, 0});
    host.Midi(3000, {0x80, 48, 0});
    session.Run(kBar, false);
}

// Plays key for a bar from the session's next bar line: the tone at `frequency`.
inline void ExpectPlays(LilvTestHost& host, Session& session, std::uint8_t key, double frequency)
{
    session.Run(static_cast<std::uint32_t>((kBar - session.Frame() % kBar) % kBar), false);
    const auto start = static_cast<std::size_t>(session.Frame());
    host.Midi(0, {0x90, key, 100});
    session.Run(kBar, false);
    host.Midi(0, {0x80, key, 0});
    session.Run(kBlock, false);
    EXPECT_NEAR(Frequency(session.output, start + 4000, start + kBar, kRate), frequency, 3.0);
}
} // namespace tova_session
