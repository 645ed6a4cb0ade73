// Peak resident memory of `send --capture` and `inspect --schedule` on
// generated update files, as a multiple of the file size, and of `pack` on a
// .syx file, as a multiple of the update file it writes. The goal is at most
// 3x everywhere: the schedule is one record stream about the size of the
// file, and neither the capture nor pack keeps an object per message.
//
//   bench_update_memory [MEGABYTES [SMALL_MEGABYTES [SYX_MEGABYTES]]]   (default 100 20 4)
//
// The cases: 100 MB of 200 to 4,000-byte messages; 100 MB of 250-byte
// messages; 20 MB of the smallest message there is, F0 F7; pack of 4 MB of
// F0 F7 messages.

#include "tests/support/SmfImageBuilder.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

using mirelo::test::Bytes;
using mirelo::test::CSmfImageBuilder;

// Format 1, a tempo track, then four tracks of SysEx messages of `smallest`
// to `largest` bytes, every one due at once so the run is not paced.
Bytes updateFile(std::uint64_t targetBytes, std::uint32_t smallest, std::uint32_t largest)
{
    std::mt19937 rng(7);
    std::uniform_int_distribution<std::uint32_t> size(smallest, largest);
    constexpr int kTracks = 4;
    CSmfImageBuilder builder(500);
    builder.track().tempo(0, 500000);
    for (int t = 0; t < kTracks; ++t) {
        builder.track();
        for (std::uint64_t written = 0; written < targetBytes / kTracks;) {
            Bytes message(size(rng), 0);
            message.front() = 0xF0;
            for (std::size_t i = 1; i + 1 < message.size(); ++i) {
                message[i] = static_cast<std::uint8_t>(rng() & 0x7F);
            }
            message.back() = 0xF7;
            builder.sysEx(0, message);
            // The delta time, the 0xF0 and the length field.
            written += message.size() + (message.size() > 128 ? 3 : 2);
        }
    }
    return builder.build();
}

void writeFile(const std::filesystem::path& path, const Bytes& bytes)
{
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Runs the command with standard output to /dev/null; its peak resident set
// in bytes, or -1 when it failed.
long long peakOf(const std::vector<std::string>& args)
{
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (std::freopen("/dev/null", "w", stdout) == nullptr || std::freopen("/dev/null", "w", stderr) == nullptr) {
            std::_Exit(126);
        }
        std::vector<char*> argv;
        for (const std::string& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        std::_Exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed (status %d)\n", args[1].c_str(), status);
        return -1;
    }
    return static_cast<long long>(usage.ru_maxrss) * 1024;
}

} // namespace

struct SRun {
    std::string name;
    std::vector<std::string> args;
    std::filesystem::path measuredAgainst; // the file the peak is a multiple of
};

int main(int argc, char** argv)
{
    const auto argument = [&](int i, std::uint64_t otherwise) {
        return argc > i ? std::strtoull(argv[i], nullptr, 10) : otherwise;
    };
    const std::uint64_t megabytes = argument(1, 100);
    const std::uint64_t smallMegabytes = argument(2, 20);
    const std::uint64_t syxMegabytes = argument(3, 4);
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("update-memory-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);

    // Each file is made and written, and its bytes let go, before any run:
    // a child starts with its parent's resident memory counted in its peak.
    const struct {
        const char* name;
        std::uint64_t megabytes;
        std::uint32_t smallest, largest;
    } files[] = {{"large", megabytes, 200, 4000}, {"250-byte", megabytes, 250, 250}, {"F0-F7", smallMegabytes, 2, 2}};
    for (const auto& f : files) {
        writeFile(dir / (std::string(f.name) + ".mid"), updateFile(f.megabytes * 1000 * 1000, f.smallest, f.largest));
    }
    {
        Bytes syx;
        for (std::uint64_t i = 0; i < syxMegabytes * 1000 * 1000 / 2; ++i) {
            syx.insert(syx.end(), {0xF0, 0xF7});
        }
        writeFile(dir / "small.syx", syx);
    }

    const std::string cli = MIRELO_CLI_PATH;
    // send keeps a record of each update: these go to the scratch folder.
    ::setenv("XDG_STATE_HOME", (dir / "state").c_str(), 1);
    std::vector<SRun> runs;
    for (const auto& f : files) {
        const std::filesystem::path file = dir / (std::string(f.name) + ".mid");
        const std::string what = std::string(f.name) + " messages";
        runs.push_back(
            {"send --capture, " + what, {cli, "send", file.string(), "--capture", (dir / "c.syx").string()}, file});
        runs.push_back({"inspect --schedule, " + what, {cli, "inspect", "--schedule", file.string()}, file});
    }
    runs.push_back({"pack of F0-F7 messages",
                    {cli, "pack", "--out", (dir / "packed.mid").string(), (dir / "small.syx").string()},
                    dir / "packed.mid"});

    bool met = true;
    for (const SRun& run : runs) {
        const long long peak = peakOf(run.args);
        const double size = static_cast<double>(std::filesystem::file_size(run.measuredAgainst));
        const double ratio = static_cast<double>(peak) / size;
        met = met && peak > 0 && ratio <= 3.0;
        std::printf("%-42s %7.1f MB file, peak %7.1f MB = %.2fx (goal <= 3x)\n", run.name.c_str(), size / 1e6,
                    static_cast<double>(peak) / 1e6, ratio);
    }
    std::printf("pack's input: %.1f MB of .syx\n",
                static_cast<double>(std::filesystem::file_size(dir / "small.syx")) / 1e6);
    std::filesystem::remove_all(dir);
    return met ? 0 : 1;
}
