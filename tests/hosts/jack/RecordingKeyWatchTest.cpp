#include "hosts/jack/RecordingKeyWatch.h"

#include <gtest/gtest.h>

TEST(RecordingKeyWatch, TheKeyHeldWhileRecordingIsOn)
{
    RecordingKeyWatch watch;
    struct Step
    {
        UInt8 status, data1, data2;
        bool recording;
        int key; // afterwards
    };
    const Step steps[] = {
        {0x90, 60, 100, false, -1}, // playing, not recording
        {0x80, 60, 0, false, -1},
        {0x90, 48, 100, false, -1}, // the note that switches "Recording" on finds it off
        {0x92, 62, 100, true, 62},  // any channel
        {0xB0, 62, 0, true, 62},    // a controller numbered 62 is no key
        {0x80, 61, 0, true, 62},    // another key's release
        {0x90, 62, 0, true, -1},    // a note on with velocity 0 releases
        {0x90, 64, 90, true, 64},
        {0x90, 65, 90, true, 65}, // the last key pressed
        {0x80, 64, 0, true, 65},
        {0x80, 65, 0, false, -1}, // released after "Recording" went off
    };
    for (const Step& step : steps)
    {
        watch.Message(step.status, step.data1, step.data2, step.recording);
        EXPECT_EQ(step.key, watch.Key()) << int(step.status) << " " << int(step.data1);
    }
}
