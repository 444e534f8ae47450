// Tova's preset state with a full pool (5,000,000 stereo frames): the unit's save and restore,
// and both whole round trips through the property-list forms a host stores.

#include "engine/CTovaEntry.h"
#include "platform/AudioUnitProperties.h"
#include "platform/cf/BinaryPropertyList.h"
#include "platform/cf/CACFArray.h"
#include "platform/cf/CACFDictionary.h"
#include "platform/cf/XMLPropertyList.h"

#include <benchmark/benchmark.h>

#include <bit>

namespace
{
constexpr std::int32_t kFrames = 5000000;

// A Tova unit whose pool is full: one sample over all of it, on every key.
class FullUnit
{
public:
    FullUnit()
    {
        AudioComponentInstanceNew(&kTovaRegistration, &mUnit);
        CFType state = Save();
        CFDataStorage frames(8 * static_cast<std::size_t>(kFrames));
        for (std::size_t i = 0; i < frames.size(); i += 4)
        {
            const auto bits = std::bit_cast<std::uint32_t>(static_cast<float>(i % 997) / 997);
            for (int b = 0; b < 4; ++b)
                frames[i + b] = static_cast<std::uint8_t>(bits >> (24 - 8 * b));
        }
        CACFDictionary samples;
        samples.AddSInt32("length", kFrames);
        samples.AddData("samples", std::move(frames));
        CACFArray slots;
        CACFDictionary slot;
        slot.AddSInt32("start", 0);
        slot.AddSInt32("size", kFrames);
        slots.AppendDictionary(slot);
        samples.AddArray("data", slots);
        CACFArray keys;
        for (int k = 0; k < 128; ++k)
        {
            CACFDictionary key;
            key.AddSInt32("id", 0);
            keys.AppendDictionary(key);
        }
        CACFDictionary keysInfo;
        keysInfo.AddArray("data", keys);
        CACFDictionary top(std::move(state));
        top.AddDictionary("tova-samples", samples);
        top.AddDictionary("tova-keysinfo", keysInfo);
        Restore(top.GetCFType());
    }
    ~FullUnit() { AudioComponentInstanceDispose(mUnit); }
    FullUnit(const FullUnit&) = delete;
    FullUnit& operator=(const FullUnit&) = delete;

    CFType Save() const
    {
        CFType state;
        UInt32 size = sizeof state;
        AudioUnitGetProperty(mUnit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &state,
                             &size);
        return state;
    }
    OSStatus Restore(const CFType& state) const
    {
        return AudioUnitSetProperty(mUnit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0,
                                    &state, sizeof state);
    }

private:
    AudioUnit mUnit = nullptr;
};

FullUnit& Unit()
{
    static FullUnit unit;
    return unit;
}

void BM_StateSaveFullPool(benchmark::State& state)
{
    for (auto _ : state)
    {
        const CFType saved = Unit().Save();
        if (saved.AsDictionary().at("tova-samples").AsDictionary().at("length").AsSInt64() !=
            kFrames)
            state.SkipWithError("the pool is not full");
    }
}
BENCHMARK(BM_StateSaveFullPool)->Unit(benchmark::kMillisecond);

void BM_StateRestoreFullPool(benchmark::State& state)
{
    const CFType saved = Unit().Save();
    for (auto _ : state)
        if (Unit().Restore(saved) != noErr) state.SkipWithError("the state was refused");
}
BENCHMARK(BM_StateRestoreFullPool)->Unit(benchmark::kMillisecond);

// Save, write the bytes a host stores, read them back and restore.
void BM_StateRoundTripBinary(benchmark::State& state)
{
    for (auto _ : state)
    {
        const std::vector<std::uint8_t> bytes = BinaryPropertyList::Write(Unit().Save());
        CFType read;
        std::string error;
        BinaryPropertyList::Read(bytes.data(), bytes.size(), read, error);
        if (Unit().Restore(read) != noErr) state.SkipWithError("the state was refused");
    }
}
BENCHMARK(BM_StateRoundTripBinary)->Unit(benchmark::kMillisecond);

void BM_StateRoundTripXML(benchmark::State& state)
{
    for (auto _ : state)
    {
        std::vector<std::uint8_t> bytes;
        std::string error;
        XMLPropertyList::Write(Unit().Save(), bytes, error);
        CFType read;
        XMLPropertyList::Read(bytes.data(), bytes.size(), read, error);
        if (Unit().Restore(read) != noErr) state.SkipWithError("the state was refused");
    }
}
BENCHMARK(BM_StateRoundTripXML)->Unit(benchmark::kMillisecond);
} // namespace
