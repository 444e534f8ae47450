#include "PlistSamples.h"

#include "platform/cf/PropertyListFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace
{
namespace fs = std::filesystem;

std::string Contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
} // namespace

TEST(PropertyListFile, RoundTripsBothFormsAndReplacesAtomicallyKeepingPermissionsAndLinks)
{
    std::string folder = (fs::temp_directory_path() / "tova-plist-XXXXXX").string();
    ASSERT_NE(::mkdtemp(folder.data()), nullptr);
    const std::string path = folder + "/tree.plist";
    std::string error;
    for (const PropertyListFormat format : {PropertyListFormat::Binary, PropertyListFormat::XML})
    {
        SCOPED_TRACE(static_cast<int>(format));
        ASSERT_TRUE(PropertyListFile::Write(path, EveryKindPlist(), format, error)) << error;
        EXPECT_EQ(Contents(path).substr(0, 8),
                  format == PropertyListFormat::Binary ? "bplist00" : "<?xml ve");
        CFType back;
        ASSERT_TRUE(PropertyListFile::Read(path, back, error)) << error;
        EXPECT_EQ(back, EveryKindPlist());
    }

    // A write that fails (XML has no form for a Null) leaves the old file in place.
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    const std::string before = Contents(path);
    EXPECT_FALSE(
        PropertyListFile::Write(path, CFType::Array({CFType()}), PropertyListFormat::XML, error));
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_EQ(Contents(path), before);

    // Writing through a link replaces its target, with its permissions, not the link; no
    // temporary file stays behind.
    const std::string link = folder + "/link.plist";
    fs::create_symlink(path, link);
    ASSERT_TRUE(PropertyListFile::Write(link, CFType::SInt32(2), PropertyListFormat::XML, error))
        << error;
    EXPECT_TRUE(fs::is_symlink(link));
    struct stat info
    {
    };
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    CFType back;
    ASSERT_TRUE(PropertyListFile::Read(path, back, error)) << error;
    EXPECT_EQ(back, CFType::SInt64(2));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 2);

    // Reading what is not a property list fails, names the file and leaves the output alone.
    std::ofstream(path) << "bplist00\x10";
    CFType out = CFType::String("untouched");
    EXPECT_FALSE(PropertyListFile::Read(path, out, error));
    EXPECT_NE(error.find("'" + path + "'"), std::string::npos) << error;
    EXPECT_EQ(out, CFType::String("untouched"));
    fs::remove_all(folder);
}
