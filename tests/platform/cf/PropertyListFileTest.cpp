#include "PlistSamples.h"

#include "platform/cf/BinaryPropertyList.h"
#include "platform/cf/PropertyListFile.h"
#include "platform/cf/XMLPropertyList.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace
{
namespace fs = std::filesystem;

// A fresh folder per test, removed afterwards.
class PropertyListFileTest : public testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "tova-plist-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        mFolder = pattern;
    }
    void TearDown() override { fs::remove_all(mFolder); }

    std::string PathOf(const std::string& name) const { return (mFolder / name).string(); }

    std::vector<std::string> FolderContents() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(mFolder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    static std::string Contents(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    static void WriteRaw(const std::string& path, const std::string& bytes)
    {
        std::ofstream(path, std::ios::binary) << bytes;
    }

    fs::path mFolder;
};
} // namespace

TEST_F(PropertyListFileTest, WritesReadsAndDecodesBothForms)
{
    const CFType tree = PlistSamples::EveryKind();
    std::string error;
    for (const PropertyListFormat format : {PropertyListFormat::Binary, PropertyListFormat::XML})
    {
        SCOPED_TRACE(static_cast<int>(format));
        const std::string path = PathOf("tree.plist");
        ASSERT_TRUE(PropertyListFile::Write(path, tree, format, error)) << error;
        const std::string head = Contents(path).substr(0, 8);
        EXPECT_EQ(head, format == PropertyListFormat::Binary ? "bplist00" : "<?xml ve");
        CFType back;
        ASSERT_TRUE(PropertyListFile::Read(path, back, error)) << error;
        EXPECT_EQ(back, tree);
    }
    EXPECT_EQ(FolderContents(), std::vector<std::string>{"tree.plist"});
    const std::vector<std::uint8_t> binary = BinaryPropertyList::Write(tree);
    std::vector<std::uint8_t> xml;
    ASSERT_TRUE(XMLPropertyList::Write(tree, xml, error)) << error;
    const std::vector<std::uint8_t>* forms[] = {&binary, &xml};
    for (const std::vector<std::uint8_t>* bytes : forms)
    {
        CFType out;
        ASSERT_TRUE(PropertyListFile::Decode(bytes->data(), bytes->size(), out, error)) << error;
        EXPECT_EQ(out, tree);
    }
}

TEST_F(PropertyListFileTest, ReplacesAtomicallyKeepingPermissionsAndLinks)
{
    const std::string path = PathOf("prefs.plist");
    WriteRaw(path, "old");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    std::string error;
    ASSERT_TRUE(
        PropertyListFile::Write(path, CFType::Boolean(true), PropertyListFormat::XML, error))
        << error;
    struct stat info
    {
    };
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    CFType back;
    ASSERT_TRUE(PropertyListFile::Read(path, back, error)) << error;
    EXPECT_EQ(back, CFType::Boolean(true));

    // A write that fails (XML has no form for a Null) leaves the old file in place.
    const std::string state = PathOf("state.plist");
    ASSERT_TRUE(
        PropertyListFile::Write(state, CFType::SInt32(1), PropertyListFormat::Binary, error));
    const std::string before = Contents(state);
    EXPECT_FALSE(
        PropertyListFile::Write(state, CFType::Array({CFType()}), PropertyListFormat::XML, error));
    EXPECT_NE(error.find(state), std::string::npos) << error;
    EXPECT_NE(error.find("Null"), std::string::npos) << error;
    EXPECT_EQ(Contents(state), before);

    // Writing through a link replaces its target, not the link; no temporary stays behind.
    const std::string target = PathOf("real.plist");
    const std::string link = PathOf("link.plist");
    ASSERT_TRUE(PropertyListFile::Write(target, CFType::SInt32(1), PropertyListFormat::XML, error));
    fs::create_symlink(target, link);
    ASSERT_TRUE(PropertyListFile::Write(link, CFType::SInt32(2), PropertyListFormat::XML, error))
        << error;
    EXPECT_TRUE(fs::is_symlink(link));
    ASSERT_TRUE(PropertyListFile::Read(target, back, error)) << error;
    EXPECT_EQ(back, CFType::SInt64(2));
    EXPECT_EQ(FolderContents(),
              (std::vector<std::string>{"link.plist", "prefs.plist", "real.plist", "state.plist"}));
}

TEST_F(PropertyListFileTest, ErrorsNameTheFileAndTheCause)
{
    const std::string unwritable = PathOf("missing-folder/state.plist");
    std::string error;
    EXPECT_FALSE(
        PropertyListFile::Write(unwritable, CFType::SInt32(1), PropertyListFormat::Binary, error));
    EXPECT_NE(error.find("'" + unwritable + "'"), std::string::npos) << error;
    EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
    struct Case
    {
        std::string name;
        std::string cause;
    };
    WriteRaw(PathOf("garbage.plist"), "this is no property list");
    WriteRaw(PathOf("empty.plist"), "");
    WriteRaw(PathOf("broken.plist"), "bplist00\x10");
    fs::create_directory(PathOf("folder.plist"));
    const Case cases[] = {{"missing.plist", "No such file or directory"},
                          {"garbage.plist", "is not a valid property list: XML"},
                          {"empty.plist", "is not a valid property list"},
                          {"broken.plist", "is not a valid property list: binary"},
                          {"folder.plist", "not a regular file"}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const std::string path = PathOf(c.name);
        CFType out = CFType::String("untouched");
        error.clear();
        EXPECT_FALSE(PropertyListFile::Read(path, out, error));
        EXPECT_NE(error.find("'" + path + "'"), std::string::npos) << error;
        EXPECT_NE(error.find(c.cause), std::string::npos) << error;
        EXPECT_EQ(out, CFType::String("untouched"));
    }
}
