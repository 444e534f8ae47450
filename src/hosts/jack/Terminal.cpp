#include "hosts/jack/Terminal.h"

#include <cstdio>
#include <sys/ioctl.h>
#include <unistd.h>

namespace
{
constexpr int kMinRows = 3;
} // namespace

Terminal::Terminal() : mInteractive(::isatty(STDOUT_FILENO) != 0) {}

Terminal::~Terminal()
{
    Release();
}

bool Terminal::Size(int& rows, int& columns) const
{
    winsize size{};
    if (!mInteractive || ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_row < kMinRows)
        return false;
    rows = size.ws_row;
    columns = size.ws_col;
    return true;
}

void Terminal::Release()
{
    if (mRegionRows == 0) return;
    // Back to the whole screen; the status row is emptied and the cursor put on it.
    std::printf("\0337\033[r\0338\033[%d;1H\033[2K", mRegionRows);
    std::fflush(stdout);
    mRegionRows = 0;
}

void Terminal::Say(const std::string& text)
{
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
}

void Terminal::Complain(const std::string& text)
{
    std::fflush(stdout);
    std::fprintf(stderr, "tova-jack: %s\n", text.c_str());
    std::fflush(stderr);
}

void Terminal::Status(const std::string& line)
{
    int rows = 0;
    int columns = 0;
    if (!Size(rows, columns))
    {
        Release();
        if (line == mLast) return;
        mLast = line;
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
        return;
    }
    if (rows != mRegionRows)
    {
        // Make room below the cursor, then keep the rows above the last one for scrolling
        // (setting the region moves the cursor, hence the save and restore around it).
        std::printf("\n\033[A\0337\033[1;%dr\0338", rows - 1);
        mRegionRows = rows;
    }
    else if (line == mLast)
        return;
    mLast = line;
    const int shown = columns > 0 && static_cast<int>(line.size()) > columns
                          ? columns
                          : static_cast<int>(line.size());
    std::printf("\0337\033[%d;1H\033[2K%.*s\0338", rows, shown, line.c_str());
    std::fflush(stdout);
}
