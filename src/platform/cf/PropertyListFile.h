#pragma once
// Property-list files for presets and preferences.  Read takes either form and tells them
// apart by content; Write replaces a file atomically (temporary file in the same folder,
// fsync, rename, fsync of the folder), so a crash leaves the old file or the new one, never
// a half-written one.  Error texts name the file and the cause, ready to show to a user.
// Not for the render thread: these block on the file system.

#include "platform/cf/CFType.h"

#include <cstddef>
#include <cstdint>
#include <string>

enum class PropertyListFormat
{
    XML,
    Binary
};

class PropertyListFile
{
public:
    // Larger files are refused before anything is read; a preset's audio is at most 40 MB.
    static constexpr std::size_t kMaxFileSize = std::size_t{1} << 30;

    // Replaces out only on success.
    static bool Read(const std::string& path, CFType& out, std::string& error);
    static bool Write(const std::string& path, const CFType& value, PropertyListFormat format,
                      std::string& error);

    // Either form from memory, told apart by content as Read does.
    static bool Decode(const std::uint8_t* bytes, std::size_t size, CFType& out,
                       std::string& error);
};
