#include "platform/CFPreferences.h"

#include "platform/PreferencesBackend.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

namespace
{
// Storage in a map that the test can read and change behind the cache's back, as another
// process would change a file.
class MapBackend final : public PreferencesBackend
{
public:
    std::map<std::string, CFDictionaryStorage> stored;
    int loads = 0;
    int stores = 0;
    bool failStores = false;

    CFDictionaryStorage Load(const std::string& appID) override
    {
        ++loads;
        return stored[appID];
    }
    bool Store(const std::string& appID, const CFDictionaryStorage& values) override
    {
        ++stores;
        if (failStores) return false;
        stored[appID] = values;
        return true;
    }
};

class CFPreferencesTest : public ::testing::Test
{
protected:
    void TearDown() override { CFPreferencesInstallBackend(nullptr); }

    std::shared_ptr<MapBackend> Install()
    {
        auto backend = std::make_shared<MapBackend>();
        CFPreferencesInstallBackend(backend);
        return backend;
    }
};

constexpr const char* kApp = "com.kelp.au.tova";
} // namespace

TEST_F(CFPreferencesTest, ValuesLiveInMemoryUntilABackendIsInstalled)
{
    CFPreferencesInstallBackend(nullptr);
    EXPECT_FALSE(CFPreferencesCopyAppValue("Haptic", "test.memory"));
    CFPreferencesSetAppValue("Haptic", CFType::Boolean(true), "test.memory");
    EXPECT_EQ(CFPreferencesCopyAppValue("Haptic", "test.memory"), CFType::Boolean(true));
    EXPECT_FALSE(CFPreferencesCopyAppValue("Haptic", "test.other")) << "apps are apart";
    EXPECT_TRUE(CFPreferencesAppSynchronize("test.memory"));
    EXPECT_EQ(CFPreferencesCopyAppValue("Haptic", "test.memory"), CFType::Boolean(true));

    CFPreferencesSetAppValue("Haptic", std::nullopt, "test.memory");
    EXPECT_FALSE(CFPreferencesCopyAppValue("Haptic", "test.memory"));
    CFPreferencesSetAppValue("Haptic", CFType::SInt32(1), "test.memory");
    CFPreferencesSetAppValue("Haptic", CFType(), "test.memory");
    EXPECT_FALSE(CFPreferencesCopyAppValue("Haptic", "test.memory")) << "Null removes too";

    // Installing a backend forgets the cache, unsynchronised changes too.
    Install();
    CFPreferencesSetAppValue("Haptic", CFType::Boolean(true), kApp);
    auto second = Install();
    EXPECT_FALSE(CFPreferencesCopyAppValue("Haptic", kApp));
    EXPECT_EQ(CFPreferencesCurrentBackend(), second);
}

TEST_F(CFPreferencesTest, LoadedOnFirstUseAndWrittenBySynchronize)
{
    auto backend = Install();
    backend->stored[kApp]["Haptic"] = CFType::Boolean(true);
    EXPECT_EQ(backend->loads, 0);
    EXPECT_EQ(CFPreferencesCopyAppValue("Haptic", kApp), CFType::Boolean(true));
    EXPECT_FALSE(CFPreferencesCopyAppValue("Midi Learn", kApp));
    EXPECT_EQ(backend->loads, 1) << "the cache answers after the first read";

    CFType learn = CFType::Array({CFType::SInt16(-1), CFType::SInt16(4)});
    CFPreferencesSetAppValue("Midi Learn", learn, kApp);
    CFPreferencesSetAppValue("Haptic", CFType::Boolean(false), kApp);
    EXPECT_EQ(backend->stores, 0) << "nothing is written before synchronising";
    EXPECT_EQ(CFPreferencesCopyAppValue("Midi Learn", kApp), learn);

    EXPECT_TRUE(CFPreferencesAppSynchronize(kApp));
    EXPECT_EQ(backend->stores, 1);
    EXPECT_EQ(backend->stored[kApp]["Midi Learn"], learn);
    EXPECT_EQ(backend->stored[kApp]["Haptic"], CFType::Boolean(false));

    EXPECT_TRUE(CFPreferencesAppSynchronize(kApp));
    EXPECT_EQ(backend->stores, 1) << "no changes, nothing to write";

    // A failed write keeps the changes for the next attempt.
    backend->failStores = true;
    CFPreferencesSetAppValue("Haptic", CFType::Boolean(true), kApp);
    EXPECT_FALSE(CFPreferencesAppSynchronize(kApp));
    EXPECT_EQ(CFPreferencesCopyAppValue("Haptic", kApp), CFType::Boolean(true));

    backend->failStores = false;
    EXPECT_TRUE(CFPreferencesAppSynchronize(kApp));
    EXPECT_EQ(backend->stored[kApp]["Haptic"], CFType::Boolean(true));
}

TEST_F(CFPreferencesTest, SynchronizeMergesWithWhatAnotherProcessStored)
{
    auto backend = Install();
    backend->stored[kApp]["Haptic"] = CFType::Boolean(true);
    backend->stored[kApp]["Midi Learn"] = CFType::Array();
    CFPreferencesSetAppValue("Midi Learn Notes", CFType::Array(), kApp);
    CFPreferencesSetAppValue("Midi Learn", std::nullopt, kApp);
    // Meanwhile another process changes a key this one did not touch.
    backend->stored[kApp]["Haptic"] = CFType::Boolean(false);

    EXPECT_TRUE(CFPreferencesAppSynchronize(kApp));
    const CFDictionaryStorage& stored = backend->stored[kApp];
    EXPECT_EQ(stored.at("Haptic"), CFType::Boolean(false));
    EXPECT_EQ(stored.count("Midi Learn"), 0u);
    EXPECT_EQ(stored.at("Midi Learn Notes"), CFType::Array());
    EXPECT_EQ(CFPreferencesCopyAppValue("Haptic", kApp), CFType::Boolean(false))
        << "synchronising also reads the latest values";
}

TEST_F(CFPreferencesTest, BooleanValueOfTheWrongKindCountsAsMissing)
{
    auto backend = Install();
    backend->stored[kApp]["On"] = CFType::Boolean(true);
    backend->stored[kApp]["Off"] = CFType::Boolean(false);
    backend->stored[kApp]["Number"] = CFType::SInt32(1);
    backend->stored[kApp]["Text"] = CFType::String("true");

    struct Case
    {
        const char* key;
        bool value;
        Boolean valid;
    };
    for (const Case& c : {Case{"On", true, 1}, Case{"Off", false, 1}, Case{"Number", false, 0},
                          Case{"Text", false, 0}, Case{"Missing", false, 0}})
    {
        SCOPED_TRACE(c.key);
        Boolean valid = 2;
        EXPECT_EQ(CFPreferencesGetAppBooleanValue(c.key, kApp, &valid), c.value);
        EXPECT_EQ(valid, c.valid);
    }
    testing::internal::CaptureStderr();
    CFPreferencesGetAppBooleanValue("Number", kApp, nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "noted once, above";
}
