#include "cli/FileReplacer.h"
#include "platform/base/FileKind.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// As many links as the system follows itself before it gives up.
constexpr int kMostLinks = 40;

std::string systemReason()
{
    return std::strerror(errno);
}

// The file the path finally names, through every symbolic link.
bool followLinks(std::filesystem::path path, std::filesystem::path& outPath, std::string& outError)
{
    for (int hop = 0; hop <= kMostLinks; ++hop) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            outPath = path;
            return true;
        }
        std::error_code ec;
        const std::filesystem::path next = std::filesystem::read_symlink(path, ec);
        if (ec) {
            outError = "cannot read the link " + path.string() + " (" + ec.message() + ")";
            return false;
        }
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    outError = path.string() + ": too many levels of symbolic links";
    return false;
}

mode_t currentUmask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

bool writeAll(int fd, const std::vector<std::uint8_t>& bytes)
{
    const std::uint8_t* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = EIO;
            }
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

bool CFileReplacer::write(const std::filesystem::path& inTarget, const std::vector<std::filesystem::path>& inSources,
                          const std::vector<std::uint8_t>& inBytes, std::string& outError)
{
    std::filesystem::path target;
    if (!followLinks(inTarget, target, outError)) {
        return false;
    }
    mode_t mode = 0666 & ~currentUmask();
    struct stat info {};
    if (::stat(target.c_str(), &info) == 0) {
        if (!S_ISREG(info.st_mode)) {
            outError = inTarget.string() + " is " + mirelo::platform::fileKindOf(info.st_mode) +
                       ", not a file an update can replace";
            return false;
        }
        for (const std::filesystem::path& source : inSources) {
            struct stat read {};
            if (::stat(source.c_str(), &read) == 0 && read.st_dev == info.st_dev && read.st_ino == info.st_ino) {
                outError = inTarget.string() + " is the input " + source.string() +
                           "; writing the update file there would replace what it is made from";
                return false;
            }
        }
        // A program's set-user or set-group bit must not pass to a file of
        // other contents.
        mode = info.st_mode & 07777 & ~static_cast<mode_t>(S_ISUID | S_ISGID);
    }
    const bool existed = S_ISREG(info.st_mode);

    // A short name of our own, so that a target name at the system's limit
    // still leaves room for it.
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    std::string temporary = (folder / ".mirelo-XXXXXX").string();
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        outError = "cannot create a file in " + folder.string() + " (" + systemReason() + ")";
        return false;
    }
    if (existed && ::fchown(fd, info.st_uid, info.st_gid) != 0) {
        // Another owner is for root to give; the group, for a member of it.
        static_cast<void>(::fchown(fd, static_cast<uid_t>(-1), info.st_gid));
    }
    const bool written = writeAll(fd, inBytes) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    const std::string reason = written ? std::string() : systemReason();
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(temporary.c_str(), target.c_str()) != 0) {
        outError = "cannot write " + inTarget.string() + " (" + (written ? systemReason() : reason) + ")";
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}
