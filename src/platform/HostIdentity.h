#pragma once
// Who the host program is, as the platform's bundle queries would tell: the bundle identifier,
// the packed version number and the "CFBundleVersion" string. On Linux nothing can be asked,
// so the host program states its identity before it creates the first instance; a process
// whose host says nothing has no identity.

#include "platform/CoreAudioTypes.h"

#include <optional>
#include <string>

struct HostIdentity
{
    std::optional<std::string> mBundleIdentifier;
    // The packed form of the bundle version query: major in BCD in the top byte, minor and
    // bug-fix release in the two nibbles below it, then the stage (0x80 = final) and the
    // pre-release number; 6.4.2 final is 0x06428000. 0 when unknown, as the query answers.
    UInt32 mVersionNumber = 0;
    std::optional<std::string> mBundleVersion; // "CFBundleVersion"

    // [any] Replaces the process's host identity; std::nullopt forgets it.
    static void SetCurrent(std::optional<HostIdentity> identity);
    // [any] The identity last set, if any.
    static std::optional<HostIdentity> Current();
};
