// A program for the preferences tests: each run is a new process, so the first Tova it opens
// loads the learn tables from the preferences in $XDG_CONFIG_HOME, and closing it writes them.
//
//   tova_preferences_probe print            prints the tables and "Haptic" as the unit sees them
//   tova_preferences_probe learn C P        binds controller C to parameter P through learn
//   tova_preferences_probe second           a second instance next to the first (see below)
//
// Lines of output start with "cc", "inc", "notes" or "haptic", then the values.

#include "CTovaProbe.h"
#include "TovaHost.h"

#include "platform/CFPreferences.h"
#include "platform/linux/XMLPreferencesBackend.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace
{
constexpr const char* kAppID = "com.kelp.au.tova";

template <typename Table> void Print(const char* name, Table entry)
{
    std::printf("%s", name);
    for (int i = 0; i < CTova::kLearnSlots; ++i)
        std::printf(" %d", static_cast<int>(entry(i).load()));
    std::printf("\n");
}

void PrintTables(TovaHost& host)
{
    Print("cc", CTovaProbe::LearnedCC);
    Print("inc", CTovaProbe::Incremental);
    Print("notes", CTovaProbe::LearnedNote);
    std::printf("haptic %d\n", static_cast<int>(CTovaProbe(host.Tova()).Haptic()));
}

void Learn(TovaHost& host, int controller, int parameter)
{
    const SInt32 id = parameter;
    AudioUnitSetProperty(host.Unit(), kTovaProperty_MIDILearn, kAudioUnitScope_Global, 0, &id,
                         sizeof id);
    host.Midi(0xB0, static_cast<UInt8>(controller), 64);
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) return 2;
    const std::string command = argv[1];
    CFPreferencesInstallBackend(std::make_shared<XMLPreferencesBackend>());
    auto first = std::make_unique<TovaHost>();
    if (command == "print")
        PrintTables(*first);
    else if (command == "learn" && argc == 4)
        Learn(*first, std::atoi(argv[2]), std::atoi(argv[3]));
    else if (command == "second")
    {
        // Other bindings and "Haptic" on in the preferences now: the second instance reads
        // "Haptic" but not the tables, and going first it saves nothing.
        CFArrayStorage cc(CTova::kLearnSlots, CFType::SInt16(-1));
        cc[1] = CFType::SInt16(2);
        CFPreferencesSetAppValue("Midi Learn", CFType::Array(cc), kAppID);
        CFPreferencesSetAppValue("Haptic", CFType::Boolean(true), kAppID);
        CFPreferencesAppSynchronize(kAppID);
        auto second = std::make_unique<TovaHost>();
        Learn(*second, 5, 9); // seen by the first: the tables are shared
        PrintTables(*second);
        second.reset();
        const std::optional<CFType> stored = CFPreferencesCopyAppValue("Midi Learn", kAppID);
        std::printf("stored-after-second %d\n",
                    stored && stored->GetKind() == CFType::Kind::Array
                        ? static_cast<int>(stored->AsArray().at(5).AsSInt16())
                        : -99);
        std::printf("first-haptic %d\n", static_cast<int>(CTovaProbe(first->Tova()).Haptic()));
    }
    else
        return 2;
    first.reset();
    return 0;
}
