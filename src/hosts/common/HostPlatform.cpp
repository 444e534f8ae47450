#include "hosts/common/HostPlatform.h"

#include "editor/audiofile/CAAudioFileImport.h"
#include "hosts/common/HostMIDIBackend.h"
#include "platform/CFPreferences.h"
#include "platform/linux/XMLPreferencesBackend.h"

#include <memory>

void HostPlatform::Install()
{
    CFPreferencesInstallBackend(std::make_shared<XMLPreferencesBackend>());
    MIDIInstallBackend(std::make_shared<HostMIDIBackend>());
    InstallAudioFileImport();
}
