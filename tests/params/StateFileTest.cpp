// Tova's state as files: written in both property-list forms, opened by Python's plistlib with
// the structure other tools expect, and read back into a fresh instance.

#include "CTovaProbe.h"
#include "StateTestUtil.h"

#include "platform/cf/PropertyListFile.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>

namespace
{
std::string Temp(const std::string& name)
{
    return (std::filesystem::temp_directory_path() /
            ("tova-state-" + std::to_string(::getpid()) + "-" + name))
        .string();
}

// Key 10: 1000 frames of 0.25; key 20: 500 frames of -0.5, pitch 1.5, speed 0.75.
CFType TwoKeyState()
{
    TovaHost host;
    CTovaProbe probe(host.Tova());
    probe.GiveSample(10, 1000, 0.25f, 120.0);
    probe.GiveSample(20, 500, -0.5f);
    probe.Key(20).SetPitchShift(1.5);
    probe.Key(20).SetSpeed(0.75);
    return SaveState(host);
}
} // namespace

TEST(StateFiles, BothFormsOpenInPlistlibWithTheStateStructure)
{
    const CFType state = TwoKeyState();
    const std::string xml = Temp("state.plist");
    const std::string binary = Temp("state.bplist");
    std::string error;
    ASSERT_TRUE(PropertyListFile::Write(xml, state, PropertyListFormat::XML, error)) << error;
    ASSERT_TRUE(PropertyListFile::Write(binary, state, PropertyListFormat::Binary, error)) << error;
    const std::string command =
        std::string("python3 ") + TOVA_STATE_CHECK_SCRIPT + " " + xml + " " + binary + " 2>&1";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char line[512] = {};
    const bool read = std::fgets(line, sizeof line, pipe) != nullptr;
    EXPECT_EQ(::pclose(pipe), 0) << line;
    EXPECT_TRUE(read);
    EXPECT_STREQ(line, "ok\n");

    for (const std::string& path : {xml, binary})
    {
        SCOPED_TRACE(path);
        CFType loaded;
        ASSERT_TRUE(PropertyListFile::Read(path, loaded, error)) << error;
        TovaHost fresh;
        ASSERT_EQ(RestoreState(fresh, loaded), noErr);
        EXPECT_EQ(SaveState(fresh), state);
        std::filesystem::remove(path);
    }
}
