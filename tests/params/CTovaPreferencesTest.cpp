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

// What the preferences file holds.
CFDictionaryStorage Stored(const std::string& file)
{
    CFType stored;
    std::string error;
    EXPECT_TRUE(PropertyListFile::Read(file, stored, error)) << error;
    return stored.GetKind() == CFType::Kind::Dictionary ? stored.AsDictionary()
                                                        : CFDictionaryStorage{};
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
    const CFDictionaryStorage stored = Stored(home.Path() + "/com.kelp.au.tova.plist");
    ASSERT_EQ(stored.count("Midi Learn Notes"), 1u);
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

TEST(Preferences, ShortAndLongArraysAndValuesOfTheWrongKind)
{
    const TemporaryConfigHome home;
    const std::string file = home.Path() + "/com.kelp.au.tova.plist";
    CFArrayStorage cc;
    for (std::int16_t i = 0; i < 10; ++i)
        cc.push_back(CFType::SInt16(static_cast<std::int16_t>(20 + i)));
    const CFArrayStorage inc = {CFType::Boolean(false), CFType::String("no"), CFType::SInt32(0)};
    std::string error;
    ASSERT_TRUE(PropertyListFile::Write(
        file,
        CFType::Dictionary(
            {{"Midi Learn", CFType::Array(cc)},
             {"Midi Learn Inc", CFType::Array(inc)},
             {"Midi Learn Notes", CFType::Array(CFArrayStorage(300, CFType::SInt32(3)))},
             {"Haptic", CFType::SInt32(1)}}),
        PropertyListFormat::XML, error))
        << error;
    // Ten entries set ten controllers; 300 are cut to 129; text counts as missing, and so does
    // a number where a boolean belongs.
    EXPECT_TRUE(InChild(
        [](TovaHost& host)
        {
            return Holds(CTovaProbe::LearnedCC, [](int i) { return i < 10 ? 20 + i : -1; }) &&
                   Holds(CTovaProbe::Incremental, [](int i) { return i == 0 || i == 2 ? 0 : 1; }) &&
                   Holds(CTovaProbe::LearnedNote, [](int) { return 3; }) &&
                   CTovaProbe(host.Tova()).Haptic() == 0;
        }));
}
