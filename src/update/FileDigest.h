#pragma once
// The SHA-256 of a file, read a piece at a time (an update file may be large),
// so that the record of an update names exactly which bytes were sent.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

class CFileDigest {
public:
    // Lower-case hex; nothing, with the reason in `problem`, when the file
    // cannot be read or is not a regular file.
    static std::optional<std::string> sha256(const std::filesystem::path& file, std::string& problem);
    static std::string sha256(const std::uint8_t* data, std::size_t length);
};
