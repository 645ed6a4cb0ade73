#pragma once
// Reads SysEx messages from a .syx image: every complete F0 ... F7 message,
// in order. Anything else refuses the whole input, with the offset of the
// first byte that is wrong, so a damaged firmware image never turns into an
// update file. The accepted bytes are kept as they are, one run of messages.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/SysExRun.h"

class CSyxReader {
public:
    // Longest message an update file can carry and the MIDI manager can send.
    static constexpr std::size_t kMaxMessageSize = 0xFFFF;

    struct SError {
        // Of the offending byte, or of the end of the input; none when the
        // error is about the file as a whole (it cannot be read).
        std::optional<std::size_t> offset;
        std::string what;
    };

    // Never reads outside [pData, pData + inSize). pData may be null when
    // inSize is 0.
    [[nodiscard]] bool parse(const std::uint8_t* pData, std::size_t inSize);
    // Reads the whole file and checks it where it was read, without a copy.
    [[nodiscard]] bool readFile(const std::filesystem::path& path);

    // The messages accepted; empty after a refusal. Valid while the reader
    // lives and reads nothing else.
    CSysExRun messages() const { return CSysExRun(m_bytes, m_count); }
    // Hands the accepted bytes over; the reader is empty afterwards.
    std::vector<std::uint8_t> takeBytes();
    const std::optional<SError>& error() const { return m_error; }
    // "FILE: offset N (0xN): what" (or "FILE: what"), for the user.
    std::string describeError(const std::string& fileName) const;

private:
    bool check();
    bool fail(std::optional<std::size_t> offset, std::string what);

    std::vector<std::uint8_t> m_bytes;
    std::size_t m_count = 0;
    std::optional<SError> m_error;
};
