#include "platform/HostIdentity.h"

#include <mutex>
#include <utility>

namespace
{
// Set at start-up and read when instances are created, never on the render thread.
std::mutex gMutex;
std::optional<HostIdentity> gCurrent;
} // namespace

void HostIdentity::SetCurrent(std::optional<HostIdentity> identity)
{
    const std::lock_guard lock(gMutex);
    gCurrent = std::move(identity);
}

std::optional<HostIdentity> HostIdentity::Current()
{
    const std::lock_guard lock(gMutex);
    return gCurrent;
}
