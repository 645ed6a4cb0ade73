#pragma once
// Reads a whole file into memory, with a bound: an update file is a few
// hundred kilobytes, and a name that points at /dev/zero or a FIFO that never
// ends must not fill the memory before anything is checked.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace mirelo::platform {

inline constexpr std::uint64_t kWholeFileLimit = std::uint64_t{256} << 20;

enum class FileReadOutcome {
    kOk,
    kSystemError, // the system's reason, as strerror gives it
    kTooLarge,    // past the limit: refused before reading when the size is known
    kOutOfMemory
};

struct FileRead {
    FileReadOutcome result = FileReadOutcome::kOk;
    std::string reason; // empty on kOk

    bool ok() const { return result == FileReadOutcome::kOk; }
};

[[nodiscard]] FileRead readWholeFile(const std::filesystem::path& inPath, std::vector<std::uint8_t>& outBytes,
                                     std::uint64_t inLimit = kWholeFileLimit);

} // namespace mirelo::platform
