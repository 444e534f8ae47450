#pragma once
// The user's preferences, per application id, shared by everything in the process. Values
// are read from the installed backend on first use and kept in memory; changes are written
// out by CFPreferencesAppSynchronize. Without a backend they live in memory only. Thread-safe,
// with a lock: these run in constructors and destructors, never on the render thread.

#include "platform/CoreAudioTypes.h"
#include "platform/cf/CFType.h"

#include <memory>
#include <optional>
#include <string_view>

// [ui] The value of key, or std::nullopt when there is none.
std::optional<CFType> CFPreferencesCopyAppValue(std::string_view key, std::string_view appID);

// [ui] Sets key to value; std::nullopt (or a Null value) removes it.
void CFPreferencesSetAppValue(std::string_view key, const std::optional<CFType>& value,
                              std::string_view appID);

// [ui] Writes the changes made since the last synchronisation, merged into what is stored now
// (so keys changed by another process meanwhile survive), and reads the result back. False
// when they could not be written; they are then kept for the next attempt.
bool CFPreferencesAppSynchronize(std::string_view appID);

// [ui] The value of key when it is a boolean, else false. *keyExistsAndHasValidFormat (when
// not null) tells whether it was one; a value of another kind counts as missing and is
// noted once on stderr.
bool CFPreferencesGetAppBooleanValue(std::string_view key, std::string_view appID,
                                     Boolean* keyExistsAndHasValidFormat);

class PreferencesBackend;
// [ui] Sets the storage; values cached from the previous one are forgotten. Null keeps values
// in memory only.
void CFPreferencesInstallBackend(std::shared_ptr<PreferencesBackend> backend);
// [ui] The storage in use, or null.
std::shared_ptr<PreferencesBackend> CFPreferencesCurrentBackend();
