// MIDI dispatch: refusal before initialisation and the routing of every message kind.

#include "HostHarness.h"

#include "platform/MusicDevice.h"

using Event = TestPlugin::Event;

TEST(AUMIDIBase, RefusedBeforeInitialisation)
{
    OpenUnit unit;
    const UInt8 sysex[] = {0xF0, 0x7E, 0xF7};
    EXPECT_EQ(kAudioUnitErr_Uninitialized, MusicDeviceMIDIEvent(unit, 0x90, 60, 100, 0));
    EXPECT_EQ(kAudioUnitErr_Uninitialized, MusicDeviceSysEx(unit, sysex, sizeof(sysex)));
    EXPECT_TRUE(unit.plugin().mEvents.empty());

    ASSERT_EQ(noErr, AudioUnitInitialize(unit));
    EXPECT_EQ(noErr, MusicDeviceSysEx(unit, sysex, sizeof(sysex))); // the frame ignores it
    EXPECT_EQ(kAudio_ParamError, MusicDeviceSysEx(unit, nullptr, 3));
    ASSERT_EQ(noErr, AudioUnitUninitialize(unit));
    EXPECT_EQ(kAudioUnitErr_Uninitialized, MusicDeviceMIDIEvent(unit, 0x90, 60, 100, 0));
}

TEST(AUMIDIBase, EachMessageReachesItsHandler)
{
    OpenUnit unit;
    ASSERT_EQ(noErr, AudioUnitInitialize(unit));
    struct Case
    {
        const char* what;
        UInt32 status, data1, data2, offset;
        std::vector<Event> expected;
    };
    const Case cases[] = {
        {"note on", 0x91, 60, 100, 5, {{"NoteOn", 1, 60, 100, 5}}},
        {"note on with velocity 0 is a note off", 0x90, 61, 0, 7, {{"NoteOff", 0, 61, 0, 7}}},
        {"note off", 0x8F, 62, 64, 0, {{"NoteOff", 15, 62, 64, 0}}},
        {"controller", 0xB2, 7, 99, 3, {{"ControlChange", 2, 7, 99, 3}}},
        {"controller 120: all sound off", 0xB3, 120, 0, 0, {{"AllSoundOff", 3}}},
        {"controller 121: reset all controllers", 0xB4, 121, 0, 0, {{"ResetAllControllers", 4}}},
        {"controller 123: all notes off", 0xB5, 123, 0, 0, {{"AllNotesOff", 5}}},
        {"pitch wheel: low then high seven bits",
         0xE6,
         0x12,
         0x34,
         9,
         {{"PitchWheel", 6, 0x12, 0x34, 9}}},
        {"data bytes keep their low seven bits", 0x90, 0xBC, 0xFF, 0, {{"NoteOn", 0, 60, 127, 0}}},
        {"poly pressure: the frame's handler", 0xA0, 60, 10, 0, {}},
        {"program change: the frame's handler", 0xC0, 3, 0, 0, {}},
        {"channel pressure: the frame's handler", 0xD0, 30, 0, 0, {}},
        {"system message", 0xF8, 0, 0, 0, {}},
        {"data byte as status", 0x40, 60, 100, 0, {}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        unit.plugin().mEvents.clear();
        EXPECT_EQ(noErr, MusicDeviceMIDIEvent(unit, c.status, c.data1, c.data2, c.offset));
        EXPECT_EQ(c.expected, unit.plugin().mEvents);
    }
}
