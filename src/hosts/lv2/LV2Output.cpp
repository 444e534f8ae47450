#include "hosts/lv2/LV2Output.h"

namespace
{
// Event header (time and atom header), object header and one property header: what any
// event written here needs beyond its values.
constexpr std::uint32_t kEventOverhead = 16 + 16 + 16;

constexpr std::uint32_t Padded(std::uint32_t size)
{
    return (size + 7u) & ~7u;
}
} // namespace

LV2Output::LV2Output(LV2_URID_Map& map, const LV2URIs& uris) : mURIs(uris), mForge{}, mSequence{}
{
    lv2_atom_forge_init(&mForge, &map);
}

void LV2Output::Begin(LV2_Atom_Sequence* port)
{
    mOpen = false;
    if (port == nullptr) return;
    // The host says how much room there is in the atom's size; the sequence then replaces it.
    const std::uint32_t capacity = port->atom.size;
    lv2_atom_forge_set_buffer(&mForge, reinterpret_cast<std::uint8_t*>(port), capacity);
    mOpen = capacity >= sizeof(LV2_Atom_Sequence) &&
            lv2_atom_forge_sequence_head(&mForge, &mSequence, 0) != 0;
}

void LV2Output::End()
{
    if (mOpen) lv2_atom_forge_pop(&mForge, &mSequence);
    mOpen = false;
}

bool LV2Output::Fits(std::uint32_t bodyBytes) const
{
    return mOpen && mForge.size - mForge.offset >= kEventOverhead + bodyBytes;
}

void LV2Output::BeginObject(LV2_Atom_Forge_Frame& frame, LV2_URID type, LV2_URID property)
{
    lv2_atom_forge_frame_time(&mForge, 0);
    lv2_atom_forge_object(&mForge, &frame, 0, type);
    lv2_atom_forge_key(&mForge, mURIs.patchProperty);
    lv2_atom_forge_urid(&mForge, property);
}

template <class WriteValue> bool LV2Output::Set(LV2_URID property, WriteValue writeValue)
{
    // property (key, URID atom) and value (key, atom of at most 8 bytes)
    if (!Fits(8 + 16 + 8 + 16)) return false;
    LV2_Atom_Forge_Frame frame;
    BeginObject(frame, mURIs.patchSet, property);
    lv2_atom_forge_key(&mForge, mURIs.patchValue);
    writeValue();
    lv2_atom_forge_pop(&mForge, &frame);
    return true;
}

bool LV2Output::SetFloat(LV2_URID property, float value)
{
    return Set(property, [&] { lv2_atom_forge_float(&mForge, value); });
}

bool LV2Output::SetInt(LV2_URID property, std::int32_t value)
{
    return Set(property, [&] { lv2_atom_forge_int(&mForge, value); });
}

bool LV2Output::SetBool(LV2_URID property, bool value)
{
    return Set(property, [&] { lv2_atom_forge_bool(&mForge, value); });
}

bool LV2Output::ImportResult(LV2_URID property, std::string_view path, std::int32_t status)
{
    const auto length = static_cast<std::uint32_t>(path.size());
    // patch:property, path (key, header, text and its zero) and status (key, int atom)
    if (!Fits(8 + 16 + 8 + 8 + Padded(length + 1) + 8 + 16)) return false;
    LV2_Atom_Forge_Frame frame;
    BeginObject(frame, mURIs.importResult, property);
    lv2_atom_forge_key(&mForge, mURIs.path);
    lv2_atom_forge_path(&mForge, path.data(), length);
    lv2_atom_forge_key(&mForge, mURIs.status);
    lv2_atom_forge_int(&mForge, status);
    lv2_atom_forge_pop(&mForge, &frame);
    return true;
}

std::uint32_t LV2Output::MidiRoom(std::uint32_t messages) const
{
    // Each message: event time and atom header, body padded to 8 bytes.
    const std::uint32_t overhead = messages * (16 + 8);
    const std::uint32_t room = mOpen ? mForge.size - mForge.offset : 0;
    return room > overhead ? room - overhead : 0;
}

bool LV2Output::Midi(const std::uint8_t* data, std::uint32_t size)
{
    if (!Fits(Padded(size))) return false;
    lv2_atom_forge_frame_time(&mForge, 0);
    lv2_atom_forge_atom(&mForge, size, mURIs.midiEvent);
    lv2_atom_forge_write(&mForge, data, size);
    return true;
}
