#include "platform/cf/PropertyListFile.h"

#include "platform/cf/BinaryPropertyList.h"
#include "platform/cf/XMLPropertyList.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{
std::string Quoted(const std::string& path)
{
    return "'" + path + "'";
}

std::string SystemError(const std::string& what, const std::string& path)
{
    return what + " " + Quoted(path) + ": " + std::strerror(errno);
}

// Closes on every way out.
class FileDescriptor
{
public:
    explicit FileDescriptor(int fd) : mFd(fd) {}
    ~FileDescriptor()
    {
        if (mFd >= 0) ::close(mFd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int Get() const { return mFd; }
    bool Close() // reports the errors a close can still find (delayed write failures)
    {
        const int fd = mFd;
        mFd = -1;
        return ::close(fd) == 0;
    }

private:
    int mFd;
};

bool WriteAll(int fd, const std::uint8_t* bytes, std::size_t size)
{
    while (size > 0)
    {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// The file a path finally names: writing through a symbolic link replaces the file it
// points to and keeps the link.
std::string ResolveLink(const std::string& path)
{
    struct stat info
    {
    };
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A new file beside target, named after it and unique within this process and others.
int CreateTemporary(const std::string& target, std::string& name)
{
    static std::atomic<unsigned> sCounter{0};
    const std::string folder = FolderOf(target);
    const std::string base = target.substr(target.rfind('/') + 1);
    for (int attempt = 0; attempt < 100; ++attempt)
    {
        name = folder + "/." + base + ".tmp-" + std::to_string(::getpid()) + "-" +
               std::to_string(sCounter++);
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

bool ReplaceFile(const std::string& path, const std::vector<std::uint8_t>& bytes,
                 std::string& error)
{
    const std::string target = ResolveLink(path);
    std::string temporary;
    FileDescriptor file(CreateTemporary(target, temporary));
    if (file.Get() < 0)
    {
        error = SystemError("cannot create a temporary file for", path);
        return false;
    }
    // The new file keeps the permissions of the one it replaces.
    struct stat old
    {
    };
    const bool replacing = ::stat(target.c_str(), &old) == 0;
    const bool ok = (!replacing || ::fchmod(file.Get(), old.st_mode & 07777) == 0) &&
                    WriteAll(file.Get(), bytes.data(), bytes.size()) && ::fsync(file.Get()) == 0 &&
                    file.Close() && ::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok)
    {
        error = SystemError("cannot write", path);
        ::unlink(temporary.c_str());
        return false;
    }
    // Makes the rename itself durable; some file systems cannot sync a folder, which
    // leaves the file written but the rename possibly unsynced: not worth failing for.
    FileDescriptor folder(::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.Get() >= 0) ::fsync(folder.Get());
    return true;
}
} // namespace

bool PropertyListFile::Decode(const std::uint8_t* bytes, std::size_t size, CFType& out,
                              std::string& error)
{
    constexpr char kBinaryMagic[] = "bplist";
    if (size >= 6 && std::memcmp(bytes, kBinaryMagic, 6) == 0)
        return BinaryPropertyList::Read(bytes, size, out, error);
    return XMLPropertyList::Read(bytes, size, out, error);
}

bool PropertyListFile::Read(const std::string& path, CFType& out, std::string& error)
{
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info
    {
    };
    if (file.Get() < 0 || ::fstat(file.Get(), &info) != 0)
    {
        error = SystemError("cannot open", path);
        return false;
    }
    if (!S_ISREG(info.st_mode))
    {
        error = "cannot read " + Quoted(path) + ": not a regular file";
        return false;
    }
    const auto size = static_cast<std::size_t>(info.st_size);
    if (size > kMaxFileSize)
    {
        error = "cannot read " + Quoted(path) + ": file too large for a property list";
        return false;
    }
    const auto bytes = std::make_unique_for_overwrite<std::uint8_t[]>(size);
    std::size_t done = 0;
    while (done < size)
    {
        const ssize_t got = ::read(file.Get(), bytes.get() + done, size - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0)
        {
            error = SystemError("cannot read", path);
            return false;
        }
        if (got == 0)
        {
            error = "cannot read " + Quoted(path) + ": the file shrank while being read";
            return false;
        }
        done += static_cast<std::size_t>(got);
    }
    std::string cause;
    if (!Decode(bytes.get(), size, out, cause))
    {
        error = Quoted(path) + " is not a valid property list: " + cause;
        return false;
    }
    return true;
}

bool PropertyListFile::Write(const std::string& path, const CFType& value,
                             PropertyListFormat format, std::string& error)
{
    std::vector<std::uint8_t> bytes;
    if (format == PropertyListFormat::Binary)
    {
        bytes = BinaryPropertyList::Write(value);
    }
    else
    {
        std::string cause;
        if (!XMLPropertyList::Write(value, bytes, cause))
        {
            error = "cannot write " + Quoted(path) + ": " + cause;
            return false;
        }
    }
    return ReplaceFile(path, bytes, error);
}
