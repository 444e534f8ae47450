// CTova: the learn tables in the user's preferences (application id "com.kelp.au.tova"). The
// first instance of the process loads them over the defaults and writes them back when it
// goes; the tables are shared, so bindings made through any instance meanwhile are kept.
// "Haptic" is read by every instance (CTovaLearn.cpp) and written by the loading one.

#include "engine/CTova.h"

#include "params/TovaPreferenceKeys.h"
#include "platform/CFPreferences.h"
#include "platform/cf/CACFArray.h"

#include <array>
#include <atomic>

namespace
{
constexpr const char* kLearnKey = "Midi Learn";
constexpr const char* kLearnIncKey = "Midi Learn Inc";
constexpr const char* kLearnNotesKey = "Midi Learn Notes";

// Copies entry i of the stored array into entry i of the table for every i the array has (at
// most the table's length): numbers as 16-bit integers, booleans as 1 or 0. A value that is
// not an array, and entries of any other kind, leave the defaults.
template <typename T, std::size_t N>
void LoadTable(const char* key, std::array<std::atomic<T>, N>& table)
{
    const std::optional<CFType> stored = CFPreferencesCopyAppValue(key, kTovaPrefsAppID);
    if (!stored || stored->GetKind() != CFType::Kind::Array) return;
    const CFArrayStorage& items = stored->AsArray();
    for (std::size_t i = 0; i < N && i < items.size(); ++i)
    {
        const CFType& item = items[i];
        if (item.IsNumber())
            table[i].store(static_cast<T>(item.AsSInt16()));
        else if (item.GetKind() == CFType::Kind::Boolean)
            table[i].store(item.AsBoolean() ? 1 : 0);
    }
}

template <typename T, std::size_t N> CFType NumberArray(const std::array<std::atomic<T>, N>& table)
{
    CACFArray array;
    for (const std::atomic<T>& entry : table)
        array.AppendSInt16(static_cast<SInt16>(entry.load()));
    return array.GetCFType();
}

template <typename T, std::size_t N> CFType BooleanArray(const std::array<std::atomic<T>, N>& table)
{
    CACFArray array;
    for (const std::atomic<T>& entry : table)
        array.AppendBool(entry.load() != 0);
    return array.GetCFType();
}
} // namespace

std::atomic<bool> CTova::mPrefsInitialized{false};

void CTova::LoadPreferences()
{
    mPrefsOwner = 0;
    bool loaded = false;
    if (!mPrefsInitialized.compare_exchange_strong(loaded, true)) return;
    mPrefsOwner = 1;
    SetLearnDefaults();
    LoadTable(kLearnKey, mMIDICC);
    LoadTable(kLearnIncKey, mMIDICCIncremental);
    LoadTable(kLearnNotesKey, mMIDINote);
}

void CTova::SavePreferences()
{
    if (mPrefsOwner != 1) return;
    CFPreferencesSetAppValue(kLearnKey, NumberArray(mMIDICC), kTovaPrefsAppID);
    CFPreferencesSetAppValue(kLearnIncKey, BooleanArray(mMIDICCIncremental), kTovaPrefsAppID);
    CFPreferencesSetAppValue(kLearnNotesKey, NumberArray(mMIDINote), kTovaPrefsAppID);
    CFPreferencesSetAppValue(kTovaHapticKey, CFType::Boolean(mHaptic != 0), kTovaPrefsAppID);
    CFPreferencesAppSynchronize(kTovaPrefsAppID);
}
