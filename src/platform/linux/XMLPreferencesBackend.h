#pragma once
// Preferences kept as one XML property list per application id, <folder>/<appID>.plist, where
// the folder is $XDG_CONFIG_HOME (when it is an absolute path) or ~/.config. Files are
// replaced atomically, so a crash while writing leaves the old file or the new one. A file
// that cannot be read, is not a property list or does not hold a dictionary counts as no
// preferences, noted once on stderr.

#include "platform/PreferencesBackend.h"

#include <set>
#include <string>

class XMLPreferencesBackend final : public PreferencesBackend
{
public:
    // [ui] The folder comes from the environment as it is now.
    XMLPreferencesBackend();
    // [ui] Files live in folder (created when first written); empty means nowhere.
    explicit XMLPreferencesBackend(std::string folder);

    // [ui] $XDG_CONFIG_HOME or ~/.config; empty when there is no home either.
    static std::string DefaultFolder();
    // [ui] The file of an application id; empty for an id that cannot name a file of its own
    // (empty, starting with a dot, or holding a slash).
    std::string PathOf(const std::string& appID) const;

    CFDictionaryStorage Load(const std::string& appID) override;
    bool Store(const std::string& appID, const CFDictionaryStorage& values) override;

private:
    // Each distinct problem is told once per backend.
    void Note(const std::string& message);

    std::string mFolder;
    std::set<std::string> mNoted;
};
