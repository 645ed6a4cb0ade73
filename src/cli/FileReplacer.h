#pragma once
// Writes a whole file so that whoever reads it sees the old contents or the
// new ones, never half: a temporary file made beside the target, renamed over
// it once written. A symbolic link is followed and its target written (the
// link stays); an existing target keeps its mode; anything but a regular file
// is refused rather than replaced.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

class CFileReplacer {
public:
    // False with a reason when the target may not be replaced or a step failed;
    // the target is then as it was.
    [[nodiscard]] static bool write(const std::filesystem::path& inTarget, const std::vector<std::uint8_t>& inBytes,
                                    std::string& outError);
};
