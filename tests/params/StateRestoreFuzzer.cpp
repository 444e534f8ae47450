// Restores Tova from a valid state whose pool and keys the fuzzer's bytes edit: each eight
// bytes set one field of a slot, a key or the pool to an integer, a real or a text, or remove
// it. Whatever the edits, a restore stays inside its arrays and ends with a status, and a
// state it accepts saves as a state it accepts again.

#include "CTovaProbe.h"
#include "StateTestUtil.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace
{
const char* const kSlotFields[] = {"start", "last", "size",      "tempo",
                                   "sr",    "sync", "neverLoop", "playAll"};
const char* const kKeyFields[] = {"id", "pitchshift", "speed", "auto", "looping"};
const char* const kPoolFields[] = {"version", "length", "samples", "data"};

// Key 10 and 11 share slot 0 (1000 frames), key 20 holds slot 1 (500 frames).
const CFType& Base(TovaHost& host)
{
    static const CFType base = [&]
    {
        CTovaProbe probe(host.Tova());
        probe.GiveSample(10, 1000, 0.25f, 120.0);
        probe.GiveSample(20, 500, -0.5f);
        probe.Key(11) = probe.Key(10);
        probe.Key(10).Sample()->Retain();
        return SaveState(host);
    }();
    return base;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static TovaHost host;
    CFType state = Base(host);
    CFDictionaryStorage& pool = state.AsDictionary().at("tova-samples").AsDictionary();
    CFDictionaryStorage& keys = state.AsDictionary().at("tova-keysinfo").AsDictionary();
    for (std::size_t at = 0; at + 8 <= size; at += 8)
    {
        const std::uint8_t* e = data + at;
        const std::int32_t v =
            static_cast<std::int32_t>(std::uint32_t{e[4]} << 24 | std::uint32_t{e[5]} << 16 |
                                      std::uint32_t{e[6]} << 8 | e[7]);
        CFDictionaryStorage* target = &pool;
        std::string field = kPoolFields[e[2] % 4];
        if (e[0] % 3 == 1 && pool.count("data") && pool.at("data").GetKind() == CFType::Kind::Array)
        {
            CFArrayStorage& slots = pool.at("data").AsArray();
            if (slots.empty() || slots[e[1] % slots.size()].GetKind() != CFType::Kind::Dictionary)
                continue;
            target = &slots[e[1] % slots.size()].AsDictionary();
            field = kSlotFields[e[2] % 8];
        }
        else if (e[0] % 3 == 2)
        {
            CFArrayStorage& items = keys.at("data").AsArray();
            target = &items[e[1] % items.size()].AsDictionary();
            field = kKeyFields[e[2] % 5];
        }
        switch (e[3] % 5)
        {
        case 0:
            (*target)[field] = CFType::SInt32(v);
            break;
        case 1:
            (*target)[field] = CFType::Float64(v / 256.0);
            break;
        case 2:
            (*target)[field] = CFType::String(std::to_string(v));
            break;
        case 3:
            (*target)[field] = CFType::Data(CFDataStorage(static_cast<std::uint16_t>(v), 0x3E));
            break;
        default:
            target->erase(field);
        }
    }
    if (RestoreState(host, state) != noErr) return 0;
    if (RestoreState(host, SaveState(host)) != noErr) __builtin_trap();
    return 0;
}
