#pragma once
// A one-line progress bar on stderr, redrawn in place when the shown percentage changes and
// cleared at the end. Only drawn when stderr is a terminal: logs and pipes get no escape
// clutter.

#include <cstdint>

class ProgressBar
{
public:
    explicit ProgressBar(bool enabled) : mEnabled(enabled) {}
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;
    ~ProgressBar() { Finish(); }

    static bool StderrIsTerminal();

    void Update(std::uint64_t done, std::uint64_t total);
    // Clears the bar's line; nothing more is drawn afterwards.
    void Finish();

private:
    static constexpr int kWidth = 40;

    bool mEnabled;
    int mShownPercent = -1;
};
