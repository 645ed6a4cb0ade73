// Peak resident memory of `send --capture` and `inspect --schedule` on a
// generated SysEx-heavy update file of about 100 MB, as a multiple of the file
// size. The goal is at most 3x: the schedule is built once, the parsed
// payloads go as they are copied, and the capture keeps no second copy.
//
//   bench_update_memory [MEGABYTES]      (default 100)

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

// Format 1, a tempo track, then four tracks of SysEx messages of 200 to 4,000
// bytes, every one due at once so the run is not paced.
Bytes updateFile(std::uint64_t targetBytes)
{
    std::mt19937 rng(7);
    std::uniform_int_distribution<std::uint32_t> size(200, 4000);
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
            written += message.size() + 3; // with the delta time and the two-byte length
        }
    }
    return builder.build();
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

int main(int argc, char** argv)
{
    const std::uint64_t megabytes = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 100;
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("update-memory-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::filesystem::path file = dir / "update.mid";
    const Bytes image = updateFile(megabytes * 1000 * 1000);
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(image.data()),
                                                static_cast<std::streamsize>(image.size()));
    const double size = static_cast<double>(image.size());

    const std::string cli = MIRELO_CLI_PATH;
    const struct {
        const char* name;
        std::vector<std::string> args;
    } runs[] = {
        {"send --capture", {cli, "send", file.string(), "--capture", (dir / "capture.syx").string()}},
        {"inspect --schedule", {cli, "inspect", "--schedule", file.string()}},
    };
    bool met = true;
    std::printf("update file: %.1f MB\n", size / 1e6);
    for (const auto& run : runs) {
        const long long peak = peakOf(run.args);
        const double ratio = static_cast<double>(peak) / size;
        met = met && peak > 0 && ratio <= 3.0;
        std::printf("%-20s peak %.1f MB = %.2fx the file (goal <= 3x)\n", run.name, static_cast<double>(peak) / 1e6,
                    ratio);
    }
    std::filesystem::remove_all(dir);
    return met ? 0 : 1;
}
