#pragma once
// What the tests of the three programs running Tova share: the recordings a saved state holds,
// and the signals they feed and measure.

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

    // Throws std::runtime_error when the file is unreadable or not shaped like Tova's state:
    // pool bytes that are not 8 per frame, a key naming no slot, a slot outside the pool.
    static SavedTova Read(const std::string& path);

    // The keys that hold a sample of their own, in key order.
    std::vector<int> OwnKeys() const;
    // The left channel of the sample a key holds.
    std::vector<float> LeftOf(int key) const;

    std::array<Key, 128> keys;
    std::vector<Slot> slots;
    std::vector<float> poolLeft;
};

// A sine of amplitude 0.5 at frame `frame` of a stream at `rate`.
float Tone(double frequency, double rate, double frame);
// Frequency from the median distance between rising zero crossings of s[from, to), each placed
// between its two frames by linear interpolation: a click or a dropped cycle moves a few
// distances, not the median.
double Frequency(const std::vector<float>& s, std::size_t from, std::size_t to, double rate);
// Root mean square of s[from, to).
double Rms(const std::vector<float>& s, std::size_t from, std::size_t to);
// Starts of the quiet stretches from `from` on: 1000-frame windows under a tenth of the
// loudest window, after a loud one.
std::vector<std::size_t> QuietStarts(const std::vector<float>& s, std::size_t from = 0);
