#pragma once
// Whether the host's transport-state callback may be asked for. Some releases of two hosts
// misbehave when it is called, so for those the engine never asks and runs as if the
// transport were stopped (every synchronised start and stop becomes immediate).

#include "platform/HostIdentity.h"

#include <optional>

class CHostCheck
{
public:
    // [any] The answer for this process (gTransportStateProcIsSafe), decided at the first call
    // from the host identity current then, and the same for the rest of the process. The
    // first call may wait for a concurrent first call; call it once while constructing, so
    // the render thread only ever reads the decided value.
    static bool TransportStateProcIsSafe();

    // [any] The decision itself, for a given host; no identity, or one without a bundle
    // identifier, is safe.
    static bool IsTransportStateProcSafe(const std::optional<HostIdentity>& host);
};
