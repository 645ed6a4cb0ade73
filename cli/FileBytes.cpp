#include "FileBytes.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class CFileDescriptor {
public:
    explicit CFileDescriptor(int inFd) : m_fd(inFd) {}
    ~CFileDescriptor()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    CFileDescriptor(const CFileDescriptor&) = delete;
    CFileDescriptor& operator=(const CFileDescriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

} // namespace

bool readWholeFile(const std::string& inPath, std::vector<uint8_t>& outBytes, std::string& outError)
{
    const CFileDescriptor fd(::open(inPath.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        outError = std::strerror(errno);
        return false;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        outError = std::strerror(errno);
        return false;
    }
    outBytes.clear();
    // The size is only a hint: pipes and growing files report another one.
    if (S_ISREG(info.st_mode) && info.st_size > 0) {
        outBytes.reserve(static_cast<size_t>(info.st_size));
    }
    uint8_t block[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd.get(), block, sizeof(block));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            outError = std::strerror(errno);
            return false;
        }
        if (n == 0) {
            return true;
        }
        outBytes.insert(outBytes.end(), block, block + n);
    }
}
