// Restores Tova from a valid state whose pool and keys the fuzzer's bytes edit: each eight
// bytes set one field of the pool, a slot or a key to an integer, a real, a text or bytes, or
// remove it. A restore stays inside its arrays and ends with a status, and a state it accepts
// saves as a state it accepts again.

#include "CTovaProbe.h"
#include "StateTestUtil.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static TovaHost host;
    static const CFType base = [] // keys 10 and 11 share slot 0, key 20 holds slot 1
    {
        CTovaProbe probe(host.Tova());
        probe.GiveSample(10, 1000, 0.25f, 120.0);
        probe.GiveSample(20, 500, -0.5f);
        probe.Key(11) = probe.Key(10);
        probe.Key(10).Sample()->Retain();
        return SaveState(host);
    }();
    static const char* const kFields[3][8] = {
        {"version", "length", "samples", "version", "length", "samples", "length", "samples"},
        {"start", "last", "size", "tempo", "sr", "sync", "neverLoop", "playAll"},
        {"id", "pitchshift", "speed", "auto", "looping", "id", "auto", "speed"}};
    CFType state = base;
    CFDictionaryStorage& pool = state.AsDictionary().at("tova-samples").AsDictionary();
    CFArrayStorage& slots = pool.at("data").AsArray();
    CFArrayStorage& keys =
        state.AsDictionary().at("tova-keysinfo").AsDictionary().at("data").AsArray();
    for (const std::uint8_t* e = data; e + 8 <= data + size; e += 8)
    {
        const auto v =
            static_cast<std::int32_t>(std::uint32_t{e[4]} << 24 | std::uint32_t{e[5]} << 16 |
                                      std::uint32_t{e[6]} << 8 | e[7]);
        CFDictionaryStorage& target = e[0] % 3 == 0   ? pool
                                      : e[0] % 3 == 1 ? slots[e[1] % slots.size()].AsDictionary()
                                                      : keys[e[1] % keys.size()].AsDictionary();
        const std::string field = kFields[e[0] % 3][e[2] % 8];
        const CFType values[] = {CFType::SInt32(v), CFType::Float64(v / 256.0),
                                 CFType::String(std::to_string(v)),
                                 CFType::Data(CFDataStorage(static_cast<std::uint16_t>(v), 0x3E))};
        if (e[3] % 5 == 4)
            target.erase(field);
        else
            target[field] = values[e[3] % 5];
    }
    if (RestoreState(host, state) == noErr && RestoreState(host, SaveState(host)) != noErr)
        __builtin_trap();
    return 0;
}
