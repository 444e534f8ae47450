#pragma once
// A fresh folder used as $XDG_CONFIG_HOME while it lives; removed with its contents after.

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

class TemporaryConfigHome
{
public:
    TemporaryConfigHome()
    {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tova-config-XXXXXX").string();
        mPath = ::mkdtemp(pattern.data());
        if (const char* old = std::getenv("XDG_CONFIG_HOME")) mOld = old;
        ::setenv("XDG_CONFIG_HOME", mPath.c_str(), 1);
    }
    ~TemporaryConfigHome()
    {
        mOld ? ::setenv("XDG_CONFIG_HOME", mOld->c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME");
        std::error_code ignored;
        std::filesystem::remove_all(mPath, ignored);
    }
    TemporaryConfigHome(const TemporaryConfigHome&) = delete;
    TemporaryConfigHome& operator=(const TemporaryConfigHome&) = delete;
    const std::string& Path() const { return mPath; }

private:
    std::string mPath;
    std::optional<std::string> mOld;
};
