#include "hosts/jack/StateKeeper.h"

#include "hosts/common/UnitStateFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

StateKeeper::Loaded StateKeeper::Load(std::string& message)
{
    struct stat info;
    if (::stat(mPath.c_str(), &info) != 0 && errno == ENOENT)
    {
        message = "'" + mPath + "' does not exist yet: the state will be saved there";
        return Loaded::Missing;
    }
    CFType state;
    std::string error;
    bool restored = PropertyListFile::Read(mPath, state, error);
    if (restored)
    {
        const std::lock_guard<std::mutex> access(mUnitAccess);
        restored = UnitStateFile::Restore(mUnit, state, error);
        if (!restored) error = "'" + mPath + "': " + error;
    }
    if (!restored)
    {
        mRefused = true;
        message = error + "; starting with an empty instrument (the file will be moved to '" +
                  mPath + ".refused' before the state is saved)";
        return Loaded::Refused;
    }
    message = "restored '" + mPath + "'";
    return Loaded::Restored;
}

bool StateKeeper::Save(std::string& message)
{
    CFType state;
    std::string error;
    {
        const std::lock_guard<std::mutex> access(mUnitAccess);
        if (!UnitStateFile::Capture(mUnit, state, error))
        {
            message = "not saved: " + error;
            return false;
        }
    }
    std::string aside;
    if (mRefused)
    {
        aside = mPath + ".refused";
        if (std::rename(mPath.c_str(), aside.c_str()) != 0 && errno != ENOENT)
        {
            message = "not saved: cannot move the refused '" + mPath + "' aside to '" + aside +
                      "': " + std::strerror(errno);
            return false;
        }
        mRefused = false;
    }
    if (!UnitStateFile::Write(mPath, state, error))
    {
        message = "not saved: " + error;
        return false;
    }
    message = "saved '" + mPath + "'";
    if (!aside.empty()) message += " (the file refused at start is now '" + aside + "')";
    return true;
}
