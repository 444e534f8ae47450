#include "platform/linux/LinuxPlatform.h"

#include "platform/CFPreferences.h"
#include "platform/CoreMIDI.h"
#include "platform/linux/ALSAMIDIBackend.h"
#include "platform/linux/XMLPreferencesBackend.h"

#include <gtest/gtest.h>

TEST(LinuxPlatform, InstallsBothBackendsOnce)
{
    InstallLinuxPlatform();
    const auto preferences = CFPreferencesCurrentBackend();
    const auto midi = MIDICurrentBackend();
    EXPECT_NE(dynamic_cast<XMLPreferencesBackend*>(preferences.get()), nullptr);
    EXPECT_NE(dynamic_cast<ALSAMIDIBackend*>(midi.get()), nullptr);

    InstallLinuxPlatform();
    EXPECT_EQ(CFPreferencesCurrentBackend(), preferences) << "a second call changes nothing";
    EXPECT_EQ(MIDICurrentBackend(), midi);
    CFPreferencesInstallBackend(nullptr);
    MIDIInstallBackend(nullptr);
}
