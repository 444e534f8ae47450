#pragma once
// What the tests of the three programs running Tova share: scratch files, MIDI files built
// byte by byte, audio files, programs run to their end, saved states, and measured signals.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// One event of a track: its tick and its bytes (status and data, or a meta event from 0xFF).
struct TimedBytes
{
    std::uint32_t tick = 0;
    Bytes bytes;
};
// A format 0 file, its events stably sorted by tick.
Bytes SingleTrackFile(std::uint16_t ticksPerQuarter, std::vector<TimedBytes> events);
TimedBytes NoteOn(std::uint32_t tick, std::uint8_t key);
TimedBytes NoteOff(std::uint32_t tick, std::uint8_t key);

// A name in a directory of this test process's own, removed when it ends.
std::string ScratchPath(const std::string& name);
// These throw std::runtime_error when a file cannot be written or read.
void WriteFile(const std::string& path, const Bytes& bytes);
std::string Slurp(const std::string& path);
// A stereo 32-bit float file at 48 kHz, frame i of both channels holding signal(i).
std::string SignalInput(const std::string& name, std::uint64_t frames, float (*signal)(double i));
std::vector<float> ReadLeft(const std::string& path);

// A program run to its end with stdin from /dev/null: its exit status (−1 when it did not
// exit normally) and what it printed.
struct Outcome
{
    int status = -1;
    std::string out;
    std::string err;
};
Outcome RunProgram(const std::string& program, const std::vector<std::string>& args);

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
    std::vector<int> OwnKeys() const; // the keys holding a sample of their own
    const Slot& SlotOf(int key) const { return slots.at(static_cast<std::size_t>(keys[key].slot)); }
    std::vector<float> LeftOf(int key) const;

    std::array<Key, 128> keys;
    std::vector<Slot> slots;
    std::vector<float> poolLeft;
};

// A sine of amplitude 0.5 at frame `frame` of a stream at `rate`.
float Tone(double frequency, double rate, double frame);
// Frequency from the median distance between rising zero crossings of s[from, to): a click or
// a dropped cycle moves a few distances, not the median.
double Frequency(const std::vector<float>& s, std::size_t from, std::size_t to, double rate);
double Rms(const std::vector<float>& s, std::size_t from, std::size_t to);
