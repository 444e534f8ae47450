#include "platform/linux/XMLPreferencesBackend.h"

#include "platform/cf/PropertyListFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace
{
std::string HomeFolder()
{
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') return home;
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] == '/')
        return found->pw_dir;
    return {};
}

// mkdir -p; the folders made are private to the user, as configuration folders should be.
bool MakeFolders(const std::string& folder)
{
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1))
    {
        const std::string part = folder.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
    }
    struct stat info
    {
    };
    return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}
} // namespace

XMLPreferencesBackend::XMLPreferencesBackend() : XMLPreferencesBackend(DefaultFolder()) {}

XMLPreferencesBackend::XMLPreferencesBackend(std::string folder) : mFolder(std::move(folder)) {}

std::string XMLPreferencesBackend::DefaultFolder()
{
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && config[0] == '/')
        return config;
    const std::string home = HomeFolder();
    return home.empty() ? std::string() : home + "/.config";
}

std::string XMLPreferencesBackend::PathOf(const std::string& appID) const
{
    if (mFolder.empty() || appID.empty() || appID[0] == '.' ||
        appID.find('/') != std::string::npos || appID.find('\0') != std::string::npos)
        return {};
    return mFolder + "/" + appID + ".plist";
}

CFDictionaryStorage XMLPreferencesBackend::Load(const std::string& appID)
{
    const std::string path = PathOf(appID);
    if (path.empty()) return {};
    struct stat info
    {
    };
    // No file yet is the normal state of a new user, not a problem.
    if (::stat(path.c_str(), &info) != 0 && errno == ENOENT) return {};
    CFType root;
    std::string error;
    if (!PropertyListFile::Read(path, root, error))
    {
        Note(error + "; using no preferences");
        return {};
    }
    if (root.GetKind() != CFType::Kind::Dictionary)
    {
        Note("'" + path + "' does not hold a dictionary; using no preferences");
        return {};
    }
    return std::move(root.AsDictionary());
}

bool XMLPreferencesBackend::Store(const std::string& appID, const CFDictionaryStorage& values)
{
    const std::string path = PathOf(appID);
    if (path.empty())
    {
        Note("no place to keep the preferences of '" + appID + "'");
        return false;
    }
    if (!MakeFolders(mFolder))
    {
        Note("cannot create '" + mFolder + "': " + std::strerror(errno));
        return false;
    }
    std::string error;
    if (!PropertyListFile::Write(path, CFType::Dictionary(values), PropertyListFormat::XML, error))
    {
        Note(error);
        return false;
    }
    return true;
}

void XMLPreferencesBackend::Note(const std::string& message)
{
    if (mNoted.insert(message).second) std::fprintf(stderr, "preferences: %s\n", message.c_str());
}
