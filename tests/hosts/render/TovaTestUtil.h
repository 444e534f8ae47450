#pragma once
// What the tests of tova-render with Tova share: the recordings a saved state holds, and
// measurements of the rendered sound.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// A state file as Tova saved it: every key's sample and how the key plays it.
struct SavedTova
{
    struct Key
    {
        int slot = -1; // -1: no sample
        double pitchShift = 1.0;
        bool automatic = false;
    };
    struct Slot
    {
        std::int64_t start = 0;
        std::int64_t size = 0; // 0: a free slot
        double tempo = 0.0;
        int sync = 0;
    };

    // Throws std::runtime_error when the file is unreadable or not shaped like Tova's state.
    static SavedTova Read(const std::string& path);

    // The keys that hold a sample of their own, in key order.
    std::vector<int> OwnKeys() const;
    // The left channel of the sample a key holds.
    std::vector<float> LeftOf(int key) const;

    std::array<Key, 128> keys;
    std::vector<Slot> slots;
    std::vector<float> poolLeft;
};

// The strongest frequency of s[from, from + 16384) (Hann window, a peak between bins placed by
// a parabola through the log magnitudes of its neighbours), from 20 Hz up to 5 kHz.
double PeakFrequency(const std::vector<float>& s, std::size_t from, double rate);
// Root mean square of s[from, to).
double Rms(const std::vector<float>& s, std::size_t from, std::size_t to);
