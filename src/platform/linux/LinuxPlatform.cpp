#include "platform/linux/LinuxPlatform.h"

#include "platform/CFPreferences.h"
#include "platform/CoreMIDI.h"
#include "platform/linux/ALSAMIDIBackend.h"
#include "platform/linux/XMLPreferencesBackend.h"

#include <memory>
#include <mutex>

void InstallLinuxPlatform()
{
    static std::once_flag sInstalled;
    std::call_once(sInstalled,
                   []
                   {
                       CFPreferencesInstallBackend(std::make_shared<XMLPreferencesBackend>());
                       MIDIInstallBackend(std::make_shared<ALSAMIDIBackend>());
                   });
}
