// The learn tables in the user's preferences across processes: the first Tova of a process
// loads them and writes them back when it closes. Each step runs in a child process.

#include "CTovaProbe.h"
#include "TovaHost.h"

#include "platform/CFPreferences.h"
#include "platform/cf/PropertyListFile.h"
#include "platform/linux/TemporaryConfigHome.h"
#include "platform/linux/XMLPreferencesBackend.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <memory>

namespace
{
// Runs step with the first Tova of a fresh process; true when the step returned true.
bool InChild(const std::function<bool(TovaHost&)>& step)
{
    const pid_t pid = ::fork();
    if (pid == 0)
    {
        CFPreferencesInstallBackend(std::make_shared<XMLPreferencesBackend>());
        auto host = std::make_unique<TovaHost>();
        const bool ok = step(*host);
        host.reset(); // closing the first instance writes the tables
        std::_Exit(ok ? 0 : 1);
    }
    int status = 0;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

// Whether entry(i) == expected(i) for every learn slot.
template <typename Entry, typename Expected> bool Holds(Entry entry, Expected expected)
{
    for (int i = 0; i < CTova::kLearnSlots; ++i)
        if (entry(i).load() != expected(i)) return false;
    return true;
}

int DefaultNote(int i)
{
    return i == 48 ? 4 : i == 49 ? 5 : i == 50 ? 7 : -1; // "Recording", "Erasing", "Copying"
}

} // namespace

TEST(Preferences, DefaultsAreWrittenBackAndALearnedBindingHoldsInTheNextProcess)
{
    const TemporaryConfigHome home;
    EXPECT_TRUE(InChild(
        [](TovaHost& host)
        {
            const bool defaults = Holds(CTovaProbe::LearnedCC, [](int) { return -1; }) &&
                                  Holds(CTovaProbe::Incremental, [](int) { return 1; }) &&
                                  Holds(CTovaProbe::LearnedNote, DefaultNote) &&
                                  CTovaProbe(host.Tova()).Haptic() == 0;
            const SInt32 parameter = 9;
            AudioUnitSetProperty(host.Unit(), kTovaProperty_MIDILearn, kAudioUnitScope_Global, 0,
                                 &parameter, sizeof parameter);
            host.Midi(0xB0, 7, 64); // controller 7 learns parameter 9
            return defaults;
        }));
    CFType file;
    std::string error;
    ASSERT_TRUE(PropertyListFile::Read(home.Path() + "/com.kelp.au.tova.plist", file, error));
    const CFDictionaryStorage& stored = file.AsDictionary();
    EXPECT_EQ(stored.at("Midi Learn Notes").AsArray().size(), 129u);
    EXPECT_EQ(stored.at("Midi Learn Inc").AsArray().at(0), CFType::Boolean(true));
    EXPECT_EQ(stored.at("Haptic"), CFType::Boolean(false));
    EXPECT_TRUE(InChild(
        [](TovaHost&)
        {
            return Holds(CTovaProbe::LearnedCC, [](int i) { return i == 7 ? 9 : -1; }) &&
                   Holds(CTovaProbe::LearnedNote, DefaultNote);
        }));
}
