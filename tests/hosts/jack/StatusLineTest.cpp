#include "hosts/jack/StatusLine.h"

#include <gtest/gtest.h>

TEST(StatusLine, EveryPart)
{
    StatusLine::Values values;
    values.memoryUse = 123; // tenths of a percent
    values.recording = true;
    values.recordingKey = 62;
    values.clock.rolling = true;
    values.clock.bbt = true;
    values.clock.tempo = 120;
    values.clock.beatsPerBar = 4;
    values.clock.beatType = 4;
    values.clock.bar = 3;
    values.clock.beat = 2;
    values.sampleRate = 48000;
    values.bufferFrames = 256;
    EXPECT_EQ("mem 12.3% | rec key 62 | 120.0 bpm 4/4 bar 3 beat 2 | rolling | 48000 Hz, 256 "
              "frames",
              StatusLine::Format(values));

    values.recordingKey = -1;
    values.clock.tempo = 97.25;
    values.clock.beatsPerBar = 6;
    values.clock.beatType = 8;
    EXPECT_EQ("mem 12.3% | rec on | 97.2 bpm 6/8 bar 3 beat 2 | rolling | 48000 Hz, 256 frames",
              StatusLine::Format(values));

    values.memoryUse = 1000;
    values.recording = false;
    values.clock.bbt = false;
    values.clock.rolling = false;
    values.sampleRate = 44100;
    values.bufferFrames = 1024;
    values.renderErrors = 3;
    EXPECT_EQ("mem 100.0% | rec off | no tempo | stopped | 44100 Hz, 1024 frames | 3 render "
              "errors",
              StatusLine::Format(values));

    values.memoryUse.reset();
    values.recording.reset();
    values.renderErrors = 0;
    EXPECT_EQ("mem -- | rec -- | no tempo | stopped | 44100 Hz, 1024 frames",
              StatusLine::Format(values));
}
