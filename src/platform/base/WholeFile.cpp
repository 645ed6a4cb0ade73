#include "platform/base/WholeFile.h"

#include "platform/base/FileDescriptor.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace mirelo::platform {

namespace {

std::string sizeText(std::uint64_t bytes)
{
    return bytes % (1u << 20) == 0 ? std::to_string(bytes >> 20) + " MiB" : std::to_string(bytes) + " bytes";
}

FileRead systemError()
{
    return {FileReadOutcome::kSystemError, std::strerror(errno)};
}

FileRead readInto(int fd, std::vector<std::uint8_t>& outBytes, std::uint64_t inLimit)
{
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        return systemError();
    }
    if (S_ISREG(info.st_mode)) {
        if (static_cast<std::uint64_t>(info.st_size) > inLimit) {
            return {FileReadOutcome::kTooLarge, "the file holds " + std::to_string(info.st_size) +
                                                    " bytes, more than the " + sizeText(inLimit) +
                                                    " the updater reads"};
        }
        // The size is only a hint: a growing file reports another one.
        outBytes.reserve(static_cast<std::size_t>(info.st_size));
    }
    std::uint8_t block[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, block, sizeof block);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return systemError();
        }
        if (n == 0) {
            return {};
        }
        if (outBytes.size() + static_cast<std::uint64_t>(n) > inLimit) {
            outBytes.clear();
            outBytes.shrink_to_fit();
            return {FileReadOutcome::kTooLarge, "more than the " + sizeText(inLimit) + " the updater reads"};
        }
        outBytes.insert(outBytes.end(), block, block + n);
    }
}

} // namespace

FileRead readWholeFile(const std::filesystem::path& inPath, std::vector<std::uint8_t>& outBytes, std::uint64_t inLimit)
{
    outBytes.clear();
    const FileDescriptor fd(::open(inPath.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        return systemError();
    }
    try {
        return readInto(fd.get(), outBytes, inLimit);
    } catch (const std::bad_alloc&) {
        outBytes.clear();
        outBytes.shrink_to_fit();
        return {FileReadOutcome::kOutOfMemory, "out of memory while reading it"};
    }
}

} // namespace mirelo::platform
