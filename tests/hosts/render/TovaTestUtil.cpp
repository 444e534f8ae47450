#include "TovaTestUtil.h"

#include "platform/cf/PropertyListFile.h"

#include <algorithm>
#include <bit>
#include <cmath>
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

float BigEndianFloat(const std::uint8_t* p)
{
    return std::bit_cast<float>((std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) |
                                (std::uint32_t{p[2]} << 8) | p[3]);
}
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
        const std::string name = "key " + std::to_string(k);
        if (static_cast<std::size_t>(key.slot) >= saved.slots.size())
            throw std::runtime_error(name + " names no saved sample");
        const Slot& slot = saved.slots[static_cast<std::size_t>(key.slot)];
        if (slot.size <= 0 || slot.start < 0 || slot.start + slot.size > length)
            throw std::runtime_error(name + " holds a sample outside the saved pool");
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
    const int id = keys.at(static_cast<std::size_t>(key)).slot;
    if (id < 0) return {};
    const Slot& slot = slots.at(static_cast<std::size_t>(id));
    const auto begin = poolLeft.begin() + slot.start;
    return std::vector<float>(begin, begin + slot.size);
}

float Tone(double frequency, double rate, double frame)
{
    return static_cast<float>(0.5 * std::sin(2 * std::numbers::pi * frequency * frame / rate));
}

double Frequency(const std::vector<float>& s, std::size_t from, std::size_t to, double rate)
{
    std::vector<double> periods;
    double last = -1;
    for (std::size_t i = from + 1; i < to && i < s.size(); ++i)
        if (s[i - 1] < 0 && s[i] >= 0)
        {
            const double at = static_cast<double>(i - 1) + s[i - 1] / (s[i - 1] - s[i]);
            if (last >= 0) periods.push_back(at - last);
            last = at;
        }
    if (periods.empty()) return 0;
    const auto middle = periods.begin() + static_cast<std::ptrdiff_t>(periods.size() / 2);
    std::nth_element(periods.begin(), middle, periods.end());
    return rate / *middle;
}

double Rms(const std::vector<float>& s, std::size_t from, std::size_t to)
{
    double sum = 0;
    std::size_t n = 0;
    for (std::size_t i = from; i < to && i < s.size(); ++i, ++n)
        sum += static_cast<double>(s[i]) * s[i];
    return n == 0 ? 0 : std::sqrt(sum / static_cast<double>(n));
}

std::vector<std::size_t> QuietStarts(const std::vector<float>& s, std::size_t from)
{
    constexpr std::size_t kWindow = 1000;
    std::vector<double> rms;
    for (std::size_t i = from; i + kWindow <= s.size(); i += kWindow)
        rms.push_back(Rms(s, i, i + kWindow));
    const double loudest = rms.empty() ? 0 : *std::max_element(rms.begin(), rms.end());
    std::vector<std::size_t> starts;
    for (std::size_t w = 1; w < rms.size(); ++w)
        if (rms[w] < loudest / 10 && rms[w - 1] >= loudest / 10)
            starts.push_back(from + w * kWindow);
    return starts;
}
