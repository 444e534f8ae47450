#include "hosts/render/StandardMidiFile.h"
#include "RenderTestUtil.h"

#include <gtest/gtest.h>

namespace
{
using Event = StandardMidiFile::Event;

bool Parse(const Bytes& bytes, StandardMidiFile& out, std::string& error)
{
    return StandardMidiFile::Parse(bytes.data(), bytes.size(), out, error);
}

// A format-0 file around one track body.
Bytes SingleTrack(const Bytes& body, std::uint16_t division = 96)
{
    return Concat({Header(0, 1, division), Chunk("MTrk", body)});
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
    StandardMidiFile file;
    std::string error;
    ASSERT_TRUE(Parse(TwoTrackFile(), file, error)) << error;
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
    EXPECT_EQ(0u, file.TempoChanges()[0].tick);
    EXPECT_EQ(500000u, file.TempoChanges()[0].microsecondsPerQuarter);
    EXPECT_EQ(192u, file.TempoChanges()[1].tick);
    EXPECT_EQ(1000000u, file.TempoChanges()[1].microsecondsPerQuarter);
    ASSERT_EQ(1u, file.TimeSignatures().size());
    EXPECT_EQ(3, file.TimeSignatures()[0].numerator);
    EXPECT_EQ(4u, file.TimeSignatures()[0].denominator);
}

TEST(StandardMidiFile, EqualTicksKeepTrackOrderThenFileOrder)
{
    const Bytes first = {0x00, 0x90, 0x01, 0x01, 0x00, 0x90, 0x02, 0x02, 0x00, 0xFF, 0x2F, 0x00};
    const Bytes second = {0x00, 0x80, 0x03, 0x00, 0x00, 0xFF, 0x2F, 0x00};
    StandardMidiFile file;
    std::string error;
    // The second track comes first in the file's order of tracks: its index decides.
    ASSERT_TRUE(
        Parse(Concat({Header(1, 2, 96), Chunk("MTrk", second), Chunk("MTrk", first)}), file, error))
        << error;
    ASSERT_EQ(3u, file.Events().size());
    EXPECT_EQ(3, file.Events()[0].data1);
    EXPECT_EQ(1, file.Events()[1].data1);
    EXPECT_EQ(2, file.Events()[2].data1);
}

TEST(StandardMidiFile, ForeignChunksAndBytesAfterEndOfTrackAreSkipped)
{
    const Bytes body = {0x00, 0x90, 0x3C, 0x40, 0x00, 0xFF, 0x2F, 0x00, 0x00, 0x90, 0x3D, 0x40};
    StandardMidiFile file;
    std::string error;
    ASSERT_TRUE(Parse(Concat({Header(0, 1, 96), Chunk("XFIH", {1, 2, 3}), Chunk("MTrk", body)}),
                      file, error))
        << error;
    ASSERT_EQ(1u, file.Events().size());
    EXPECT_EQ(0x3C, file.Events()[0].data1);
}

TEST(StandardMidiFile, TrackWithoutEndOfTrackEndsAtItsChunk)
{
    StandardMidiFile file;
    std::string error;
    ASSERT_TRUE(Parse(SingleTrack({0x00, 0x90, 0x3C, 0x40, 0x10, 0x80, 0x3C, 0x00}), file, error))
        << error;
    EXPECT_EQ(2u, file.Events().size());
}

TEST(StandardMidiFile, SmpteDivision)
{
    // 0xE7 = −25 frames per second, 40 ticks per frame.
    StandardMidiFile file;
    std::string error;
    ASSERT_TRUE(Parse(SingleTrack({0x00, 0xFF, 0x2F, 0x00}, 0xE728), file, error)) << error;
    EXPECT_EQ(0, file.GetDivision().ticksPerQuarter);
    EXPECT_EQ(25, file.GetDivision().framesPerSecond);
    EXPECT_EQ(40, file.GetDivision().ticksPerFrame);
    EXPECT_NE("", ErrorOf(SingleTrack({0x00, 0xFF, 0x2F, 0x00}, 0xE900))); // −23 fps
    EXPECT_NE("", ErrorOf(SingleTrack({0x00, 0xFF, 0x2F, 0x00}, 0xE700))); // 0 ticks per frame
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
    const Bytes end = {0x00, 0xFF, 0x2F, 0x00};
    struct Case
    {
        const char* what;
        Bytes bytes;
        const char* message; // a part of the error text
    };
    const Case cases[] = {
        {"not MIDI", {'R', 'I', 'F', 'F', 0, 0, 0, 0}, "no MThd"},
        {"header too short", Concat({Chunk("MThd", {0, 0, 0, 1, 0}), Chunk("MTrk", end)}),
         "at least 6"},
        {"header longer than the file",
         {'M', 'T', 'h', 'd', 0x7F, 0xFF, 0xFF, 0xFF, 0, 0},
         "past the end"},
        {"track longer than the file",
         Concat({Header(0, 1, 96), {'M', 'T', 'r', 'k', 0xFF, 0xFF, 0xFF, 0xF0}, end}),
         "past the end"},
        {"track cut inside a message", SingleTrack({0x00, 0x90, 0x3C}), "ends inside"},
        {"absurd track count", Concat({Header(1, 65535, 96), Chunk("MTrk", end)}),
         "more than the file can hold"},
        {"fewer tracks than declared",
         Concat({Header(1, 3, 96), Chunk("MTrk", end), Chunk("XXXX", Bytes(16, 0))}),
         "before track 2"},
        {"format 0 with two tracks",
         Concat({Header(0, 2, 96), Chunk("MTrk", end), Chunk("MTrk", end)}), "format 0"},
        {"format 2", Concat({Header(2, 1, 96), Chunk("MTrk", end)}), "format 2"},
        {"unknown format", Concat({Header(7, 1, 96), Chunk("MTrk", end)}), "unknown format"},
        {"zero ticks per quarter", SingleTrack(end, 0), "0 ticks"},
        {"variable-length number of 5 bytes", SingleTrack({0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x90}),
         "longer than 4 bytes"},
        {"data byte first", SingleTrack({0x00, 0x3C, 0x40}), "without running status"},
        {"status inside a message", SingleTrack({0x00, 0x90, 0x3C, 0x90}), "top bit"},
        {"system common status", SingleTrack({0x00, 0xF2, 0x00, 0x00}), "does not belong"},
        {"running status after sysex",
         SingleTrack({0x00, 0x90, 0x3C, 0x40, 0x00, 0xF0, 0x01, 0xF7, 0x00, 0x3C, 0x00}),
         "without running status"},
        {"sysex longer than the track", SingleTrack({0x00, 0xF0, 0x7F, 0x01}), "past the end"},
        {"meta longer than the track", SingleTrack({0x00, 0xFF, 0x01, 0x05, 'a'}), "past the end"},
        {"tempo of two bytes", SingleTrack({0x00, 0xFF, 0x51, 0x02, 0x07, 0xA1}), "expected 3"},
        {"tempo of zero", SingleTrack({0x00, 0xFF, 0x51, 0x03, 0, 0, 0}), "0 microseconds"},
        {"time signature of three bytes", SingleTrack({0x00, 0xFF, 0x58, 0x03, 3, 2, 24}),
         "expected 4"},
        {"time signature 0/4", SingleTrack({0x00, 0xFF, 0x58, 0x04, 0, 2, 24, 8}), "not a meter"},
        {"time signature 4/2^8", SingleTrack({0x00, 0xFF, 0x58, 0x04, 4, 8, 24, 8}), "not a meter"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        const std::string error = ErrorOf(c.bytes);
        EXPECT_NE(std::string::npos, error.find(c.message)) << error;
    }
}

TEST(StandardMidiFile, ErrorsNameTrackAndByte)
{
    // Track 1 is fine; in track 2 the bad byte is the first event's status at file offset
    // 14 (header) + 8 + 4 (track 1) + 8 (track 2's chunk header) + 1 (delta) = 35 = 0x23.
    const std::string error = ErrorOf(Concat(
        {Header(1, 2, 96), Chunk("MTrk", {0x00, 0xFF, 0x2F, 0x00}), Chunk("MTrk", {0x00, 0xF4})}));
    EXPECT_EQ("track 2, byte 0x23: status byte 0xF4 does not belong in a file", error);
}

TEST(StandardMidiFile, ReadReportsMissingAndMalformedFiles)
{
    StandardMidiFile file;
    std::string error;
    EXPECT_FALSE(StandardMidiFile::Read(ScratchPath("missing.mid"), file, error));
    EXPECT_EQ("No such file or directory", error);
    EXPECT_FALSE(StandardMidiFile::Read(ScratchDirectory(), file, error)); // a directory
    EXPECT_FALSE(error.empty());

    const std::string path = ScratchPath("two-tracks.mid");
    WriteFile(path, TwoTrackFile());
    ASSERT_TRUE(StandardMidiFile::Read(path, file, error)) << error;
    EXPECT_EQ(6u, file.Events().size());
}
