#pragma once
// A Standard MIDI File read into memory: its timing (ticks per quarter note or SMPTE frames),
// the channel messages of every track merged in time order, and the tempo and time-signature
// meta events that make up its tempo map. Format 0 and format 1 are read; system-exclusive
// messages and every other meta event are skipped.
//
// The reader trusts nothing in the file: every chunk length, variable-length number and
// message length is checked against the bytes that are really there, and a malformed file
// gives an error text naming the track and byte offset instead of a partial result.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class StandardMidiFile
{
public:
    // Files larger than this are refused before they are read; a long song is well under 1 MB.
    static constexpr std::size_t kMaxFileSize = std::size_t{64} << 20;

    // One channel message (status 0x80 … 0xEF) with its data bytes; data2 is 0 for the
    // one-byte messages (program change, channel pressure).
    struct Event
    {
        std::uint64_t tick = 0;
        std::uint8_t status = 0;
        std::uint8_t data1 = 0;
        std::uint8_t data2 = 0;
        std::uint16_t track = 0;
    };

    struct TempoChange
    {
        std::uint64_t tick = 0;
        std::uint32_t microsecondsPerQuarter = 0;
    };

    struct TimeSignature
    {
        std::uint64_t tick = 0;
        std::uint8_t numerator = 0;
        std::uint32_t denominator = 0; // a power of two: 4 for a quarter note
    };

    // Timing: with ticks per quarter note the tempo map decides how long a tick lasts; with
    // SMPTE timing a tick lasts 1 / (framesPerSecond × ticksPerFrame) seconds whatever the tempo.
    struct Division
    {
        std::uint16_t ticksPerQuarter = 0; // 0 with SMPTE timing
        std::uint8_t framesPerSecond = 0;  // 24, 25, 29 (drop frame, 29.97) or 30
        std::uint8_t ticksPerFrame = 0;
    };

    // Replaces out only on success.
    static bool Parse(const std::uint8_t* bytes, std::size_t size, StandardMidiFile& out,
                      std::string& error);
    static bool Read(const std::string& path, StandardMidiFile& out, std::string& error);

    std::uint16_t Format() const { return mFormat; }
    const Division& GetDivision() const { return mDivision; }
    // Sorted by tick; at equal ticks in track order, and within a track in file order.
    const std::vector<Event>& Events() const { return mEvents; }
    const std::vector<TempoChange>& TempoChanges() const { return mTempoChanges; }
    const std::vector<TimeSignature>& TimeSignatures() const { return mTimeSignatures; }

private:
    std::uint16_t mFormat = 0;
    std::uint16_t mTrackCount = 0;
    Division mDivision;
    std::vector<Event> mEvents;
    std::vector<TempoChange> mTempoChanges;
    std::vector<TimeSignature> mTimeSignatures;
};
