#include "engine/CHostCheck.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace
{
bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

// Compares version over the length of reference, byte by byte; a version that ends early
// orders before (and so never reads past its own end).
int CompareOverLength(std::string_view version, std::string_view reference)
{
    const std::size_t n = std::min(version.size(), reference.size());
    const int c = std::memcmp(version.data(), reference.data(), n);
    if (c != 0) return c;
    return version.size() < reference.size() ? -1 : 0;
}

// Release 6.4.2 is the first that answers the transport-state call correctly; anything packed
// at or below 6.4.2 pre-release (0x06427FFF) does not.
constexpr UInt32 kFirstSafeLogicAbove = 0x06427FFF;
constexpr std::string_view kFirstSafeLogic = "6.4.2";
constexpr std::string_view kUnsafeGarageBand = "1.0";

bool IsLogic(std::string_view identifier)
{
    return EqualsIgnoringCase(identifier, "info.emagic.Logic") ||
           EqualsIgnoringCase(identifier, "de.emagic.Logic");
}
} // namespace

bool CHostCheck::IsTransportStateProcSafe(const std::optional<HostIdentity>& host)
{
    if (!host || !host->mBundleIdentifier) return true;
    const std::string& identifier = *host->mBundleIdentifier;
    if (IsLogic(identifier))
    {
        if (host->mVersionNumber != 0) return host->mVersionNumber > kFirstSafeLogicAbove;
        if (!host->mBundleVersion) return true;
        return CompareOverLength(*host->mBundleVersion, kFirstSafeLogic) >= 0;
    }
    if (EqualsIgnoringCase(identifier, "com.apple.garageband"))
    {
        if (!host->mBundleVersion) return true;
        return CompareOverLength(*host->mBundleVersion, kUnsafeGarageBand) != 0;
    }
    return true;
}

bool CHostCheck::TransportStateProcIsSafe()
{
    // Initialised once, thread-safely, by the first caller.
    static const bool gTransportStateProcIsSafe = IsTransportStateProcSafe(HostIdentity::Current());
    return gTransportStateProcIsSafe;
}
