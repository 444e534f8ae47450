#include "hosts/render/StandardMidiFile.h"
#include "RenderTestUtil.h"

#include <gtest/gtest.h>

namespace
{
const Bytes kEnd = {0x00, 0xFF, 0x2F, 0x00};

bool Parse(const Bytes& bytes, StandardMidiFile& out, std::string& error)
{
    return StandardMidiFile::Parse(bytes.data(), bytes.size(), out, error);
}

// A format-0 file around one track body.
Bytes SingleTrack(const Bytes& body, std::uint16_t division = 96)
{
    return Concat({Header(0, 1, division), Chunk("MTrk", body)});
}

StandardMidiFile Parsed(const Bytes& bytes)
{
    StandardMidiFile file;
    std::string error;
    EXPECT_TRUE(Parse(bytes, file, error)) << error;
    return file;
}

std::string ErrorOf(const Bytes& bytes)
{
    StandardMidiFile file;
    std::string error;
    EXPECT_FALSE(Parse(bytes, file, error));
    return error;
}
} // namespace

TEST(StandardMidiFile, TwoTracksWithRunningStatusMergeInTickOrder)
{
    const StandardMidiFile file = Parsed(TwoTrackFile());
    EXPECT_EQ(1, file.Format());
    EXPECT_EQ(2, file.TrackCount());
    EXPECT_EQ(96, file.GetDivision().ticksPerQuarter);

    const auto& events = file.Events();
    ASSERT_EQ(6u, events.size());
    const auto expect = [&](std::size_t i, std::uint64_t tick, int status, int d1, int d2)
    {
        SCOPED_TRACE(i);
        EXPECT_EQ(tick, events[i].tick);
        EXPECT_EQ(status, events[i].status);
        EXPECT_EQ(d1, events[i].data1);
        EXPECT_EQ(d2, events[i].data2);
        EXPECT_EQ(1, events[i].track);
    };
    expect(0, 0, 0x90, 60, 100);
    expect(1, 96, 0x90, 60, 0);    // running status
    expect(2, 192, 0x90, 64, 100); // running status
    // 192 + 128; the text and sysex events in between are skipped.
    expect(3, 320, 0xB0, 7, 80);
    expect(4, 320, 0xC0, 5, 0); // one data byte
    expect(5, 320, 0xE0, 0, 64);

    ASSERT_EQ(2u, file.TempoChanges().size());
    EXPECT_EQ(192u, file.TempoChanges()[1].tick);
    EXPECT_EQ(1000000u, file.TempoChanges()[1].microsecondsPerQuarter);
    ASSERT_EQ(1u, file.TimeSignatures().size());
    EXPECT_EQ(3, file.TimeSignatures()[0].numerator);
    EXPECT_EQ(4u, file.TimeSignatures()[0].denominator);
}

TEST(StandardMidiFile, OrderChunksTrackEndsAndSmpteDivision)
{
    {
        SCOPED_TRACE("equal ticks keep the order of the tracks, then of the file");
        const Bytes first = {0x00, 0x90, 0x01, 0x01, 0x00, 0x90, 0x02, 0x02, 0x00, 0xFF, 0x2F, 0};
        const Bytes second = {0x00, 0x80, 0x03, 0x00, 0x00, 0xFF, 0x2F, 0x00};
        const StandardMidiFile file =
            Parsed(Concat({Header(1, 2, 96), Chunk("MTrk", second), Chunk("MTrk", first)}));
        ASSERT_EQ(3u, file.Events().size());
        EXPECT_EQ(3, file.Events()[0].data1);
        EXPECT_EQ(1, file.Events()[1].data1);
        EXPECT_EQ(2, file.Events()[2].data1);
    }
    {
        SCOPED_TRACE("foreign chunks and bytes after the end of the track are skipped");
        const Bytes body = {0x00, 0x90, 0x3C, 0x40, 0x00, 0xFF, 0x2F, 0x00, 0x00, 0x90, 0x3D, 0x40};
        const StandardMidiFile file =
            Parsed(Concat({Header(0, 1, 96), Chunk("XFIH", {1, 2, 3}), Chunk("MTrk", body)}));
        ASSERT_EQ(1u, file.Events().size());
        EXPECT_EQ(0x3C, file.Events()[0].data1);
    }
    {
        SCOPED_TRACE("a track without an end of track ends with its chunk");
        EXPECT_EQ(
            2u,
            Parsed(SingleTrack({0x00, 0x90, 0x3C, 0x40, 0x10, 0x80, 0x3C, 0x00})).Events().size());
    }
    {
        SCOPED_TRACE("SMPTE: 0xE7 = −25 frames per second, 40 ticks per frame");
        const StandardMidiFile file = Parsed(SingleTrack(kEnd, 0xE728));
        EXPECT_EQ(0, file.GetDivision().ticksPerQuarter);
        EXPECT_EQ(25, file.GetDivision().framesPerSecond);
        EXPECT_EQ(40, file.GetDivision().ticksPerFrame);
    }
}

TEST(StandardMidiFile, TruncatedAtEveryByteIsAnError)
{
    const Bytes whole = TwoTrackFile();
    for (std::size_t size = 0; size < whole.size(); ++size)
    {
        SCOPED_TRACE(size);
        StandardMidiFile file;
        std::string error;
        EXPECT_FALSE(StandardMidiFile::Parse(whole.data(), size, file, error));
        EXPECT_FALSE(error.empty());
    }
}

TEST(StandardMidiFile, MalformedFilesAreErrors)
{
    struct Case
    {
        const char* what;
        Bytes bytes;
        const char* message; // a part of the error text
    };
    const Case cases[] = {
        {"not MIDI", {'R', 'I', 'F', 'F', 0, 0, 0, 0}, "no MThd"},
        {"header too short", Concat({Chunk("MThd", {0, 0, 0, 1, 0}), Chunk("MTrk", kEnd)}),
         "at least 6"},
        {"absurd track count", Concat({Header(1, 65535, 96), Chunk("MTrk", kEnd)}),
         "more than the file can hold"},
        {"fewer tracks than declared",
         Concat({Header(1, 3, 96), Chunk("MTrk", kEnd), Chunk("XXXX", Bytes(16, 0))}),
         "before track 2"},
        {"format 0 with two tracks",
         Concat({Header(0, 2, 96), Chunk("MTrk", kEnd), Chunk("MTrk", kEnd)}), "format 0"},
        {"format 2", Concat({Header(2, 1, 96), Chunk("MTrk", kEnd)}), "format 2"},
        {"zero ticks per quarter", SingleTrack(kEnd, 0), "0 ticks per quarter"},
        {"SMPTE at −23 frames per second", SingleTrack(kEnd, 0xE900),
         "(expected 24, 25, 29 or 30)"},
        {"SMPTE with 0 ticks per frame", SingleTrack(kEnd, 0xE700), "0 ticks per SMPTE frame"},
        {"variable-length number of 5 bytes", SingleTrack({0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x90}),
         "longer than 4 bytes"},
        {"data byte first", SingleTrack({0x00, 0x3C, 0x40}), "without running status"},
        {"status inside a message", SingleTrack({0x00, 0x90, 0x3C, 0x90}), "top bit"},
        {"running status after sysex",
         SingleTrack({0x00, 0x90, 0x3C, 0x40, 0x00, 0xF0, 0x01, 0xF7, 0x00, 0x3C, 0x00}),
         "without running status"},
        {"tempo of two bytes", SingleTrack({0x00, 0xFF, 0x51, 0x02, 0x07, 0xA1}), "expected 3"},
        {"tempo of zero", SingleTrack({0x00, 0xFF, 0x51, 0x03, 0, 0, 0}), "0 microseconds"},
        {"time signature 0/4", SingleTrack({0x00, 0xFF, 0x58, 0x04, 0, 2, 24, 8}), "not a meter"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        const std::string error = ErrorOf(c.bytes);
        EXPECT_NE(std::string::npos, error.find(c.message)) << error;
    }
    // Track 1 is fine; in track 2 the bad byte is the first event's status at file offset
    // 14 (header) + 8 + 4 (track 1) + 8 (track 2's chunk header) + 1 (delta) = 35 = 0x23.
    EXPECT_EQ(
        "track 2, byte 0x23: status byte 0xF4 does not belong in a file",
        ErrorOf(Concat({Header(1, 2, 96), Chunk("MTrk", kEnd), Chunk("MTrk", {0x00, 0xF4})})));
}
