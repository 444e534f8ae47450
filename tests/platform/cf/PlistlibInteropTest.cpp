// Interoperability with another property-list implementation: Python's plistlib reads the
// files we write with the same values, and we read the files it writes, in both forms.  (The
// integer, reference and offset widths another writer may choose are read by the binary
// reader's own tests.)
#include "PlistSamples.h"

#include "platform/cf/PropertyListFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace
{
namespace fs = std::filesystem;

// "IN XML BIN": load IN, assert the values of PlistSamples::EveryKind, and write it again in
// both forms, for us to read back.
constexpr const char* kScript = R"PY(
import math, plistlib, sys

def check(path, xml_out, bin_out):
    with open(path, "rb") as f:
        d = plistlib.load(f)
    assert d["integers"][:12] == [0, 1, 255, 256, 65535, 65536, 2**32 - 1, 2**32,
                                  2**63 - 1, -1, -256, -2**63], d["integers"]
    assert d["integers"][12:] == [-2**31, -32768], d["integers"]
    r = d["reals"]
    assert r[0] == 0.1 and math.copysign(1, r[1]) == -1 and r[2] == 1.7976931348623157e308
    assert r[3] == 5e-324 and math.isnan(r[4]) and r[5] == math.inf and r[6] == -math.inf
    assert r[7] == 0.10000000149011612 and r[8] == 3.4028234663852886e38, r
    assert d["strings"][4] == "Gr\u00fc\u00dfe \u20ac \U0001F3B9", d["strings"]
    assert d["strings"][3] == "<&> \"quoted\" 'single'\ttab\nline"
    assert d["strings"][5] == "  spaces kept  "
    assert d["data"] == bytes([0, 255, 16, 128, 127])
    assert d["true"] is True and d["false"] is False
    assert d["nested"][0] == {"empty array": [], "empty dict": {}, "empty data": b"",
                              "\u00e9t\u00e9": True}
    assert d["nested"][1] == [[7]] and d[""] == "empty key"
    write(d, xml_out, bin_out)

def write(d, xml_out, bin_out):
    with open(xml_out, "wb") as f:
        plistlib.dump(d, f, fmt=plistlib.FMT_XML)
    with open(bin_out, "wb") as f:
        plistlib.dump(d, f, fmt=plistlib.FMT_BINARY)

check(*sys.argv[1:4])
)PY";

class PlistlibInteropTest : public testing::Test
{
protected:
    void SetUp() override
    {
        if (std::system("python3 -c 'import plistlib' >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "python3 with plistlib is not on PATH; interop not checked";
        std::string pattern = (fs::temp_directory_path() / "tova-plistlib-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        mFolder = pattern;
        std::ofstream(mFolder / "interop.py") << kScript;
    }
    void TearDown() override
    {
        if (!mFolder.empty()) fs::remove_all(mFolder);
    }

    std::string PathOf(const std::string& name) const { return (mFolder / name).string(); }

    // Runs the script on the named files of the folder.
    bool RunScript(std::initializer_list<const char*> names) const
    {
        std::string command = "python3 '" + PathOf("interop.py") + "'";
        for (const char* name : names)
            command += " '" + PathOf(name) + "'";
        return std::system(command.c_str()) == 0;
    }

    static CFType ReadBack(const std::string& path)
    {
        CFType out;
        std::string error;
        EXPECT_TRUE(PropertyListFile::Read(path, out, error)) << error;
        return out;
    }

    fs::path mFolder;
};
} // namespace

TEST_F(PlistlibInteropTest, OurFilesLoadInPlistlibWithTheSameValues)
{
    const CFType tree = PlistSamples::EveryKind();
    for (const PropertyListFormat format : {PropertyListFormat::XML, PropertyListFormat::Binary})
    {
        SCOPED_TRACE(format == PropertyListFormat::XML ? "XML" : "binary");
        std::string error;
        ASSERT_TRUE(PropertyListFile::Write(PathOf("ours.plist"), tree, format, error)) << error;
        ASSERT_TRUE(RunScript({"ours.plist", "xml.plist", "bin.plist"}));
        // plistlib wrote back what it loaded, in both forms: everything must have survived.
        EXPECT_EQ(ReadBack(PathOf("xml.plist")), tree);
        EXPECT_EQ(ReadBack(PathOf("bin.plist")), tree);
    }
}
