// The virtual MIDI source "Tovarine" and the haptic note pairs a learned controller sends on it,
// read from the backend's ring of a test MIDI backend.

#include "integration/CTovaProbe.h"
#include "integration/TovaHost.h"

#include "platform/CFPreferences.h"
#include "platform/services/TestMIDIBackend.h"

#include <gtest/gtest.h>

#include <optional>

namespace
{
constexpr const char* kAppID = "com.kelp.au.tova";
constexpr UInt8 kController = 23;

// Opens an instance with the "Haptic" preference as given, on a test MIDI backend.
class HapticFeedback : public ::testing::Test
{
protected:
    ~HapticFeedback() override { CTova::SetLearnDefaults(); }

    void Open(std::optional<CFType> haptic)
    {
        CFPreferencesSetAppValue("Haptic", haptic, kAppID);
        host.emplace(48000);
        CFPreferencesSetAppValue("Haptic", std::nullopt, kAppID);
        probe.emplace(host->Tova());
        ASSERT_EQ(1u, log->rings.count(probe->Source()));
        ring = log->rings.at(probe->Source());
        probe->LearnParam() = kTovaParam_Pitch; // the default 0 lies on step 64
    }

    MIDIBackendGuard guard;
    std::shared_ptr<TestMIDIBackend::Log> log = TestMIDIBackend::Install();
    std::optional<TovaHost> host;
    std::optional<CTovaProbe> probe;
    MIDIPacketRing* ring = nullptr;
};
} // namespace

TEST_F(HapticFeedback, ControllersOnOrAcrossTheCentreSendANoteAndItsNoteOff50msLater)
{
    Open(CFType::Boolean(true));
    ASSERT_EQ(1, probe->Haptic());
    struct Step
    {
        UInt8 value;
        int note; // −1: no feedback
    };
    // Absolute after the first value: from step 64 down to 0 crosses the centre, 64 sits on
    // it, 100 crosses it upward, 110 stays above, 10 crosses down, 63 stays below, 65 crosses.
    for (const Step step : {Step{0, 60}, Step{64, 48}, Step{100, 60}, Step{110, -1}, Step{10, 60},
                            Step{63, -1}, Step{65, 60}})
    {
        SCOPED_TRACE(static_cast<int>(step.value));
        const UInt64 before = AudioGetCurrentHostTime();
        ASSERT_EQ(noErr, host->Midi(0xB0, kController, step.value));
        const UInt64 after = AudioGetCurrentHostTime();
        MIDIPacket on{};
        MIDIPacket off{};
        if (step.note < 0)
        {
            EXPECT_FALSE(ring->TryPop(on));
            continue;
        }
        ASSERT_TRUE(ring->TryPop(on));
        ASSERT_TRUE(ring->TryPop(off));
        EXPECT_FALSE(ring->TryPop(off)); // nothing more
        ASSERT_EQ(3, on.length);
        ASSERT_EQ(3, off.length);
        EXPECT_EQ(0x90, on.data[0]);
        EXPECT_EQ(step.note, on.data[1]);
        EXPECT_EQ(100, on.data[2]);
        EXPECT_EQ(0x80, off.data[0]);
        EXPECT_EQ(step.note, off.data[1]);
        EXPECT_EQ(100, off.data[2]);
        const MIDITimeStamp onTime = on.timeStamp;
        const MIDITimeStamp offTime = off.timeStamp;
        EXPECT_LE(before, onTime); // stamped now
        EXPECT_GE(after, onTime);
        EXPECT_EQ(AudioConvertNanosToHostTime(50'000'000), offTime - onTime);
    }
    EXPECT_EQ(-24.0f + 65.0f / 128 * 48, host->Get(kTovaParam_Pitch));
}

TEST_F(HapticFeedback, WithoutTheHapticPreferenceNothingIsSent)
{
    Open(std::nullopt);
    EXPECT_EQ(0, probe->Haptic());
    for (UInt8 value : {0, 64, 100, 10})
        ASSERT_EQ(noErr, host->Midi(0xB0, kController, value));
    MIDIPacket packet{};
    EXPECT_FALSE(ring->TryPop(packet));
    EXPECT_EQ(-24.0f + 10.0f / 128 * 48, host->Get(kTovaParam_Pitch));

    // A "Haptic" that is not a boolean counts as missing.
    host.reset();
    Open(CFType::SInt32(1));
    EXPECT_EQ(0, probe->Haptic());
}

TEST_F(HapticFeedback, TheEndpointsAreNamedTovarineAndGoWithTheInstance)
{
    Open(std::nullopt);
    EXPECT_EQ((std::vector<std::string>{"client Tovarine", "source Tovarine"}), log->calls);
    probe.reset();
    host.reset();
    EXPECT_EQ((std::vector<std::string>{"client Tovarine", "source Tovarine", "dispose source",
                                        "dispose client"}),
              log->calls);
}

TEST(HapticEndpoints, WithoutMIDIServicesTheFailuresArePrintedAndTheUnitWorksOn)
{
    MIDIInstallBackend(nullptr);
    testing::internal::CaptureStdout();
    {
        TovaHost host(48000);
        CTovaProbe probe(host.Tova());
        probe.Haptic() = 1;
        probe.LearnParam() = kTovaParam_Pitch;
        EXPECT_EQ(noErr, host.Midi(0xB0, kController, 64)); // feedback goes nowhere
        EXPECT_EQ(noErr, host.Render(256));
    }
    EXPECT_EQ("MIDIClientCreate=-10839\nMIDISourceCreate=-10830\n",
              testing::internal::GetCapturedStdout());
    CTova::SetLearnDefaults();

    const MIDIBackendGuard guard;
    const auto log = TestMIDIBackend::Install();
    log->refuseSources = kMIDINotPermitted;
    testing::internal::CaptureStdout();
    {
        const TovaHost host(48000);
    }
    EXPECT_EQ("MIDISourceCreate=-10844\n", testing::internal::GetCapturedStdout());
}
