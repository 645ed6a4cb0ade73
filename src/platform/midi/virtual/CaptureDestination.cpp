#include "platform/midi/virtual/CaptureDestination.h"
#include "platform/base/FileKind.h"

#include "platform/base/Clock.h"

#include <cerrno>
#include <cstring>
#include <span>
#include <tuple>
#include <vector>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mirelo::midi {
namespace {

constexpr std::uint64_t kNanosecondsPerMicrosecond = 1000;

std::string systemReason()
{
    return std::strerror(errno);
}

// As many links as the system follows itself before it gives up.
constexpr int kMostLinks = 40;

// The file a path names, through any symbolic links; none when it does not exist.
std::optional<std::pair<dev_t, ino_t>> identity(const std::filesystem::path& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return std::make_pair(info.st_dev, info.st_ino);
}

// Where writing to the path lands: through every symbolic link, a dangling
// one included, to a path that is not a link.
std::filesystem::path finalTarget(std::filesystem::path path)
{
    for (int hop = 0; hop < kMostLinks; ++hop) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            break;
        }
        std::error_code ec;
        const std::filesystem::path next = std::filesystem::read_symlink(path, ec);
        if (ec) {
            break;
        }
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    std::error_code ec;
    const std::filesystem::path canonical = std::filesystem::weakly_canonical(std::filesystem::absolute(path), ec);
    return ec ? path : canonical;
}

// Why the path cannot hold a capture, when something other than a regular
// file is there. Opening a FIFO to write would wait for a reader for ever.
std::optional<std::string> notAFile(const std::filesystem::path& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    return path.string() + " is " + mirelo::platform::fileKindOf(info.st_mode) +
           ", not a file a capture can be written to";
}

} // namespace

CaptureDestination::CaptureDestination(std::filesystem::path syxPath)
    : m_syxPath(std::move(syxPath)), m_csvPath(m_syxPath.string() + ".csv")
{
    m_backend.addDeliveringDestination(
        {"mirelo-updater-cli", kName, kName},
        [this](MIDIEndpointRef, const MIDIPacketList& list) { return receive(list); }, VirtualBackend::Announce::No);
}

CaptureDestination::~CaptureDestination()
{
    std::lock_guard lock(m_mutex);
    closeFiles();
}

std::optional<std::string> CaptureDestination::pathProblem(const std::filesystem::path& updateFile,
                                                           const std::filesystem::path& syxPath)
{
    const std::filesystem::path csvPath = syxPath.string() + ".csv";
    for (const std::filesystem::path* path : {&syxPath, &csvPath}) {
        if (auto problem = notAFile(*path)) {
            return problem;
        }
    }
    const auto input = identity(updateFile);
    const auto syx = identity(syxPath);
    const auto csv = identity(csvPath);
    if (input && syx == input) {
        return syxPath.string() + " is the update file itself; capturing there would overwrite it";
    }
    if (input && csv == input) {
        return csvPath.string() + " is the update file itself; capturing there would overwrite it";
    }
    // A link that dangles still names the file it would create.
    if ((syx && syx == csv) || finalTarget(syxPath) == finalTarget(csvPath)) {
        return syxPath.string() + " and " + csvPath.string() + " are one file; the capture needs two";
    }
    return std::nullopt;
}

CaptureDestination::OpenResult CaptureDestination::open(std::string& outError)
{
    std::lock_guard lock(m_mutex);
    // What this call created, to be removed again if it fails: a refused
    // capture leaves nothing behind.
    std::vector<std::filesystem::path> created;
    const auto fail = [&](OpenResult result) {
        closeFiles();
        for (const std::filesystem::path& path : created) {
            ::unlink(path.c_str());
        }
        return result;
    };
    for (auto [fd, path] : {std::pair{&m_syx, &m_syxPath}, std::pair{&m_csv, &m_csvPath}}) {
        // Never waits: a FIFO put in the file's place since it was checked
        // fails to open instead of blocking until someone reads it.
        constexpr int kFlags = O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
        *fd = ::open(path->c_str(), kFlags);
        if (*fd < 0 && errno == ENOENT) {
            const std::filesystem::path target = finalTarget(*path);
            *fd = ::open(path->c_str(), kFlags | O_CREAT, 0666);
            if (*fd >= 0) {
                created.push_back(target);
            }
        }
        if (*fd < 0) {
            outError = "cannot create " + path->string() + " (" + systemReason() + ")";
            return fail(OpenResult::kFailed);
        }
        struct stat info {};
        if (::fstat(*fd, &info) != 0 || !S_ISREG(info.st_mode)) {
            outError = path->string() + " is " + mirelo::platform::fileKindOf(info.st_mode) +
                       ", not a file a capture can be written to";
            return fail(OpenResult::kFailed);
        }
        static_cast<void>(::fcntl(*fd, F_SETFL, ::fcntl(*fd, F_GETFL) & ~O_NONBLOCK));
        if (::flock(*fd, LOCK_EX | LOCK_NB) != 0) {
            const bool busy = errno == EWOULDBLOCK;
            outError = busy ? path->string() + " is being written by another capture; wait for it to end or "
                                               "choose another file"
                            : "cannot lock " + path->string() + " (" + systemReason() + ")";
            if (busy && !created.empty() && created.back() == finalTarget(*path)) {
                created.pop_back(); // another capture holds it now: it is theirs
            }
            return fail(busy ? OpenResult::kInUse : OpenResult::kFailed);
        }
    }
    // Emptied only once both are ours: a second capture must not wipe the
    // files of the one that holds them.
    if (!empty(outError)) {
        return fail(OpenResult::kFailed);
    }
    return OpenResult::kOk;
}

bool CaptureDestination::restart(std::string& outError)
{
    std::lock_guard lock(m_mutex);
    if (m_syx < 0 || m_csv < 0) {
        outError = "the capture " + m_syxPath.string() + " is not open";
        return false;
    }
    return empty(outError);
}

bool CaptureDestination::empty(std::string& outError)
{
    for (auto [fd, path] : {std::pair{m_syx, &m_syxPath}, std::pair{m_csv, &m_csvPath}}) {
        if (::ftruncate(fd, 0) != 0 || ::lseek(fd, 0, SEEK_SET) != 0) {
            outError = "cannot empty " + path->string() + " (" + systemReason() + ")";
            return false;
        }
    }
    m_failure.reset();
    m_count = 0;
    m_firstStamp = 0;
    static constexpr char kHead[] = "index,sent_us,bytes\n";
    if (!writeAll(m_csv, kHead, sizeof kHead - 1, m_csvPath)) {
        outError = *m_failure;
        return false;
    }
    m_syxBytes = 0;
    m_csvBytes = sizeof kHead - 1;
    return true;
}

bool CaptureDestination::writeAll(int fd, const void* data, std::size_t size, const std::filesystem::path& path)
{
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            m_failure = "writing " + path.string() + " failed (" + (n < 0 ? systemReason() : "nothing written") + ")";
            return false;
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

OSStatus CaptureDestination::receive(const MIDIPacketList& list)
{
    std::lock_guard lock(m_mutex);
    if (m_failure || m_syx < 0) {
        return kWriteFailed;
    }
    std::uint64_t size = 0;
    // An empty message has no packet to carry a time: it arrived now.
    const std::uint64_t stamp = list.numPackets > 0 ? list.packet[0].timeStamp : AudioGetCurrentHostTime();
    // A message that fails half-written is taken back out: the files hold
    // exactly the messages that were sent.
    // If that fails too, the report must say the files hold a partial message.
    const auto failed = [this] {
        for (auto [fd, bytes, path] :
             {std::tuple{m_syx, m_syxBytes, &m_syxPath}, std::tuple{m_csv, m_csvBytes, &m_csvPath}}) {
            if (::ftruncate(fd, static_cast<off_t>(bytes)) != 0) {
                m_failure = m_failure.value_or("writing the capture failed") + "; " + path->string() +
                            " keeps a partial message (cannot shorten it: " + systemReason() + ")";
            }
        }
        return kWriteFailed;
    };
    for (const MIDIPacket& packet : packetsOf(list)) {
        const std::span<const Byte> bytes = packetBytes(packet);
        if (!writeAll(m_syx, bytes.data(), bytes.size(), m_syxPath)) {
            return failed();
        }
        size += bytes.size();
    }
    if (m_count == 0) {
        m_firstStamp = stamp;
    }
    const std::uint64_t zero = m_start != nullptr && m_start->load(std::memory_order_acquire) != 0
                                   ? m_start->load(std::memory_order_acquire)
                                   : m_firstStamp;
    const std::string row = std::to_string(m_count) + ',' +
                            std::to_string(stamp >= zero ? (stamp - zero) / kNanosecondsPerMicrosecond : 0) + ',' +
                            std::to_string(size) + '\n';
    if (!writeAll(m_csv, row.data(), row.size(), m_csvPath)) {
        return failed();
    }
    // A file removed under us takes every later write with it, unnoticed.
    for (auto [fd, path] : {std::pair{m_syx, &m_syxPath}, std::pair{m_csv, &m_csvPath}}) {
        struct stat info {};
        if (::fstat(fd, &info) != 0 || info.st_nlink == 0) {
            m_failure = path->string() + " was removed while the capture was written";
            return failed();
        }
    }
    m_syxBytes += size;
    m_csvBytes += row.size();
    ++m_count;
    return noErr;
}

void CaptureDestination::closeFiles()
{
    for (int* fd : {&m_syx, &m_csv}) {
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    }
}

bool CaptureDestination::finish(std::string& outError)
{
    std::lock_guard lock(m_mutex);
    bool closed = true;
    for (auto [fd, path] : {std::pair{&m_syx, &m_syxPath}, std::pair{&m_csv, &m_csvPath}}) {
        if (*fd >= 0 && ::close(*fd) != 0 && !m_failure) {
            m_failure = "writing " + path->string() + " failed (" + systemReason() + ")";
            closed = false;
        }
        *fd = -1;
    }
    if (m_failure) {
        outError = *m_failure;
        return false;
    }
    return closed;
}

std::optional<std::string> CaptureDestination::failure() const
{
    std::lock_guard lock(m_mutex);
    return m_failure;
}

} // namespace mirelo::midi
