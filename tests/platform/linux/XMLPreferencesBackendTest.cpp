#include "platform/linux/XMLPreferencesBackend.h"

#include "platform/CFPreferences.h"

#include "TemporaryConfigHome.h"

#include <gtest/gtest.h>

#include <fstream>

TEST(XMLPreferences, WhatOneProcessWritesTheNextReadsAndBrokenFilesAreReplaced)
{
    constexpr const char* kApp = "com.kelp.au.tova";
    const TemporaryConfigHome home;
    const CFType learn = CFType::Array({CFType::SInt16(-1), CFType::SInt16(4)});
    CFPreferencesInstallBackend(std::make_shared<XMLPreferencesBackend>());
    CFPreferencesSetAppValue("Midi Learn Notes", learn, kApp);
    CFPreferencesSetAppValue("Haptic", CFType::Boolean(true), kApp);
    ASSERT_TRUE(CFPreferencesAppSynchronize(kApp));

    // The next process: a new backend and an empty cache.
    CFPreferencesInstallBackend(std::make_shared<XMLPreferencesBackend>());
    EXPECT_EQ(CFPreferencesCopyAppValue("Midi Learn Notes", kApp), learn);
    Boolean valid = 0;
    EXPECT_TRUE(CFPreferencesGetAppBooleanValue("Haptic", kApp, &valid));
    EXPECT_TRUE(valid);

    // A broken file reads as no preferences, and the next write replaces it.
    std::ofstream(home.Path() + "/com.kelp.au.tova.plist") << "<?xml version=\"1.0\"?><plist";
    CFPreferencesInstallBackend(std::make_shared<XMLPreferencesBackend>());
    testing::internal::CaptureStderr();
    EXPECT_FALSE(CFPreferencesCopyAppValue("Haptic", kApp));
    CFPreferencesSetAppValue("Haptic", CFType::Boolean(false), kApp);
    EXPECT_TRUE(CFPreferencesAppSynchronize(kApp));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(XMLPreferencesBackend(home.Path()).Load(kApp).at("Haptic"), CFType::Boolean(false));
    CFPreferencesInstallBackend(nullptr);
}
