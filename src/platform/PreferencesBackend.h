#pragma once
// Where the user's preferences are kept between runs: the storage behind the CFPreferences
// calls. The host program installs one at start-up (CFPreferencesInstallBackend); the calls
// come from the CFPreferences layer, serialised, never on the render thread.

#include "platform/cf/CFType.h"

#include <string>

class PreferencesBackend
{
public:
    virtual ~PreferencesBackend() = default;

    // [ui] The stored values of an application: empty when it has none, or when what is
    // stored cannot be read (the backend says so on stderr).
    virtual CFDictionaryStorage Load(const std::string& appID) = 0;
    // [ui] Replaces the stored values of an application; false when they could not be written.
    virtual bool Store(const std::string& appID, const CFDictionaryStorage& values) = 0;
};
