#include "hosts/render/ProgressBar.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <unistd.h>

bool ProgressBar::StderrIsTerminal()
{
    return isatty(STDERR_FILENO) == 1;
}

void ProgressBar::Update(std::uint64_t done, std::uint64_t total)
{
    if (!mEnabled || total == 0) return;
    const int percent = static_cast<int>(std::min(done, total) * 100 / total);
    if (percent == mShownPercent) return;
    mShownPercent = percent;
    const int filled = percent * kWidth / 100;
    const std::string bar = std::string(static_cast<std::size_t>(filled), '#') +
                            std::string(static_cast<std::size_t>(kWidth - filled), '.');
    std::fprintf(stderr, "\r[%s] %3d%%", bar.c_str(), percent);
    std::fflush(stderr);
}

void ProgressBar::Finish()
{
    if (mEnabled && mShownPercent >= 0)
    {
        std::fprintf(stderr, "\r%*s\r", kWidth + 8, "");
        std::fflush(stderr);
    }
    mEnabled = false;
}
