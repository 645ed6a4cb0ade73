#pragma once
// Writes a whole file so that whoever reads it sees the old contents or the
// new ones, never half: a temporary file made beside the target, renamed over
// it once written. A symbolic link is followed and its target written (the
// link stays); an existing target keeps its mode, less a setuid or setgid bit,
// and its owner and group where the process may set them; anything but a
// regular file, or a file the new contents are made from, is refused rather
// than replaced.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

class CFileReplacer {
public:
    // False with a reason when the target may not be replaced or a step failed;
    // the target is then as it was. inSources are the files the bytes were
    // made from: the target may be none of them, through any link.
    [[nodiscard]] static bool write(const std::filesystem::path& inTarget,
                                    const std::vector<std::filesystem::path>& inSources,
                                    const std::vector<std::uint8_t>& inBytes, std::string& outError);
};
