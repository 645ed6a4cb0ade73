#include "update/UpdateRecordLog.h"

#include "platform/base/FileDescriptor.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t kReadChunk = 1 << 16;

std::string reasonOf(int error)
{
    return std::strerror(error);
}

std::optional<std::filesystem::path> homeFolder()
{
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
        return std::filesystem::path(home);
    }
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr && found->pw_dir[0] == '/') {
        return std::filesystem::path(found->pw_dir);
    }
    return std::nullopt;
}

// Makes every missing folder of `folder`, each private to the user.
bool makeFolders(const std::filesystem::path& folder, std::string& problem)
{
    std::filesystem::path made;
    for (const std::filesystem::path& part : folder) {
        made /= part;
        if (::mkdir(made.c_str(), 0700) == 0) {
            continue;
        }
        const int error = errno;
        struct stat info {};
        if (::stat(made.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
            continue;
        }
        problem = error == EEXIST ? made.string() + " is not a folder"
                                  : "cannot make the folder " + made.string() + ": " + reasonOf(error);
        return false;
    }
    return true;
}

// Opens an existing file for reading, or (append) for appending, creating it;
// refuses anything but a regular file, which includes never waiting on a FIFO.
int openRegular(const std::filesystem::path& file, bool append, std::string& problem, int& error)
{
    const int flags = append ? O_RDWR | O_APPEND | O_CREAT : O_RDONLY;
    const int fd = ::open(file.c_str(), flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0600);
    if (fd < 0) {
        error = errno;
        problem = "cannot open " + file.string() + ": " + reasonOf(error);
        return -1;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        error = EINVAL;
        problem = file.string() + " is not a regular file";
        return -1;
    }
    return fd;
}

} // namespace

std::optional<std::filesystem::path> CUpdateRecordLog::defaultPath()
{
    std::filesystem::path state;
    if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg != nullptr && xdg[0] == '/') {
        state = xdg;
    } else if (const std::optional<std::filesystem::path> home = homeFolder()) {
        state = *home / ".local" / "state";
    } else {
        return std::nullopt;
    }
    return state / kFolderName / kFileName;
}

bool CUpdateRecordLog::append(const std::filesystem::path& file, const SUpdateRecord& record, std::string& problem)
{
    try {
        // A name that is not UTF-8 (a device's, a path's) becomes U+FFFD: the line stays JSON.
        std::string line =
            record.toJson().dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + '\n';
        if (!makeFolders(file.parent_path(), problem)) {
            return false;
        }
        int error = 0;
        const mirelo::platform::FileDescriptor fd(openRegular(file, true, problem, error));
        if (fd.get() < 0) {
            return false;
        }
        // A line that a run which died mid-write left unfinished must not swallow this one.
        struct stat info {};
        char last = '\n';
        if (::fstat(fd.get(), &info) == 0 && info.st_size > 0 && ::pread(fd.get(), &last, 1, info.st_size - 1) == 1 &&
            last != '\n') {
            line.insert(line.begin(), '\n');
        }
        ssize_t written = -1;
        do {
            written = ::write(fd.get(), line.data(), line.size());
        } while (written < 0 && errno == EINTR);
        if (written == static_cast<ssize_t>(line.size())) {
            return true;
        }
        const int writeError = written < 0 ? errno : ENOSPC;
        problem = "cannot write to " + file.string() + ": " + reasonOf(writeError);
        if (written > 0) {
            // Take the part back, unless another run appended after it meanwhile.
            const off_t end = ::lseek(fd.get(), 0, SEEK_CUR);
            if (end >= written && ::fstat(fd.get(), &info) == 0 && info.st_size == end &&
                ::ftruncate(fd.get(), end - written) != 0) {
                problem += "; the part written stays at its end (" + reasonOf(errno) + ")";
            }
        }
        return false;
    } catch (const std::exception& e) {
        problem = std::string("cannot write the record: ") + e.what();
        return false;
    }
}

CUpdateRecordLog::SContents CUpdateRecordLog::read(const std::filesystem::path& file, std::size_t last)
{
    SContents contents;
    int error = 0;
    const mirelo::platform::FileDescriptor fd(openRegular(file, false, contents.problem, error));
    if (fd.get() < 0) {
        contents.state = error == ENOENT ? SContents::EState::kMissing : SContents::EState::kUnreadable;
        return contents;
    }
    std::deque<SEntry> kept;
    std::size_t lineNumber = 0;
    std::string line;
    bool overlong = false;
    const auto finishLine = [&] {
        ++lineNumber;
        if (!overlong && !line.empty()) {
            nlohmann::ordered_json json = nlohmann::ordered_json::parse(line, nullptr, false);
            if (std::optional<SUpdateRecord> record = SUpdateRecord::fromJson(json)) {
                ++contents.records;
                kept.push_back({lineNumber, std::move(json), std::move(*record)});
                if (last != 0 && kept.size() > last) {
                    kept.pop_front();
                }
            } else {
                contents.skipped.push_back(lineNumber);
            }
        } else if (overlong) {
            contents.skipped.push_back(lineNumber);
        }
        line.clear();
        overlong = false;
    };
    std::vector<char> chunk(kReadChunk);
    for (;;) {
        const ssize_t got = ::read(fd.get(), chunk.data(), chunk.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            contents.state = SContents::EState::kUnreadable;
            contents.problem = "cannot read " + file.string() + ": " + reasonOf(errno);
            return contents;
        }
        if (got == 0) {
            break;
        }
        for (ssize_t i = 0; i < got; ++i) {
            const char c = chunk[static_cast<std::size_t>(i)];
            if (c == '\n') {
                finishLine();
            } else if (!overlong) {
                line.push_back(c);
                if (line.size() > kMaxLineBytes) {
                    overlong = true;
                    line.clear();
                }
            }
        }
    }
    if (!line.empty() || overlong) {
        finishLine();
    }
    contents.entries.assign(std::make_move_iterator(kept.begin()), std::make_move_iterator(kept.end()));
    return contents;
}
