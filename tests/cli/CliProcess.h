#pragma once
// Runs mirelo-updater-cli as a child process with a chosen environment and
// collects its exit status, standard output and standard error; started and
// waited for separately when a test acts while it runs (a signal, a second
// run).

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

struct SCliResult {
    int status = -1; // exit status, or -1 when it did not exit normally
    std::string out;
    std::string err;
};

// A fresh directory, removed with everything in it on destruction.
class CScratchDirectory {
public:
    CScratchDirectory();
    ~CScratchDirectory();
    CScratchDirectory(const CScratchDirectory&) = delete;
    CScratchDirectory& operator=(const CScratchDirectory&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

struct SCliOptions {
    // The program to run; mirelo-updater-cli when not given.
    std::optional<std::string> program;
    // Runs the child under this address-space limit (prlimit --as), so
    // running out of memory can be staged.
    std::optional<std::uint64_t> addressSpaceBytes;
    // Files the child may not grow past (prlimit --fsize).
    std::optional<std::uint64_t> fileSizeBytes;
    // Standard output goes to this file (/dev/full, say) instead of being collected.
    std::optional<std::string> standardOutput;
    // Standard output and error go into a pipe nobody reads any more, as
    // with `| head -1` once head has its line.
    bool closedPipe = false;
};

class CCliProcess {
public:
    // Variables to set (a value) or remove (nullopt) for the child.
    using Environment = std::map<std::string, std::optional<std::string>>;

    CCliProcess(const std::vector<std::string>& args, const Environment& environment = {},
                const SCliOptions& options = {});
    ~CCliProcess();
    CCliProcess(const CCliProcess&) = delete;
    CCliProcess& operator=(const CCliProcess&) = delete;

    pid_t pid() const { return m_pid; }
    // What the child has written to standard error so far.
    std::string errorSoFar() const;
    // Waits for the child's end; call once.
    SCliResult wait();

    static SCliResult run(const std::vector<std::string>& args, const Environment& environment = {},
                          const SCliOptions& options = {});

private:
    CScratchDirectory m_outputs;
    std::string m_outPath;
    std::string m_errPath;
    pid_t m_pid = -1;
    bool m_waited = false;
    bool m_collectOutput = true; // not when it went to a file of the test's choosing
};
