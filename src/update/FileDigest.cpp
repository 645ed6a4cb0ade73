#include "update/FileDigest.h"

#include "platform/base/FileDescriptor.h"

#include <openssl/evp.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t kReadChunk = 1 << 16;

using DigestContext = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

std::string hex(const unsigned char* bytes, unsigned length)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(std::size_t{length} * 2);
    for (unsigned i = 0; i < length; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0F];
    }
    return text;
}

DigestContext startSha256()
{
    DigestContext context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (context && EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) {
        context.reset();
    }
    return context;
}

std::optional<std::string> finish(EVP_MD_CTX* context)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned length = 0;
    if (EVP_DigestFinal_ex(context, digest, &length) != 1) {
        return std::nullopt;
    }
    return hex(digest, length);
}

} // namespace

std::optional<std::string> CFileDigest::sha256(const std::filesystem::path& file, std::string& problem)
{
    const mirelo::platform::FileDescriptor descriptor(
        ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    const int fd = descriptor.get();
    if (fd < 0) {
        problem = file.string() + ": " + std::strerror(errno);
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        problem = file.string() + ": not a regular file";
        return std::nullopt;
    }
    DigestContext context = startSha256();
    if (!context) {
        problem = "SHA-256 is not available";
        return std::nullopt;
    }
    std::vector<unsigned char> chunk(kReadChunk);
    for (;;) {
        const ssize_t got = ::read(fd, chunk.data(), chunk.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            problem = file.string() + ": " + std::strerror(errno);
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        if (EVP_DigestUpdate(context.get(), chunk.data(), static_cast<std::size_t>(got)) != 1) {
            problem = "SHA-256 failed";
            return std::nullopt;
        }
    }
    std::optional<std::string> digest = finish(context.get());
    if (!digest) {
        problem = "SHA-256 failed";
    }
    return digest;
}

std::string CFileDigest::sha256(const std::uint8_t* data, std::size_t length)
{
    DigestContext context = startSha256();
    if (!context || EVP_DigestUpdate(context.get(), data, length) != 1) {
        return {};
    }
    return finish(context.get()).value_or(std::string());
}
