// The learn tables in the user's preferences, across processes: each run of the probe program
// is a new process whose first Tova loads them and writes them back when it closes.

#include "platform/cf/PropertyListFile.h"
#include "platform/linux/TemporaryConfigHome.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace
{
constexpr int kSlots = 129;

// The probe's output: each line's name and numbers.
using Output = std::map<std::string, std::vector<int>>;

Output RunProbe(const std::string& arguments)
{
    const std::string command = std::string(TOVA_PREFERENCES_PROBE) + " " + arguments;
    Output output;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return output;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe) != nullptr)
    {
        std::istringstream in(line);
        std::string name;
        in >> name;
        std::vector<int> values;
        for (int v = 0; in >> v;)
            values.push_back(v);
        output[name] = values;
    }
    EXPECT_EQ(::pclose(pipe), 0) << command;
    return output;
}

std::vector<int> Defaults(int value)
{
    return std::vector<int>(kSlots, value);
}

std::vector<int> DefaultNotes()
{
    std::vector<int> notes = Defaults(-1);
    notes[48] = 4; // "Recording"
    notes[49] = 5; // "Erasing"
    notes[50] = 7; // "Copying"
    return notes;
}

class Preferences : public ::testing::Test
{
protected:
    std::string File() const { return home.Path() + "/com.kelp.au.tova.plist"; }

    void Store(const CFDictionaryStorage& values)
    {
        std::string error;
        ASSERT_TRUE(PropertyListFile::Write(File(), CFType::Dictionary(values),
                                            PropertyListFormat::XML, error))
            << error;
    }

    TemporaryConfigHome home;
};
} // namespace

TEST_F(Preferences, AFreshUserHasTheDefaultNoteBindingsAndTheyAreWrittenBack)
{
    const Output output = RunProbe("print");
    EXPECT_EQ(output.at("cc"), Defaults(-1));
    EXPECT_EQ(output.at("inc"), Defaults(1));
    EXPECT_EQ(output.at("notes"), DefaultNotes());
    EXPECT_EQ(output.at("haptic"), std::vector<int>{0});

    CFType stored;
    std::string error;
    ASSERT_TRUE(PropertyListFile::Read(File(), stored, error)) << error;
    const CFDictionaryStorage& values = stored.AsDictionary();
    ASSERT_EQ(values.at("Midi Learn Notes").AsArray().size(), 129u);
    EXPECT_EQ(values.at("Midi Learn Notes").AsArray()[49], CFType::SInt64(5));
    EXPECT_EQ(values.at("Midi Learn Inc").AsArray()[0], CFType::Boolean(true));
    EXPECT_EQ(values.at("Haptic"), CFType::Boolean(false));
}

TEST_F(Preferences, BindingsLearnedInOneProcessHoldInTheNext)
{
    RunProbe("learn 7 9");
    const Output output = RunProbe("print");
    std::vector<int> cc = Defaults(-1);
    cc[7] = 9;
    EXPECT_EQ(output.at("cc"), cc);
    EXPECT_EQ(output.at("notes"), DefaultNotes());
}

TEST_F(Preferences, AStoredArrayOfTenEntriesSetsTenControllers)
{
    CFArrayStorage cc;
    for (int i = 0; i < 10; ++i)
        cc.push_back(CFType::SInt16(static_cast<std::int16_t>(20 + i)));
    Store({{"Midi Learn", CFType::Array(cc)}, {"Haptic", CFType::Boolean(true)}});
    const Output output = RunProbe("print");
    std::vector<int> expected = Defaults(-1);
    for (int i = 0; i < 10; ++i)
        expected[i] = 20 + i;
    EXPECT_EQ(output.at("cc"), expected);
    EXPECT_EQ(output.at("haptic"), std::vector<int>{1});
}

TEST_F(Preferences, LongArraysAreCutAndValuesOfTheWrongKindCountAsMissing)
{
    CFArrayStorage longNotes(300, CFType::SInt32(3));
    CFArrayStorage mixedInc = {CFType::Boolean(false), CFType::String("no"), CFType::SInt32(0)};
    Store({{"Midi Learn", CFType::String("everything")},
           {"Midi Learn Inc", CFType::Array(mixedInc)},
           {"Midi Learn Notes", CFType::Array(longNotes)},
           {"Haptic", CFType::SInt32(1)}});
    const Output output = RunProbe("print");
    EXPECT_EQ(output.at("cc"), Defaults(-1));
    std::vector<int> inc = Defaults(1);
    inc[0] = 0; // false
    inc[2] = 0; // the number 0; the text between counts as missing
    EXPECT_EQ(output.at("inc"), inc);
    EXPECT_EQ(output.at("notes"), Defaults(3));
    EXPECT_EQ(output.at("haptic"), std::vector<int>{0}) << "a number is not a boolean";
}

TEST_F(Preferences, ATruncatedFileCountsAsNoneAndIsReplacedWhole)
{
    RunProbe("learn 3 2");
    std::string bytes;
    {
        std::ifstream in(File(), std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    ASSERT_GT(bytes.size(), 100u);
    std::ofstream(File(), std::ios::binary | std::ios::trunc) << bytes.substr(0, bytes.size() / 2);
    const Output output = RunProbe("print");
    EXPECT_EQ(output.at("cc"), Defaults(-1));
    EXPECT_EQ(output.at("notes"), DefaultNotes());
    CFType stored;
    std::string error;
    EXPECT_TRUE(PropertyListFile::Read(File(), stored, error)) << error;
}

TEST_F(Preferences, ASecondInstanceNeitherLoadsNorSavesButSharesTheTablesAndReadsHaptic)
{
    const Output output = RunProbe("second");
    std::vector<int> cc = Defaults(-1);
    cc[5] = 9; // learned through the second; controller 1 → 2 came after the loading
    EXPECT_EQ(output.at("cc"), cc);
    EXPECT_EQ(output.at("haptic"), std::vector<int>{1});
    EXPECT_EQ(output.at("first-haptic"), std::vector<int>{0});
    EXPECT_EQ(output.at("stored-after-second"), std::vector<int>{-1}) << "not saved by it";
    // The first saved the shared tables when it closed, over what was stored meanwhile.
    const Output next = RunProbe("print");
    EXPECT_EQ(next.at("cc"), cc);
    EXPECT_EQ(next.at("haptic"), std::vector<int>{0}) << "the first's own value";
}
