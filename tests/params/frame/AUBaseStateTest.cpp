// The class-info state: what is saved, round trips, and every refusal of a restore.

#include "HostHarness.h"

#include "platform/cf/CACFDictionary.h"

#include <string>

namespace
{

CFType Save(AudioUnit unit)
{
    CFType state;
    EXPECT_EQ(noErr, GetGlobal(unit, kAudioUnitProperty_ClassInfo, state));
    return state;
}

OSStatus Restore(AudioUnit unit, const CFType& state)
{
    return SetGlobal(unit, kAudioUnitProperty_ClassInfo, state);
}

CFDataStorage Bytes(std::initializer_list<UInt32> words)
{
    CFDataStorage bytes;
    for (const UInt32 w : words)
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes.push_back(static_cast<std::uint8_t>(w >> shift));
    return bytes;
}

CFType With(CFType state, const std::string& key, CFType value)
{
    state.AsDictionary()[key] = std::move(value);
    return state;
}

CFType Without(CFType state, const std::string& key)
{
    state.AsDictionary().erase(key);
    return state;
}

void PresetChanged(void* refCon, AudioUnit, AudioUnitPropertyID id, AudioUnitScope,
                   AudioUnitElement)
{
    static_cast<std::vector<AudioUnitPropertyID>*>(refCon)->push_back(id);
}

// The same plug-in registered under another subtype.
const AudioComponentRegistration kOtherRegistration{
    {kAudioUnitType_MusicEffect, FourCharCode("Othr"), FourCharCode("Qzpt")},
    "Other",
    1,
    kTestPluginRegistration.entry};

} // namespace

TEST(AUBaseState, SavesIdentityParametersAndName)
{
    OpenUnit unit;
    const CACFDictionary state(Save(unit));
    SInt32 number = -1;
    ASSERT_TRUE(state.GetSInt32("version", number));
    EXPECT_EQ(0, number);
    ASSERT_TRUE(state.GetSInt32("type", number));
    EXPECT_EQ(0x61756D66, number); // 'aumf' from the registration
    ASSERT_TRUE(state.GetSInt32("subtype", number));
    EXPECT_EQ(0x54657374, number); // 'Test'
    ASSERT_TRUE(state.GetSInt32("manufacturer", number));
    EXPECT_EQ(0x517A7074, number); // 'Qzpt'
    std::string name;
    ASSERT_TRUE(state.GetString("name", name));
    EXPECT_EQ("Untitled", name);

    // Global element 0 (ids 0, 1, 2 = 0.5, 1, 0), then output bus 1 (id 7 = 0.25); input
    // buses have none. 0.5f = 0x3F000000, 1.0f = 0x3F800000, 0.25f = 0x3E800000.
    const CFDataStorage* blob = nullptr;
    ASSERT_TRUE(state.GetData("data", blob));
    EXPECT_EQ(Bytes({0, 0, 3, 0, 0x3F000000, 1, 0x3F800000, 2, 0, //
                     2, 1, 1, 7, 0x3E800000}),
              *blob);
    EXPECT_FALSE(state.HasKey("render-quality")); // not answered, so not saved
    EXPECT_FALSE(state.HasKey("cpu-load"));
    EXPECT_FALSE(state.HasKey("element-name")); // no element has a name
}

TEST(AUBaseState, RoundTripWritesValuesStraightIntoStorage)
{
    OpenUnit unit;
    ASSERT_EQ(noErr, AudioUnitSetParameter(unit, 1, kAudioUnitScope_Global, 0, 6.5f, 0));
    ASSERT_EQ(noErr, AudioUnitSetParameter(unit, 7, kAudioUnitScope_Output, 1, -3.0f, 0));
    ASSERT_EQ(noErr, SetGlobal(unit, kAudioUnitProperty_CurrentPreset, AUPreset{-1, "Song"}));
    const std::string side = "Side";
    ASSERT_EQ(noErr, AudioUnitSetProperty(unit, kAudioUnitProperty_ElementName,
                                          kAudioUnitScope_Output, 2, &side, sizeof(side)));
    const CFType state = Save(unit);

    OpenUnit fresh;
    std::vector<AudioUnitPropertyID> announced;
    for (const AudioUnitPropertyID id :
         {kAudioUnitProperty_CurrentPreset, kAudioUnitProperty_PresentPreset})
        ASSERT_EQ(noErr, AudioUnitAddPropertyListener(fresh, id, PresetChanged, &announced));
    ASSERT_EQ(noErr, Restore(fresh, state));
    EXPECT_EQ(6.5f, ParameterValue(fresh, 1));
    EXPECT_EQ(-3.0f, ParameterValue(fresh, 7, kAudioUnitScope_Output, 1));
    EXPECT_TRUE(fresh.plugin().mSetCalls.empty()); // no SetParameter, no side effects
    AUPreset preset;
    ASSERT_EQ(noErr, GetGlobal(fresh, kAudioUnitProperty_PresentPreset, preset));
    EXPECT_EQ("Song", preset.presetName);
    EXPECT_EQ(-1, preset.presetNumber);
    EXPECT_EQ((std::vector<AudioUnitPropertyID>{kAudioUnitProperty_CurrentPreset,
                                                kAudioUnitProperty_PresentPreset}),
              announced);
    std::string name;
    UInt32 size = sizeof(name);
    ASSERT_EQ(noErr, AudioUnitGetProperty(fresh, kAudioUnitProperty_ElementName,
                                          kAudioUnitScope_Output, 2, &name, &size));
    EXPECT_EQ("Side", name);
    EXPECT_EQ(state, Save(fresh));
}

TEST(AUBaseState, RefusalsLeaveParametersUntouched)
{
    OpenUnit source;
    ASSERT_EQ(noErr, AudioUnitSetParameter(source, 0, kAudioUnitScope_Global, 0, 0.9f, 0));
    const CFType good = Save(source);
    OpenUnit other(kOtherRegistration);
    const CFType foreign = Save(other);
    struct Case
    {
        const char* what;
        CFType state;
    };
    const Case cases[] = {
        {"not a dictionary", CFType::Array()},
        {"has a part key", With(good, "part", CFType::SInt32(1))},
        {"no version", Without(good, "version")},
        {"version 1", With(good, "version", CFType::SInt32(1))},
        {"version not a number", With(good, "version", CFType::String("0"))},
        {"no type", Without(good, "type")},
        {"another subtype", With(good, "subtype", CFType::SInt32(0x58585858))},
        {"another component's state", foreign},
        {"another manufacturer", With(good, "manufacturer", CFType::SInt32(1))},
        {"neither data nor vstdata", Without(good, "data")},
        {"data that is no byte string", With(good, "data", CFType::String("x"))},
    };
    OpenUnit unit;
    ASSERT_EQ(noErr, AudioUnitSetParameter(unit, 0, kAudioUnitScope_Global, 0, 0.2f, 0));
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(kAudioUnitErr_InvalidPropertyValue, Restore(unit, c.state));
        EXPECT_EQ(0.2f, ParameterValue(unit, 0));
    }
    EXPECT_EQ(noErr, Restore(unit, good));
    EXPECT_EQ(0.9f, ParameterValue(unit, 0));
}

TEST(AUBaseState, VstDataWithoutDataIsAccepted)
{
    OpenUnit unit;
    const CFType saved = Save(unit);
    ASSERT_EQ(noErr, AudioUnitSetParameter(unit, 1, kAudioUnitScope_Global, 0, 4.0f, 0));
    const CFType state =
        With(Without(Without(saved, "data"), "name"), "vstdata", CFType::Data({1, 2, 3}));
    ASSERT_EQ(noErr, SetGlobal(unit, kAudioUnitProperty_CurrentPreset, AUPreset{-1, "Before"}));
    EXPECT_EQ(noErr, Restore(unit, state));
    EXPECT_EQ(4.0f, ParameterValue(unit, 1)); // parameters as they were
    AUPreset preset;
    ASSERT_EQ(noErr, GetGlobal(unit, kAudioUnitProperty_PresentPreset, preset));
    EXPECT_EQ("Untitled", preset.presetName); // no "name": the default
}

TEST(AUBaseState, BadRecordsAbortWithTheirStatusOddOnesRestoreWhatTheyHold)
{
    OpenUnit unit;
    const CFType saved = Save(unit);
    const UInt32 two = 0x40000000; // 2.0f
    struct Case
    {
        const char* what;
        CFDataStorage blob;
        OSStatus expected;
    };
    const Case cases[] = {
        {"scope 4, above the group scope", Bytes({0, 0, 1, 1, two, 4, 0, 1, 0, two}),
         kAudioUnitErr_InvalidScope},
        {"global element 1 does not exist", Bytes({0, 0, 1, 1, two, 0, 1, 1, 0, two}),
         kAudioUnitErr_InvalidElement},
        {"output bus 3 does not exist", Bytes({0, 0, 1, 1, two, 2, 3, 1, 7, two}),
         kAudioUnitErr_InvalidElement},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(noErr, AudioUnitSetParameter(unit, 1, kAudioUnitScope_Global, 0, 1.0f, 0));
        EXPECT_EQ(c.expected, Restore(unit, With(saved, "data", CFType::Data(c.blob))));
        EXPECT_EQ(2.0f, ParameterValue(unit, 1)); // the record before the bad one stays written
    }

    const UInt32 three = 0x40400000; // 3.0f
    // A record promising three pairs but holding one and a half, then stray bytes; an id the
    // element does not have.
    CFDataStorage cut = Bytes({0, 0, 3, 1, three, 2});
    cut.push_back(0x40);
    EXPECT_EQ(noErr, Restore(unit, With(saved, "data", CFType::Data(cut))));
    EXPECT_EQ(3.0f, ParameterValue(unit, 1));
    EXPECT_EQ(noErr, Restore(unit, With(saved, "data", CFType::Data(Bytes({0, 0, 1, 99, three})))));
    AudioUnitParameterValue value = 0;
    EXPECT_EQ(kAudioUnitErr_InvalidParameter,
              AudioUnitGetParameter(unit, 99, kAudioUnitScope_Global, 0, &value));
    EXPECT_EQ(noErr, Restore(unit, With(saved, "data", CFType::Data({}))));

    // Render quality and CPU load go to the property path, which refuses them harmlessly.
    const CFType extras =
        With(With(saved, "render-quality", CFType::SInt32(127)), "cpu-load", CFType::Float32(0.5f));
    EXPECT_EQ(noErr, Restore(unit, extras));
}
