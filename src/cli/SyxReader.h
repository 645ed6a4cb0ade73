#pragma once
// Reads SysEx messages from a .syx image: every complete F0 ... F7 message,
// in order. Anything else refuses the whole input, with the offset of the
// first byte that is wrong, so a damaged firmware image never turns into an
// update file.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

class CSyxReader {
public:
    // Longest message an update file can carry and the MIDI manager can send.
    static constexpr std::size_t kMaxMessageSize = 0xFFFF;

    struct SMessage {
        std::size_t offset; // of its 0xF0 in the input
        std::vector<std::uint8_t> bytes; // 0xF0 through 0xF7
    };

    struct SError {
        // Of the offending byte, or of the end of the input; none when the
        // error is about the file as a whole (it cannot be read).
        std::optional<std::size_t> offset;
        std::string what;
    };

    // Never reads outside [pData, pData + inSize). pData may be null when
    // inSize is 0.
    [[nodiscard]] bool parse(const std::uint8_t* pData, std::size_t inSize);
    // Reads the whole file, then parses it.
    [[nodiscard]] bool readFile(const std::filesystem::path& path);

    const std::vector<SMessage>& messages() const { return m_messages; }
    const std::optional<SError>& error() const { return m_error; }
    // "FILE: offset N (0xN): what" (or "FILE: what"), for the user.
    std::string describeError(const std::string& fileName) const;

private:
    bool fail(std::optional<std::size_t> offset, std::string what);

    std::vector<SMessage> m_messages;
    std::optional<SError> m_error;
};
