#pragma once
// Keeps the unit's parameters, the host's control ports and what the host and any UI were
// last told in step, without ever writing to a host-owned port.
//
// A control port whose value changed since the previous cycle is a host change: it is set on
// the unit at the start of the cycle, and the host's value becomes the known one. After the
// render, every parameter whose value differs from the known one was changed by the unit
// itself (MIDI learn, a recording switching itself off, "Memory Lock", the "Digi" bits, a
// refused change) and is reported as patch:Set on the notify port; it then counts as known.
// The port keeps the host's value, so the host's next change wins again.
//
// Real time: Apply and Report read and set parameters through the host-side API; neither
// allocates nor locks.

#include "hosts/lv2/LV2Output.h"
#include "platform/AUComponent.h"

#include <cstdint>
#include <limits>
#include <vector>

class LV2ParameterBridge
{
public:
    // [ui] ids in port order; the unit's current values count as known.
    LV2ParameterBridge(AudioUnit unit, std::vector<AudioUnitParameterID> ids);

    std::uint32_t Count() const { return static_cast<std::uint32_t>(mIds.size()); }
    // [ui]
    void Connect(std::uint32_t index, const float* port) { mPorts[index] = port; }

    // [render] Applies the ports the host changed. On the first cycle, and on the first one
    // after Rebase, a port value counts as a change only where it differs from the unit.
    void ApplyHostChanges();
    // [render] A value sent as patch:Set by a UI: set, then reported to everyone.
    void SetFromMessage(std::uint32_t index, float value);
    // [render] The next Report sends index (or every parameter) whatever its value.
    void Invalidate(std::uint32_t index) { mKnown[index] = kUnknown; }
    void InvalidateAll();
    // [render] Writes a patch:Set for each parameter that differs from the known value, as
    // long as they fit; the rest wait for the next cycle.
    void Report(LV2Output& output, const std::vector<LV2_URID>& properties);

    // [ui] After a state restore: the restored values stand. The ports' values in the next
    // cycle are taken as they are (a host restores them from the same state) and every
    // parameter is reported again.
    void Rebase();

private:
    static constexpr float kUnknown = std::numeric_limits<float>::quiet_NaN();
    static bool Same(float a, float b);
    float Get(std::uint32_t index) const;
    void Set(std::uint32_t index, float value);

    AudioUnit mUnit;
    std::vector<AudioUnitParameterID> mIds;
    std::vector<const float*> mPorts;
    std::vector<float> mPortValues; // as seen in the previous cycle; unknown before the first
    std::vector<float> mKnown;      // what the host and UIs were last told
    bool mTakePortsAsTheyAre = false;
};
