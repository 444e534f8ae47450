#pragma once
// Driving Tova's own bundle like a player would: a tone into the input, MIDI on the control
// port, the host's clock at 120 bpm, and bus 0 kept for checking what was heard.

#include "LV2TestUtil.h"
#include "TovaTestUtil.h"

#include <algorithm>
#include <vector>

namespace tova_session
{
// 120 bpm in 4/4 at 48 kHz: a beat is 48000 × 60 / 120 = 24000 frames, a bar 96000.
constexpr std::uint32_t kBar = 96000;
constexpr std::uint32_t kBlock = 4096;
constexpr double kTone = 440.0;
// The input is silent here in every bar, so that a recorded bar's loop can be seen.
constexpr std::uint32_t kGapStart = 48000;
constexpr std::uint32_t kGapEnd = 60000;

// The input at frame while the tone is on: silent in each bar's gap.
inline float ToneAt(std::uint64_t frame)
{
    const bool gap = frame % kBar >= kGapStart && frame % kBar < kGapEnd;
    return gap ? 0.0f : Tone(kTone, kRate, static_cast<double>(frame));
}

// Two seconds of the tone without gaps, as a file to import.
inline std::string ToneFile()
{
    return SignalInput("tone.wav", 96000, [](double i) { return Tone(kTone, kRate, i); });
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
            mOutput.insert(mOutput.end(), mHost.Output(0, 0).begin(),
                           mHost.Output(0, 0).begin() + n);
            mFrame += n;
        }
    }
    // Silence up to the next bar line (none when the session stands on one).
    void RunToNextBar() { Run(static_cast<std::uint32_t>((kBar - mFrame % kBar) % kBar), false); }
    std::uint64_t Frame() const { return mFrame; }
    const std::vector<float>& Output() const { return mOutput; }

private:
    LilvTestHost& mHost;
    std::uint64_t mFrame = 0;
    std::vector<float> mOutput;
};

// Records one bar on key 62 (note 48 holds "Recording" on through its default binding), with
// "Record Sync" "To Bar" and the transport rolling at 120 bpm from frame 0 of the session.
inline void RecordOneBar(LilvTestHost& host, Session& session)
{
    host.Control("record_sync") = 2;
    Rolling(host, 0, 120);
    host.Midi(1000, {0x90, 48, 100});
    // Late for bar 0: the take's head comes from the live buffer, back to frame 0.
    host.Midi(2000, {0x90, 62, 100});
    session.Run(kBar, true);
    // Just after the next bar line: the stop is carried out at once and the take is cut to
    // whole bars, trunc(98000 / 96000) = 1.
    host.Midi(2000, {0x80, 62, 0});
    host.Midi(3000, {0x80, 48, 0});
    session.Run(kBar, false);
}

// Plays key for three bars from the session's next bar line; returns where it started.
inline std::size_t Play(LilvTestHost& host, Session& session, std::uint8_t key)
{
    session.RunToNextBar();
    const auto start = static_cast<std::size_t>(session.Frame());
    host.Midi(0, {0x90, key, 100});
    session.Run(3 * kBar, false);
    host.Midi(0, {0x80, key, 0});
    session.Run(kBlock, false);
    return start;
}
} // namespace tova_session
