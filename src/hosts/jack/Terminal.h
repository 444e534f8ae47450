#pragma once
// What tova-jack prints. Messages go to stdout, complaints to stderr after "tova-jack: ", each
// on a line of its own; the caller decides how often to offer the status line.
//
// On a terminal the status line keeps the bottom row to itself: everything else scrolls in
// the rows above it (a scroll region), so what the player types there stays visible while the
// status changes. Elsewhere (a log, a pipe, a test) the status line is printed as a line of
// its own whenever it changes.

#include <string>

class Terminal
{
public:
    // [ui] Looks at whether stdout is a terminal.
    Terminal();
    ~Terminal(); // [ui] gives the bottom row back
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    void Say(const std::string& text);      // [ui]
    void Complain(const std::string& text); // [ui]
    void Status(const std::string& line);   // [ui]

private:
    // [ui] The terminal's rows and columns now; false when stdout is no terminal (or too small
    // to share).
    bool Size(int& rows, int& columns) const;
    void Release(); // [ui] ends the scroll region

    bool mInteractive;
    int mRegionRows = 0; // the rows the scroll region was set up for; 0 when there is none
    std::string mLast;
};
