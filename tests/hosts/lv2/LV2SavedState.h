#pragma once
// What Tova's bundle saved into a state directory (state.bplist, made through state:makePath),
// read back with the project's property-list reader: the pool's length and frames, the sample
// slots and the keys, so that tests can check what was recorded rather than only how it sounds.

#include "platform/cf/PropertyListFile.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

struct LV2SavedState
{
    struct Slot
    {
        std::int32_t size = 0;
        std::int32_t start = 0;
    };
    struct Key
    {
        std::int32_t id = -1;
        double pitchShift = 0;
        std::int32_t automatic = 0;
    };

    std::int32_t length = -1;    // "tova-samples" "length"; −1 when the file could not be read
    std::vector<float> left;     // the pool's frames 0 … length − 1
    std::vector<float> right;    // likewise
    std::vector<Slot> slots;     // "tova-samples" "data", in slot order
    std::vector<Key> keys;       // "tova-keysinfo" "data", one per MIDI key
    std::size_t sampleBytes = 0; // the size of "samples" as stored
    std::string error;

    explicit LV2SavedState(const std::filesystem::path& dir)
    {
        CFType state;
        if (!PropertyListFile::Read((dir / "state.bplist").string(), state, error)) return;
        const CFType& samples = Entry(state, "tova-samples");
        length = Entry(samples, "length").AsSInt32();
        for (const CFType& slot : Items(Entry(samples, "data")))
            slots.push_back({Entry(slot, "size").AsSInt32(), Entry(slot, "start").AsSInt32()});
        for (const CFType& key : Items(Entry(Entry(state, "tova-keysinfo"), "data")))
            keys.push_back({Entry(key, "id").AsSInt32(), Entry(key, "pitchshift").AsFloat64(),
                            Entry(key, "auto").AsSInt32()});
        const CFType& frames = Entry(samples, "samples");
        if (frames.GetKind() != CFType::Kind::Data) return;
        const auto& bytes = frames.AsData();
        sampleBytes = bytes.size();
        if (length <= 0 || bytes.size() != 8 * static_cast<std::size_t>(length)) return;
        // Big-endian floats, the left channel then the right.
        for (std::size_t i = 0; i < 2 * static_cast<std::size_t>(length); ++i)
        {
            const std::uint32_t word = std::uint32_t{bytes[4 * i]} << 24 |
                                       std::uint32_t{bytes[4 * i + 1]} << 16 |
                                       std::uint32_t{bytes[4 * i + 2]} << 8 | bytes[4 * i + 3];
            float value = 0;
            std::memcpy(&value, &word, sizeof value);
            (i < static_cast<std::size_t>(length) ? left : right).push_back(value);
        }
    }

    // The left channel of the sample held by key; empty when the key holds none or its slot
    // reaches outside the pool's frames.
    std::vector<float> KeyFrames(int key) const
    {
        const int id = keys.at(static_cast<std::size_t>(key)).id;
        if (id < 0 || static_cast<std::size_t>(id) >= slots.size()) return {};
        const Slot& slot = slots[static_cast<std::size_t>(id)];
        if (slot.start < 0 || slot.size <= 0 ||
            static_cast<std::size_t>(slot.start) + static_cast<std::size_t>(slot.size) >
                left.size())
            return {};
        return {left.begin() + slot.start, left.begin() + slot.start + slot.size};
    }

private:
    static const CFType& Entry(const CFType& dictionary, const std::string& key)
    {
        static const CFType kNull;
        if (dictionary.GetKind() != CFType::Kind::Dictionary) return kNull;
        const auto found = dictionary.AsDictionary().find(key);
        return found == dictionary.AsDictionary().end() ? kNull : found->second;
    }
    static const CFArrayStorage& Items(const CFType& array)
    {
        static const CFArrayStorage kNone;
        return array.GetKind() == CFType::Kind::Array ? array.AsArray() : kNone;
    }
};
