#include "platform/CFPreferences.h"

#include "platform/PreferencesBackend.h"

#include <cstdio>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <utility>

namespace
{
// What this process knows of one application's preferences.
struct Domain
{
    CFDictionaryStorage values;                           // as stored, with changes applied
    std::map<std::string, std::optional<CFType>> changes; // since the last synchronisation
};

struct PreferenceCache
{
    std::mutex mutex;
    std::shared_ptr<PreferencesBackend> backend;
    std::map<std::string, Domain, std::less<>> domains;
    std::set<std::string> notedWrongKinds; // "<appID> <key>", each told once
};

PreferenceCache gCache;

void Apply(CFDictionaryStorage& values, const std::string& key, const std::optional<CFType>& value)
{
    if (value)
        values.insert_or_assign(key, *value);
    else
        values.erase(key);
}

// Needs the mutex. Loaded on first use.
Domain& DomainOf(std::string_view appID)
{
    auto it = gCache.domains.find(appID);
    if (it == gCache.domains.end())
    {
        Domain domain;
        if (gCache.backend) domain.values = gCache.backend->Load(std::string(appID));
        it = gCache.domains.emplace(std::string(appID), std::move(domain)).first;
    }
    return it->second;
}
} // namespace

std::optional<CFType> CFPreferencesCopyAppValue(std::string_view key, std::string_view appID)
{
    const std::lock_guard lock(gCache.mutex);
    const Domain& domain = DomainOf(appID);
    const auto it = domain.values.find(key);
    if (it == domain.values.end()) return std::nullopt;
    return it->second;
}

void CFPreferencesSetAppValue(std::string_view key, const std::optional<CFType>& value,
                              std::string_view appID)
{
    const std::lock_guard lock(gCache.mutex);
    Domain& domain = DomainOf(appID);
    std::optional<CFType> stored;
    if (value && value->GetKind() != CFType::Kind::Null) stored = *value;
    Apply(domain.values, std::string(key), stored);
    domain.changes.insert_or_assign(std::string(key), std::move(stored));
}

bool CFPreferencesAppSynchronize(std::string_view appID)
{
    const std::lock_guard lock(gCache.mutex);
    Domain& domain = DomainOf(appID);
    if (!gCache.backend) return true;
    CFDictionaryStorage merged = gCache.backend->Load(std::string(appID));
    for (const auto& [key, value] : domain.changes)
        Apply(merged, key, value);
    const bool written =
        domain.changes.empty() || gCache.backend->Store(std::string(appID), merged);
    if (written) domain.changes.clear();
    domain.values = std::move(merged);
    return written;
}

bool CFPreferencesGetAppBooleanValue(std::string_view key, std::string_view appID,
                                     Boolean* keyExistsAndHasValidFormat)
{
    const std::optional<CFType> value = CFPreferencesCopyAppValue(key, appID);
    const bool valid = value && value->GetKind() == CFType::Kind::Boolean;
    if (keyExistsAndHasValidFormat != nullptr) *keyExistsAndHasValidFormat = valid;
    if (value && !valid)
    {
        const std::lock_guard lock(gCache.mutex);
        std::string what = std::string(appID) + " " + std::string(key);
        if (gCache.notedWrongKinds.insert(what).second)
            std::fprintf(stderr, "preferences: %.*s of %.*s is not a boolean; ignored\n",
                         int(key.size()), key.data(), int(appID.size()), appID.data());
    }
    return valid && value->AsBoolean();
}

void CFPreferencesInstallBackend(std::shared_ptr<PreferencesBackend> backend)
{
    const std::lock_guard lock(gCache.mutex);
    gCache.backend = std::move(backend);
    gCache.domains.clear();
}

std::shared_ptr<PreferencesBackend> CFPreferencesCurrentBackend()
{
    const std::lock_guard lock(gCache.mutex);
    return gCache.backend;
}
