#include "PlistSamples.h"

#include "platform/cf/CACFArray.h"
#include "platform/cf/CACFDictionary.h"

#include <bit>
#include <limits>

CFType PlistSamples::EveryKind()
{
    using L64 = std::numeric_limits<std::int64_t>;
    CFArrayStorage integers;
    // The edges of the 1, 2, 4 and 8-byte forms, and negative values (always 8 bytes).
    for (const std::int64_t value :
         {std::int64_t{0}, std::int64_t{1}, std::int64_t{255}, std::int64_t{256},
          std::int64_t{65535}, std::int64_t{65536}, std::int64_t{4294967295},
          std::int64_t{4294967296}, L64::max(), std::int64_t{-1}, std::int64_t{-256}, L64::min()})
        integers.push_back(CFType::SInt64(value));
    integers.push_back(CFType::SInt32(std::numeric_limits<std::int32_t>::min()));
    integers.push_back(CFType::SInt16(-32768));

    CFArrayStorage reals{CFType::Float64(0.1),
                         CFType::Float64(-0.0),
                         CFType::Float64(std::numeric_limits<double>::max()),
                         CFType::Float64(std::numeric_limits<double>::denorm_min()),
                         CFType::Float64(std::numeric_limits<double>::quiet_NaN()),
                         CFType::Float64(std::numeric_limits<double>::infinity()),
                         CFType::Float64(-std::numeric_limits<double>::infinity()),
                         CFType::Float32(0.1f),
                         CFType::Float32(std::numeric_limits<float>::max())};

    CFArrayStorage strings{CFType::String(""),
                           CFType::String("plain"),
                           CFType::String("fifteen chars.."), // needs the long count form
                           CFType::String("<&> \"quoted\" 'single'\ttab\nline"),
                           CFType::String("Gr\xC3\xBC\xC3\x9F"
                                          "e \xE2\x82\xAC \xF0\x9F\x8E\xB9"), // Grüße € 🎹
                           CFType::String("  spaces kept  ")};

    CFDictionaryStorage nested{{"empty array", CFType::Array()},
                               {"empty dict", CFType::Dictionary()},
                               {"empty data", CFType::Data({})},
                               {"\xC3\xA9t\xC3\xA9", CFType::Boolean(true)}}; // été
    CFDictionaryStorage root{
        {"integers", CFType::Array(std::move(integers))},
        {"reals", CFType::Array(std::move(reals))},
        {"strings", CFType::Array(std::move(strings))},
        {"true", CFType::Boolean(true)},
        {"false", CFType::Boolean(false)},
        {"data", CFType::Data({0x00, 0xFF, 0x10, 0x80, 0x7F})},
        {"nested", CFType::Array({CFType::Dictionary(std::move(nested)),
                                  CFType::Array({CFType::Array({CFType::SInt32(7)})})})},
        {"", CFType::String("empty key")}};
    return CFType::Dictionary(std::move(root));
}

CFDataStorage PlistSamples::BigEndianFrames(std::size_t frames)
{
    CFDataStorage bytes(8 * frames);
    for (std::size_t i = 0; i < 2 * frames; ++i)
    {
        const float value = static_cast<float>(i % frames) / static_cast<float>(frames) *
                            (i < frames ? 1.0f : -1.0f);
        const std::uint32_t bits = std::bit_cast<std::uint32_t>(value);
        for (std::size_t b = 0; b < 4; ++b)
            bytes[4 * i + b] = static_cast<std::uint8_t>(bits >> (24 - 8 * b));
    }
    return bytes;
}

CFType PlistSamples::StateLike(std::size_t frames)
{
    CACFDictionary state;
    state.AddSInt32("version", 0);
    state.AddSInt32("type", 0x61756D66);         // 'aumf'
    state.AddSInt32("subtype", 0x546F7661);      // 'Tova'
    state.AddSInt32("manufacturer", 0x517A7074); // 'Qzpt'
    state.AddData("data", CFDataStorage(292, 0x3F));
    state.AddString("name", "Untitled");
    state.AddSInt32("tova-version", 1);

    CACFDictionary samples;
    samples.AddSInt32("version", 1);
    samples.AddSInt32("length", static_cast<std::int32_t>(frames));
    samples.AddData("samples", BigEndianFrames(frames));
    CACFArray slots;
    for (int i = 0; i < 64; ++i)
    {
        CACFDictionary slot;
        slot.AddSInt32("start", i * 1000);
        slot.AddSInt32("last", i * 1000 + 999);
        slot.AddSInt32("size", 1000);
        slot.AddFloat64("tempo", 120.0 + i);
        slot.AddFloat64("sr", 44100.0);
        slot.AddSInt32("sync", i % 3);
        slot.AddSInt32("neverLoop", i % 2);
        slot.AddSInt32("playAll", 0);
        slots.AppendDictionary(slot);
    }
    samples.AddArray("data", slots);
    state.AddDictionary("tova-samples", samples);

    CACFDictionary keys;
    keys.AddSInt32("version", 1);
    CACFArray keyArray;
    for (int k = 0; k < 128; ++k)
    {
        CACFDictionary key;
        key.AddSInt32("id", k < 64 ? k : -1);
        if (k < 64)
        {
            key.AddFloat64("pitchshift", 1.0 + k / 128.0);
            key.AddFloat64("speed", 1.0);
            key.AddSInt32("auto", k % 2);
            key.AddSInt32("looping", 1);
        }
        keyArray.AppendDictionary(key);
    }
    keys.AddArray("data", keyArray);
    state.AddDictionary("tova-keysinfo", keys);
    return state.GetCFType();
}
