#pragma once
// The notify port: an atom sequence that run() fills with patch:Set notifications, the
// protocol's replies and MIDI. Every event is written whole or not at all, so a full port
// never ends in a broken event; the caller learns it from the result and tries again in the
// next cycle.

#include "hosts/lv2/LV2URIs.h"

#include <lv2/atom/forge.h>

#include <cstdint>
#include <string_view>

class LV2Output
{
public:
    // [ui]
    LV2Output(LV2_URID_Map& map, const LV2URIs& uris);

    // [render] Starts an empty sequence in the port's buffer (null: nothing is written).
    void Begin(LV2_Atom_Sequence* port);
    // [render] Each writes one event at frame 0; false when it does not fit.
    bool SetFloat(LV2_URID property, float value);
    bool SetInt(LV2_URID property, std::int32_t value);
    bool SetBool(LV2_URID property, bool value);
    bool ImportResult(LV2_URID property, std::string_view path, std::int32_t status);
    bool Midi(const std::uint8_t* data, std::uint32_t size);
    // [render] Bytes of MIDI that still fit, as one event each message.
    std::uint32_t MidiRoom(std::uint32_t messages) const;
    // [render] Closes the sequence.
    void End();

private:
    bool Fits(std::uint32_t bodyBytes) const;
    // Starts an object event of type at frame 0 about property (its patch:property).
    void BeginObject(LV2_Atom_Forge_Frame& frame, LV2_URID type, LV2_URID property);
    // A patch:Set of property whose value atom (of at most 8 bytes) writeValue() forges.
    template <class WriteValue> bool Set(LV2_URID property, WriteValue writeValue);

    const LV2URIs& mURIs;
    LV2_Atom_Forge mForge;
    LV2_Atom_Forge_Frame mSequence;
    bool mOpen = false;
};
