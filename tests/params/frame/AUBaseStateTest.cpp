// The class-info state: what is saved, the round trip, and the states a restore refuses.

#include "HostHarness.h"

#include "platform/cf/CACFDictionary.h"

#include <optional>
#include <string>

namespace
{
CFType Save(AudioUnit unit)
{
    CFType state;
    UInt32 size = sizeof state;
    EXPECT_EQ(noErr, AudioUnitGetProperty(unit, kAudioUnitProperty_ClassInfo,
                                          kAudioUnitScope_Global, 0, &state, &size));
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

CFType With(CFType state, const std::string& key, std::optional<CFType> value)
{
    if (value)
        state.AsDictionary()[key] = std::move(*value);
    else
        state.AsDictionary().erase(key);
    return state;
}
} // namespace

TEST(AUBaseState, SavesIdentityAndParametersAndRestoresThemIntoStorage)
{
    OpenUnit unit;
    CACFDictionary saved(Save(unit));
    SInt32 number = -1;
    ASSERT_TRUE(saved.GetSInt32("subtype", number));
    EXPECT_EQ(0x54657374, number); // 'Test'
    // Global element 0 (ids 0, 1, 2 = 0.5, 1, 0), then output bus 1 (id 7 = 0.25):
    // 0.5f = 0x3F000000, 1.0f = 0x3F800000, 0.25f = 0x3E800000.
    const CFDataStorage* blob = nullptr;
    ASSERT_TRUE(saved.GetData("data", blob));
    EXPECT_EQ(Bytes({0, 0, 3, 0, 0x3F000000, 1, 0x3F800000, 2, 0, //
                     2, 1, 1, 7, 0x3E800000}),
              *blob);

    ASSERT_EQ(noErr, AudioUnitSetParameter(unit, 1, kAudioUnitScope_Global, 0, 6.5f, 0));
    ASSERT_EQ(noErr, AudioUnitSetParameter(unit, 7, kAudioUnitScope_Output, 1, -3.0f, 0));
    ASSERT_EQ(noErr, SetGlobal(unit, kAudioUnitProperty_CurrentPreset, AUPreset{-1, "Song"}));
    const CFType state = Save(unit);
    OpenUnit fresh;
    ASSERT_EQ(noErr, Restore(fresh, state));
    EXPECT_EQ(6.5f, ParameterValue(fresh, 1));
    EXPECT_EQ(-3.0f, ParameterValue(fresh, 7, kAudioUnitScope_Output, 1));
    EXPECT_EQ(0, fresh.plugin().mSetCalls); // straight into storage, no side effects
    EXPECT_EQ(state, Save(fresh));
}

TEST(AUBaseState, MalformedStatesAreRefusedBeforeAnyParameterChanges)
{
    OpenUnit source;
    ASSERT_EQ(noErr, AudioUnitSetParameter(source, 0, kAudioUnitScope_Global, 0, 0.9f, 0));
    const CFType good = Save(source);
    const auto blob = [&](CFDataStorage bytes) { return With(good, "data", CFType::Data(bytes)); };
    const UInt32 two = 0x40000000; // 2.0f
    struct Case
    {
        const char* what;
        CFType state;
        OSStatus expected = kAudioUnitErr_InvalidPropertyValue;
    };
    const Case cases[] = {
        {"not a dictionary", CFType::Array()},
        {"has a part key", With(good, "part", CFType::SInt32(1))},
        {"no version", With(good, "version", std::nullopt)},
        {"version 1", With(good, "version", CFType::SInt32(1))},
        {"version not a number", With(good, "version", CFType::String("0"))},
        {"no type", With(good, "type", std::nullopt)},
        {"another subtype", With(good, "subtype", CFType::SInt32(0x58585858))},
        {"another manufacturer", With(good, "manufacturer", CFType::SInt32(1))},
        {"neither data nor vstdata", With(good, "data", std::nullopt)},
        {"data that is no byte string", With(good, "data", CFType::String("x"))},
        // Records of parameter 1 only: parameter 0 stays whatever they hold.
        {"scope 4", blob(Bytes({4, 0, 1, 1, two})), kAudioUnitErr_InvalidScope},
        {"global element 1", blob(Bytes({0, 1, 1, 1, two})), kAudioUnitErr_InvalidElement},
        {"output bus 3", blob(Bytes({2, 3, 1, 7, two})), kAudioUnitErr_InvalidElement},
    };
    OpenUnit unit;
    ASSERT_EQ(noErr, AudioUnitSetParameter(unit, 0, kAudioUnitScope_Global, 0, 0.2f, 0));
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.expected, Restore(unit, c.state));
        EXPECT_EQ(0.2f, ParameterValue(unit, 0));
    }
    EXPECT_EQ(noErr, Restore(unit, good));
    EXPECT_EQ(0.9f, ParameterValue(unit, 0));
}
