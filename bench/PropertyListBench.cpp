// Saving and restoring a full preset: 5,000,000 stereo frames (a 40 MB Data value of
// big-endian floats) beside a few hundred small entries, in both property-list forms.
#include "platform/cf/BinaryPropertyList.h"
#include "platform/cf/PropertyListFile.h"
#include "platform/cf/XMLPropertyList.h"

#include <benchmark/benchmark.h>

#include <filesystem>

namespace
{
constexpr std::size_t kFrames = 5000000;

// The pool as one Data value, 64 slot and 128 key dictionaries of numbers, identity keys.
const CFType& FullState()
{
    static const CFType state = []
    {
        CFDataStorage pool(8 * kFrames);
        std::uint32_t noise = 1;
        for (std::uint8_t& byte : pool)
        {
            noise = noise * 1664525u + 1013904223u;
            byte = static_cast<std::uint8_t>(noise >> 24);
        }
        CFArrayStorage slots;
        for (int i = 0; i < 64; ++i)
        {
            CFDictionaryStorage slot;
            for (const char* key : {"start", "last", "size", "sync", "neverLoop", "playAll"})
                slot.emplace(key, CFType::SInt32(i * 1000));
            slot.emplace("tempo", CFType::Float64(120.0 + i));
            slot.emplace("sr", CFType::Float64(48000.0));
            slots.push_back(CFType::Dictionary(std::move(slot)));
        }
        CFArrayStorage keys;
        for (int k = 0; k < 128; ++k)
        {
            keys.push_back(CFType::Dictionary({{"id", CFType::SInt32(k % 64)},
                                               {"pitchshift", CFType::Float64(1.0 + k / 128.0)},
                                               {"speed", CFType::Float64(1.0)},
                                               {"auto", CFType::SInt32(k % 2)},
                                               {"looping", CFType::SInt32(1)}}));
        }
        return CFType::Dictionary(
            {{"version", CFType::SInt32(0)},
             {"type", CFType::SInt32(0x61756D66)},
             {"data", CFType::Data(CFDataStorage(292, 0))},
             {"name", CFType::String("Benchmark")},
             {"tova-samples",
              CFType::Dictionary({{"length", CFType::SInt32(static_cast<std::int32_t>(kFrames))},
                                  {"samples", CFType::Data(std::move(pool))},
                                  {"data", CFType::Array(std::move(slots))}})},
             {"tova-keysinfo", CFType::Dictionary({{"data", CFType::Array(std::move(keys))}})}});
    }();
    return state;
}

void BM_BinaryWriteAndRead(benchmark::State& state)
{
    const CFType& tree = FullState();
    for (auto _ : state)
    {
        const std::vector<std::uint8_t> bytes = BinaryPropertyList::Write(tree);
        CFType back;
        std::string error;
        if (!BinaryPropertyList::Read(bytes.data(), bytes.size(), back, error))
            state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(back);
    }
}

void BM_BinaryFileWriteAndRead(benchmark::State& state)
{
    const CFType& tree = FullState();
    const std::string path =
        (std::filesystem::temp_directory_path() / "tova-bench-state.plist").string();
    for (auto _ : state)
    {
        CFType back;
        std::string error;
        if (!PropertyListFile::Write(path, tree, PropertyListFormat::Binary, error) ||
            !PropertyListFile::Read(path, back, error))
            state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(back);
    }
    std::filesystem::remove(path);
}

void BM_XMLWriteAndRead(benchmark::State& state)
{
    const CFType& tree = FullState();
    for (auto _ : state)
    {
        std::vector<std::uint8_t> bytes;
        CFType back;
        std::string error;
        if (!XMLPropertyList::Write(tree, bytes, error) ||
            !XMLPropertyList::Read(bytes.data(), bytes.size(), back, error))
            state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(back);
    }
}
} // namespace

BENCHMARK(BM_BinaryWriteAndRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BinaryFileWriteAndRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_XMLWriteAndRead)->Unit(benchmark::kMillisecond);
