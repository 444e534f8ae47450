#include "hosts/render/StandardMidiFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace
{
constexpr std::size_t kChunkHeaderSize = 8;
constexpr std::size_t kMinHeaderLength = 6;
// Four bytes of seven bits: the largest number the format allows is 0x0FFFFFFF.
constexpr int kMaxVariableLengthBytes = 4;

constexpr std::uint8_t kMetaEvent = 0xFF;
constexpr std::uint8_t kSysEx = 0xF0;
constexpr std::uint8_t kSysExEscape = 0xF7;
constexpr std::uint8_t kMetaEndOfTrack = 0x2F;
constexpr std::uint8_t kMetaTempo = 0x51;
constexpr std::uint8_t kMetaTimeSignature = 0x58;
// Denominators from a whole note (2^0) down to a 128th note (2^7).
constexpr std::uint8_t kMaxDenominatorPower = 7;

std::uint32_t BigEndian(const std::uint8_t* p, int bytes)
{
    std::uint32_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value = (value << 8) | p[i];
    return value;
}

std::string Hex(std::size_t value)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%zX", value);
    return text;
}

// Reads one track chunk; every read is checked against the end of the chunk, and errors
// name the byte offset in the file.
class TrackReader
{
public:
    TrackReader(const std::uint8_t* file, std::size_t begin, std::size_t end, std::uint16_t track)
        : mFile(file), mPos(begin), mEnd(end), mTrack(track)
    {
    }

    bool Read(std::vector<StandardMidiFile::Event>& events,
              std::vector<StandardMidiFile::TempoChange>& tempos,
              std::vector<StandardMidiFile::TimeSignature>& signatures, std::string& error)
    {
        std::uint64_t tick = 0;
        std::uint8_t running = 0;
        while (mPos < mEnd)
        {
            std::uint32_t delta = 0;
            if (!VariableLength(delta, error)) return false;
            tick += delta;
            std::uint8_t status = 0;
            if (!Byte(status, "an event", error)) return false;
            if (status < 0x80)
            {
                if (running == 0)
                    return Fail(mPos - 1, "data byte " + Hex(status) + " without running status",
                                error);
                --mPos; // the byte is the message's first data byte
                status = running;
            }
            if (status < 0xF0)
            {
                running = status;
                if (!ChannelMessage(tick, status, events, error)) return false;
                continue;
            }
            // System-exclusive and meta events cancel running status.
            running = 0;
            if (status == kSysEx || status == kSysExEscape)
            {
                std::uint32_t length = 0;
                if (!VariableLength(length, error) || !Skip(length, "system-exclusive", error))
                    return false;
                continue;
            }
            if (status != kMetaEvent)
                return Fail(mPos - 1, "status byte " + Hex(status) + " does not belong in a file",
                            error);
            bool endOfTrack = false;
            if (!MetaEvent(tick, tempos, signatures, endOfTrack, error)) return false;
            if (endOfTrack) return true; // anything after the end of the track is not part of it
        }
        // A track without its end-of-track event still ends cleanly at an event boundary.
        return true;
    }

private:
    bool Fail(std::size_t at, const std::string& what, std::string& error) const
    {
        error = "track " + std::to_string(mTrack + 1) + ", byte " + Hex(at) + ": " + what;
        return false;
    }

    bool Byte(std::uint8_t& out, const char* what, std::string& error)
    {
        if (mPos >= mEnd) return Fail(mPos, std::string("track ends inside ") + what, error);
        out = mFile[mPos++];
        return true;
    }

    bool VariableLength(std::uint32_t& out, std::string& error)
    {
        const std::size_t start = mPos;
        out = 0;
        for (int i = 0; i < kMaxVariableLengthBytes; ++i)
        {
            std::uint8_t byte = 0;
            if (!Byte(byte, "a variable-length number", error)) return false;
            out = (out << 7) | (byte & 0x7Fu);
            if ((byte & 0x80) == 0) return true;
        }
        return Fail(start, "variable-length number longer than 4 bytes", error);
    }

    bool Skip(std::uint32_t length, const char* what, std::string& error)
    {
        if (length > mEnd - mPos)
            return Fail(mPos,
                        std::string(what) + " event of " + std::to_string(length) +
                            " bytes runs past the end of the track",
                        error);
        mPos += length;
        return true;
    }

    bool ChannelMessage(std::uint64_t tick, std::uint8_t status,
                        std::vector<StandardMidiFile::Event>& events, std::string& error)
    {
        const std::uint8_t kind = status & 0xF0;
        const int dataBytes = (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
        std::uint8_t data[2] = {0, 0};
        for (int i = 0; i < dataBytes; ++i)
        {
            if (!Byte(data[i], "a channel message", error)) return false;
            if (data[i] >= 0x80)
                return Fail(mPos - 1,
                            "data byte " + Hex(data[i]) + " of status " + Hex(status) +
                                " has its top bit set",
                            error);
        }
        events.push_back({tick, status, data[0], data[1], mTrack});
        return true;
    }

    bool MetaEvent(std::uint64_t tick, std::vector<StandardMidiFile::TempoChange>& tempos,
                   std::vector<StandardMidiFile::TimeSignature>& signatures, bool& endOfTrack,
                   std::string& error)
    {
        const std::size_t start = mPos - 1;
        std::uint8_t type = 0;
        std::uint32_t length = 0;
        if (!Byte(type, "a meta event", error) || !VariableLength(length, error)) return false;
        const std::size_t data = mPos;
        if (!Skip(length, "meta", error)) return false;
        const auto wrongLength = [&](const char* name, std::uint32_t expected)
        {
            return Fail(start,
                        std::string(name) + " meta event of " + std::to_string(length) +
                            " bytes (expected " + std::to_string(expected) + ")",
                        error);
        };
        switch (type)
        {
        case kMetaEndOfTrack:
            endOfTrack = true;
            return true;
        case kMetaTempo:
        {
            if (length != 3) return wrongLength("tempo", 3);
            const std::uint32_t microseconds = BigEndian(mFile + data, 3);
            if (microseconds == 0)
                return Fail(start, "tempo of 0 microseconds per quarter note", error);
            tempos.push_back({tick, microseconds});
            return true;
        }
        case kMetaTimeSignature:
        {
            if (length != 4) return wrongLength("time-signature", 4);
            const std::uint8_t numerator = mFile[data];
            const std::uint8_t power = mFile[data + 1];
            if (numerator == 0 || power > kMaxDenominatorPower)
                return Fail(start,
                            "time signature " + std::to_string(numerator) + "/2^" +
                                std::to_string(power) + " is not a meter",
                            error);
            signatures.push_back({tick, numerator, std::uint32_t{1} << power});
            return true;
        }
        default:
            return true;
        }
    }

    const std::uint8_t* mFile;
    std::size_t mPos;
    const std::size_t mEnd;
    const std::uint16_t mTrack;
};

bool ParseDivision(std::uint16_t raw, StandardMidiFile::Division& out, std::string& error)
{
    if ((raw & 0x8000) == 0)
    {
        if (raw == 0)
        {
            error = "header: 0 ticks per quarter note";
            return false;
        }
        out.ticksPerQuarter = raw;
        return true;
    }
    // The high byte holds minus the SMPTE frame rate in two's complement.
    const int framesPerSecond = 256 - (raw >> 8);
    const int ticksPerFrame = raw & 0xFF;
    if (framesPerSecond != 24 && framesPerSecond != 25 && framesPerSecond != 29 &&
        framesPerSecond != 30)
    {
        error = "header: SMPTE rate of " + std::to_string(framesPerSecond) +
                " frames per second (expected 24, 25, 29 or 30)";
        return false;
    }
    if (ticksPerFrame == 0)
    {
        error = "header: 0 ticks per SMPTE frame";
        return false;
    }
    out.framesPerSecond = static_cast<std::uint8_t>(framesPerSecond);
    out.ticksPerFrame = static_cast<std::uint8_t>(ticksPerFrame);
    return true;
}
} // namespace

bool StandardMidiFile::Parse(const std::uint8_t* bytes, std::size_t size, StandardMidiFile& out,
                             std::string& error)
{
    if (size < kChunkHeaderSize || std::memcmp(bytes, "MThd", 4) != 0)
    {
        error = "not a Standard MIDI File (no MThd header)";
        return false;
    }
    const std::uint32_t headerLength = BigEndian(bytes + 4, 4);
    if (headerLength < kMinHeaderLength)
    {
        error = "header chunk of " + std::to_string(headerLength) + " bytes (at least 6 needed)";
        return false;
    }
    if (headerLength > size - kChunkHeaderSize)
    {
        error = "header chunk of " + std::to_string(headerLength) +
                " bytes runs past the end of the file";
        return false;
    }
    StandardMidiFile file;
    file.mFormat = static_cast<std::uint16_t>(BigEndian(bytes + 8, 2));
    file.mTrackCount = static_cast<std::uint16_t>(BigEndian(bytes + 10, 2));
    if (file.mFormat == 2)
    {
        error = "format 2 (independent sequences) is not supported";
        return false;
    }
    if (file.mFormat > 2)
    {
        error = "unknown format " + std::to_string(file.mFormat);
        return false;
    }
    if (file.mTrackCount == 0 || (file.mFormat == 0 && file.mTrackCount != 1))
    {
        error = "format " + std::to_string(file.mFormat) + " with " +
                std::to_string(file.mTrackCount) + " tracks";
        return false;
    }
    if (!ParseDivision(static_cast<std::uint16_t>(BigEndian(bytes + 12, 2)), file.mDivision, error))
        return false;

    std::size_t pos = kChunkHeaderSize + headerLength;
    // Every track needs at least its chunk header: refuse absurd counts before reading.
    if (std::size_t{file.mTrackCount} * kChunkHeaderSize > size - pos)
    {
        error = "header declares " + std::to_string(file.mTrackCount) +
                " tracks, more than the file can hold";
        return false;
    }
    std::uint16_t track = 0;
    while (track < file.mTrackCount)
    {
        if (size - pos < kChunkHeaderSize)
        {
            error = "file ends before track " + std::to_string(track + 1) + " of " +
                    std::to_string(file.mTrackCount);
            return false;
        }
        const std::uint32_t length = BigEndian(bytes + pos + 4, 4);
        if (length > size - pos - kChunkHeaderSize)
        {
            error = "chunk at byte " + Hex(pos) + " of " + std::to_string(length) +
                    " bytes runs past the end of the file";
            return false;
        }
        const std::size_t begin = pos + kChunkHeaderSize;
        pos = begin + length;
        // Chunks of other types may appear between tracks; readers skip them.
        if (std::memcmp(bytes + begin - kChunkHeaderSize, "MTrk", 4) != 0) continue;
        TrackReader reader(bytes, begin, pos, track);
        if (!reader.Read(file.mEvents, file.mTempoChanges, file.mTimeSignatures, error))
            return false;
        ++track;
    }

    const auto byTick = [](const auto& a, const auto& b) { return a.tick < b.tick; };
    std::stable_sort(file.mEvents.begin(), file.mEvents.end(), byTick);
    std::stable_sort(file.mTempoChanges.begin(), file.mTempoChanges.end(), byTick);
    std::stable_sort(file.mTimeSignatures.begin(), file.mTimeSignatures.end(), byTick);
    out = std::move(file);
    return true;
}

bool StandardMidiFile::Read(const std::string& path, StandardMidiFile& out, std::string& error)
{
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream(std::fopen(path.c_str(), "rb"),
                                                                 &std::fclose);
    if (!stream)
    {
        error = std::strerror(errno);
        return false;
    }
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[65536];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, stream.get())) > 0)
    {
        if (bytes.size() + got > kMaxFileSize)
        {
            error = "larger than " + std::to_string(kMaxFileSize >> 20) + " MB";
            return false;
        }
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    if (std::ferror(stream.get()))
    {
        error = std::strerror(errno);
        return false;
    }
    return Parse(bytes.data(), bytes.size(), out, error);
}
