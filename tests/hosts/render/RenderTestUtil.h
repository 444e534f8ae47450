#pragma once
// What the render-host tests share: MIDI files built byte by byte, and scratch files.

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// A chunk: four-letter type, big-endian length, body.
Bytes Chunk(const char (&type)[5], const Bytes& body);
// The header chunk of a file.
Bytes Header(std::uint16_t format, std::uint16_t tracks, std::uint16_t division);
Bytes Concat(const std::vector<Bytes>& parts);

// One event of a track: its tick and its bytes (status and data, or a meta event from 0xFF).
struct TimedBytes
{
    std::uint32_t tick = 0;
    Bytes bytes;
};
// A format 0 file with one track holding the events, stably sorted by tick, each after its
// delta time, and the end of the track.
Bytes SingleTrackFile(std::uint16_t ticksPerQuarter, std::vector<TimedBytes> events);
TimedBytes NoteOn(std::uint32_t tick, std::uint8_t key, std::uint8_t velocity = 100);
TimedBytes NoteOff(std::uint32_t tick, std::uint8_t key);
// Time signature numerator / 2^power at tick.
TimedBytes Meter(std::uint32_t tick, std::uint8_t numerator, std::uint8_t power);

// Format 1, 96 ticks per quarter note, two tracks.
// Track 1: 3/4 at tick 0, tempo 500000 µs (120 bpm) at tick 0, tempo 1000000 µs (60 bpm) at
//          tick 192.
// Track 2: note on 60/100 at tick 0; running status: 60/0 at 96, 64/100 at 192; a text meta
//          event and a sysex (both skipped, running status cancelled); at tick 320 controller
//          7 = 80, program change 5, pitch wheel 0x2000; end of track.
Bytes TwoTrackFile();

// A fresh directory for this test process's files, and a name in it.
std::string ScratchDirectory();
std::string ScratchPath(const std::string& name);
// File helpers; they throw std::runtime_error when the file system refuses.
void WriteFile(const std::string& path, const Bytes& bytes);
std::string Slurp(const std::string& path);
// 1000 frames of 32-bit float stereo at 48 kHz in the scratch directory: the left channel
// rises by 0.001 a frame from 0, the right is its negative. Returns the path.
std::string RampInput();
// A stereo 32-bit float file at 48 kHz in the scratch directory, frame i of both channels
// holding signal(i); returns the path.
std::string SignalInput(const std::string& name, std::uint64_t frames, float (*signal)(double i));
// The left channel of an audio file, and its length in frames.
std::vector<float> ReadLeft(const std::string& path, std::uint64_t& frames);

// A program run to its end with stdin from /dev/null: its exit status (−1 when it did not
// exit normally) and what it printed.
struct Outcome
{
    int status = -1;
    std::string out;
    std::string err;
};
Outcome RunProgram(const std::string& program, const std::vector<std::string>& args);
