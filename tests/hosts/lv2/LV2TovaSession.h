#pragma once
// Driving Tova's own bundle like a player would: a tone into the input, MIDI on the control
// port, the host's clock at 120 bpm, and bus 0 kept for checking what was heard.

#include "LV2TestUtil.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <numbers>
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

// The input at frame while the tone is on: 0.5 sin(2π 440 t), silent in each bar's gap.
inline float ToneAt(std::uint64_t frame)
{
    const bool gap = frame % kBar >= kGapStart && frame % kBar < kGapEnd;
    return gap ? 0.0f
               : static_cast<float>(0.5 * std::sin(2 * std::numbers::pi * kTone *
                                                   static_cast<double>(frame) / kRate));
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
            {
                const float value = tone ? ToneAt(mFrame + i) : 0.0f;
                mHost.Input(0)[i] = value;
                mHost.Input(1)[i] = value;
            }
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

// Frequency from the rising zero crossings between from and to; 0 with fewer than two.
inline double Frequency(const std::vector<float>& s, std::size_t from, std::size_t to)
{
    std::size_t first = 0;
    std::size_t last = 0;
    int crossings = 0;
    for (std::size_t i = from + 1; i < to && i < s.size(); ++i)
        if (s[i - 1] < 0 && s[i] >= 0)
        {
            if (crossings++ == 0) first = i;
            last = i;
        }
    return crossings < 2 ? 0 : (crossings - 1) * kRate / static_cast<double>(last - first);
}

inline float Peak(const std::vector<float>& s, std::size_t from, std::size_t to)
{
    float peak = 0;
    for (std::size_t i = from; i < to && i < s.size(); ++i)
        peak = std::max(peak, std::abs(s[i]));
    return peak;
}

// Starts of the quiet stretches (1000-frame windows under a tenth of the loudest window).
inline std::vector<std::size_t> QuietStarts(const std::vector<float>& s, std::size_t from)
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
    if (rms.empty()) return {};
    const double loudest = *std::max_element(rms.begin(), rms.end());
    std::vector<std::size_t> starts;
    for (std::size_t w = 1; w < rms.size(); ++w)
        if (rms[w] < loudest / 10 && rms[w - 1] >= loudest / 10)
            starts.push_back(from + w * kWindow);
    return starts;
}

// Two seconds of the 440 Hz tone at 48 kHz, 16-bit stereo; false when it cannot be written.
inline bool WriteToneFile(const std::filesystem::path& file)
{
    SF_INFO info{};
    info.samplerate = static_cast<int>(kRate);
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* out = sf_open(file.c_str(), SFM_WRITE, &info);
    if (out == nullptr) return false;
    std::vector<float> frames;
    for (std::uint64_t i = 0; i < 2 * static_cast<std::uint64_t>(kRate); ++i)
    {
        const auto value = static_cast<float>(
            0.5 * std::sin(2 * std::numbers::pi * kTone * static_cast<double>(i) / kRate));
        frames.push_back(value);
        frames.push_back(value);
    }
    const sf_count_t count = static_cast<sf_count_t>(frames.size() / 2);
    const bool written = sf_writef_float(out, frames.data(), count) == count;
    return sf_close(out) == 0 && written;
}

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
