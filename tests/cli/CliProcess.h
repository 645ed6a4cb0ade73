#pragma once
// Runs mirelo-updater-cli as a child process with a chosen environment and
// collects its exit status, standard output and standard error.

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

struct SCliResult {
    int status = -1; // exit status, or -1 when it did not exit normally
    std::string out;
    std::string err;
};

class CCliProcess {
public:
    // Variables to set (a value) or remove (nullopt) for the child.
    using Environment = std::map<std::string, std::optional<std::string>>;

    // With addressSpaceBytes the child runs under that address-space limit
    // (prlimit --as), so running out of memory can be staged.
    static SCliResult run(const std::vector<std::string>& args, const Environment& environment = {},
                          std::optional<std::uint64_t> addressSpaceBytes = std::nullopt);
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
