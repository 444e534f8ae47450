#pragma once
// The --state file of a session: restored at start, saved on request (the terminal's save,
// SIGUSR1, the end of the session). A save holds the unit only while it takes the state; the
// file is written afterwards, atomically, so a crash mid-save leaves the previous file whole,
// and the render thread never waits for any of it.
//
// A file that exists but is refused at start is never overwritten: the first save moves it
// aside to FILE.refused, so the state the player then saves does not destroy the one that
// might still be rescued.

#include "platform/AUComponent.h"

#include <mutex>
#include <string>

class StateKeeper
{
public:
    enum class Loaded
    {
        Restored,
        Missing, // no file yet: the first save creates it
        Refused
    };

    // [ui] unitAccess: held by everything that reaches the unit off the render thread.
    StateKeeper(AudioUnit unit, std::mutex& unitAccess, std::string path)
        : mUnit(unit), mUnitAccess(unitAccess), mPath(std::move(path))
    {
    }

    // [ui] Restores the unit from the file when there is one; message says what happened.
    Loaded Load(std::string& message);
    // [ui] Writes the unit's state to the file; message says what happened.
    bool Save(std::string& message);

    const std::string& Path() const { return mPath; } // [any]

private:
    AudioUnit mUnit;
    std::mutex& mUnitAccess;
    std::string mPath;
    bool mRefused = false; // the file was refused and still waits to be moved aside
};
