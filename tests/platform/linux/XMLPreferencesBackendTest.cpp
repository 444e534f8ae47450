#include "platform/linux/XMLPreferencesBackend.h"

#include "platform/CFPreferences.h"
#include "platform/cf/PropertyListFile.h"

#include "TemporaryConfigHome.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace
{
constexpr const char* kApp = "com.kelp.au.tova";

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

CFType LearnArray()
{
    CFArrayStorage entries;
    for (int i = 0; i < 129; ++i)
        entries.push_back(CFType::SInt16(static_cast<std::int16_t>(i == 48 ? 4 : -1)));
    return CFType::Array(std::move(entries));
}

// Each test starts with a fresh cache and leaves none behind.
class XMLPreferences : public ::testing::Test
{
protected:
    void TearDown() override { CFPreferencesInstallBackend(nullptr); }
    TemporaryConfigHome mHome;
};
} // namespace

TEST_F(XMLPreferences, WhatOneProcessWritesTheNextReads)
{
    CFPreferencesInstallBackend(std::make_shared<XMLPreferencesBackend>());
    CFPreferencesSetAppValue("Midi Learn Notes", LearnArray(), kApp);
    CFPreferencesSetAppValue("Haptic", CFType::Boolean(true), kApp);
    ASSERT_TRUE(CFPreferencesAppSynchronize(kApp));
    const std::string path = mHome.Path() + "/com.kelp.au.tova.plist";
    ASSERT_TRUE(std::filesystem::exists(path));
    EXPECT_NE(ReadFile(path).find("<key>Haptic</key>"), std::string::npos) << "an XML plist";

    // The next process: a new backend and an empty cache.
    CFPreferencesInstallBackend(std::make_shared<XMLPreferencesBackend>());
    EXPECT_EQ(CFPreferencesCopyAppValue("Midi Learn Notes", kApp), LearnArray());
    Boolean valid = 0;
    EXPECT_TRUE(CFPreferencesGetAppBooleanValue("Haptic", kApp, &valid));
    EXPECT_TRUE(valid);

    // Missing folders are created; no file is no preferences, silently.
    const std::string folder = mHome.Path() + "/deeper/still";
    XMLPreferencesBackend backend(folder);
    EXPECT_TRUE(backend.Load(kApp).empty());
    ASSERT_TRUE(backend.Store(kApp, {{"Haptic", CFType::Boolean(false)}}));
    EXPECT_EQ(XMLPreferencesBackend(folder).Load(kApp).at("Haptic"), CFType::Boolean(false));
}

TEST_F(XMLPreferences, FolderComesFromTheEnvironment)
{
    EXPECT_EQ(XMLPreferencesBackend::DefaultFolder(), mHome.Path());
    EXPECT_EQ(XMLPreferencesBackend().PathOf(kApp), mHome.Path() + "/com.kelp.au.tova.plist");

    const char* home = std::getenv("HOME");
    ASSERT_NE(home, nullptr);
    ::setenv("XDG_CONFIG_HOME", "relative/config", 1);
    EXPECT_EQ(XMLPreferencesBackend::DefaultFolder(), std::string(home) + "/.config")
        << "a relative XDG_CONFIG_HOME is ignored";
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(XMLPreferencesBackend::DefaultFolder(), std::string(home) + "/.config");
}

TEST_F(XMLPreferences, IdsThatCannotNameTheirOwnFileAreRefused)
{
    XMLPreferencesBackend backend(mHome.Path());
    for (const char* id : {"", "../escape", "a/b", ".hidden"})
    {
        SCOPED_TRACE(id);
        EXPECT_EQ(backend.PathOf(id), "");
        EXPECT_TRUE(backend.Load(id).empty());
        testing::internal::CaptureStderr();
        EXPECT_FALSE(backend.Store(id, {{"k", CFType::Boolean(true)}}));
        testing::internal::GetCapturedStderr();
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(mHome.Path()), {}), 0);
}

TEST_F(XMLPreferences, UnreadableFilesAndWrongKindsCountAsMissingNotedOnce)
{
    XMLPreferencesBackend writer(mHome.Path());
    ASSERT_TRUE(
        writer.Store(kApp, {{"Haptic", CFType::Boolean(true)}, {"Midi Learn", LearnArray()}}));
    const std::string path = writer.PathOf(kApp);
    const std::string whole = ReadFile(path);

    struct Case
    {
        const char* what;
        std::string bytes;
    };
    const Case cases[] = {
        {"truncated", whole.substr(0, whole.size() / 2)},
        {"not a property list", "Haptic = yes\n"},
        {"binary garbage", std::string("bplist00\xff\x00\x01", 11)},
        {"empty", ""},
        {"an array, not a dictionary",
         "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><true/></array></plist>"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        WriteFile(path, c.bytes);
        XMLPreferencesBackend backend(mHome.Path());
        testing::internal::CaptureStderr();
        EXPECT_TRUE(backend.Load(kApp).empty());
        EXPECT_TRUE(backend.Load(kApp).empty());
        const std::string noted = testing::internal::GetCapturedStderr();
        EXPECT_NE(noted.find(path), std::string::npos) << noted;
        EXPECT_EQ(noted.find('\n'), noted.size() - 1) << "one line for two loads: " << noted;
    }

    // Through the cache: a corrupt file reads as empty, and the next write replaces it.
    WriteFile(path, "garbage");
    CFPreferencesInstallBackend(std::make_shared<XMLPreferencesBackend>());
    testing::internal::CaptureStderr();
    EXPECT_FALSE(CFPreferencesCopyAppValue("Haptic", kApp));
    CFPreferencesSetAppValue("Haptic", CFType::Boolean(true), kApp);
    EXPECT_TRUE(CFPreferencesAppSynchronize(kApp));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(XMLPreferencesBackend(mHome.Path()).Load(kApp).at("Haptic"), CFType::Boolean(true));

    // A value of the wrong kind counts as missing, and is noted.
    ASSERT_TRUE(writer.Store(kApp, {{"Haptic", CFType::String("yes")}}));
    CFPreferencesInstallBackend(std::make_shared<XMLPreferencesBackend>());
    testing::internal::CaptureStderr();
    Boolean valid = 1;
    EXPECT_FALSE(CFPreferencesGetAppBooleanValue("Haptic", kApp, &valid));
    EXPECT_FALSE(valid);
    const std::string wrongKind = testing::internal::GetCapturedStderr();
    EXPECT_NE(wrongKind.find("Haptic"), std::string::npos) << wrongKind;
}

TEST_F(XMLPreferences, FileIsReplacedAtomically)
{
    XMLPreferencesBackend backend(mHome.Path());
    ASSERT_TRUE(backend.Store(kApp, {{"Haptic", CFType::Boolean(false)}}));
    const std::string path = backend.PathOf(kApp);
    // What a crash in the middle of an earlier write leaves beside the file.
    const std::string leftover = mHome.Path() + "/.com.kelp.au.tova.plist.tmp-99999-0";
    WriteFile(leftover, "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>Hap");

    EXPECT_EQ(XMLPreferencesBackend(mHome.Path()).Load(kApp).at("Haptic"), CFType::Boolean(false))
        << "the leftover does not disturb reading";

    struct stat before
    {
    };
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    ASSERT_TRUE(backend.Store(kApp, {{"Haptic", CFType::Boolean(true)}}));
    struct stat after
    {
    };
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino) << "a new file renamed over the old one";
    EXPECT_EQ(XMLPreferencesBackend(mHome.Path()).Load(kApp).at("Haptic"), CFType::Boolean(true));

    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(mHome.Path()))
    {
        ++files;
        EXPECT_TRUE(entry.path() == path || entry.path() == leftover) << entry.path();
    }
    EXPECT_EQ(files, 2u) << "the write left no temporary file of its own";
}
