#include "TovaTestUtil.h"

#include "platform/cf/PropertyListFile.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <stdexcept>

namespace
{
const CFType& Field(const CFType& dictionary, const char* key)
{
    const CFDictionaryStorage& entries = dictionary.AsDictionary();
    const auto it = entries.find(key);
    if (it == entries.end()) throw std::runtime_error(std::string("no \"") + key + "\" in state");
    return it->second;
}

bool Has(const CFType& dictionary, const char* key)
{
    return dictionary.AsDictionary().count(key) != 0;
}

float BigEndianFloat(const std::uint8_t* p)
{
    const std::uint32_t bits = (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) |
                               (std::uint32_t{p[2]} << 8) | p[3];
    float value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

constexpr std::size_t kWindow = 16384;
} // namespace

SavedTova SavedTova::Read(const std::string& path)
{
    CFType state;
    std::string error;
    if (!PropertyListFile::Read(path, state, error)) throw std::runtime_error(error);
    SavedTova saved;
    const CFType& pool = Field(state, "tova-samples");
    const std::int64_t length = Field(pool, "length").AsSInt64();
    if (length > 0)
    {
        const CFDataStorage& bytes = Field(pool, "samples").AsData();
        if (bytes.size() != static_cast<std::size_t>(length) * 8)
            throw std::runtime_error("pool frames of the wrong size");
        saved.poolLeft.resize(static_cast<std::size_t>(length));
        for (std::size_t i = 0; i < saved.poolLeft.size(); ++i)
            saved.poolLeft[i] = BigEndianFloat(bytes.data() + 4 * i);
        for (const CFType& entry : Field(pool, "data").AsArray())
        {
            Slot slot;
            slot.size = Field(entry, "size").AsSInt64();
            if (slot.size != 0)
            {
                slot.start = Field(entry, "start").AsSInt64();
                slot.tempo = Field(entry, "tempo").AsFloat64();
                slot.sync = Field(entry, "sync").AsSInt32();
            }
            saved.slots.push_back(slot);
        }
    }
    const CFArrayStorage& keys = Field(Field(state, "tova-keysinfo"), "data").AsArray();
    if (keys.size() != saved.keys.size()) throw std::runtime_error("not 128 keys");
    for (std::size_t k = 0; k < keys.size(); ++k)
    {
        Key& key = saved.keys[k];
        key.slot = Field(keys[k], "id").AsSInt32();
        if (key.slot < 0) continue;
        if (static_cast<std::size_t>(key.slot) >= saved.slots.size() || !Has(keys[k], "auto"))
            throw std::runtime_error("key " + std::to_string(k) + " names no saved sample");
        key.pitchShift = Field(keys[k], "pitchshift").AsFloat64();
        key.automatic = Field(keys[k], "auto").AsSInt32() != 0;
    }
    return saved;
}

std::vector<int> SavedTova::OwnKeys() const
{
    std::vector<int> own;
    for (std::size_t k = 0; k < keys.size(); ++k)
        if (keys[k].slot >= 0 && !keys[k].automatic) own.push_back(static_cast<int>(k));
    return own;
}

std::vector<float> SavedTova::LeftOf(int key) const
{
    const Slot& slot =
        slots.at(static_cast<std::size_t>(keys.at(static_cast<std::size_t>(key)).slot));
    const auto begin = poolLeft.begin() + slot.start;
    return std::vector<float>(begin, begin + slot.size);
}

double PeakFrequency(const std::vector<float>& s, std::size_t from, double rate)
{
    if (from + kWindow > s.size()) throw std::runtime_error("window past the end");
    // A plain DFT, bin by bin: slow, but only a few windows are measured.
    const std::size_t lowest = static_cast<std::size_t>(20.0 * kWindow / rate);
    const std::size_t highest = static_cast<std::size_t>(5000.0 * kWindow / rate);
    std::vector<double> magnitude(std::min(highest, kWindow / 2));
    std::vector<double> windowed(kWindow);
    for (std::size_t i = 0; i < kWindow; ++i)
        windowed[i] = s[from + i] * (0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / kWindow));
    std::size_t best = lowest;
    for (std::size_t bin = lowest; bin < magnitude.size(); ++bin)
    {
        // Goertzel's recurrence for one bin.
        const double w = 2 * std::numbers::pi * bin / kWindow;
        const double coefficient = 2 * std::cos(w);
        double s1 = 0;
        double s2 = 0;
        for (double x : windowed)
        {
            const double s0 = x + coefficient * s1 - s2;
            s2 = s1;
            s1 = s0;
        }
        magnitude[bin] = std::sqrt(std::max(0.0, s1 * s1 + s2 * s2 - coefficient * s1 * s2));
        if (magnitude[bin] > magnitude[best]) best = bin;
    }
    double offset = 0;
    if (best > lowest && best + 1 < magnitude.size())
    {
        const double a = std::log(magnitude[best - 1] + 1e-30);
        const double b = std::log(magnitude[best] + 1e-30);
        const double c = std::log(magnitude[best + 1] + 1e-30);
        offset = 0.5 * (a - c) / (a - 2 * b + c);
    }
    return (static_cast<double>(best) + offset) * rate / kWindow;
}

double Rms(const std::vector<float>& s, std::size_t from, std::size_t to)
{
    double sum = 0;
    std::size_t n = 0;
    for (std::size_t i = from; i < to && i < s.size(); ++i, ++n)
        sum += static_cast<double>(s[i]) * s[i];
    return n == 0 ? 0 : std::sqrt(sum / static_cast<double>(n));
}
