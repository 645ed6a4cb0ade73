#pragma once
// The firmware version an update file carries, where the file says. Updates
// in the project's own firmware format open with a header message that holds
// it: F0 7D 4D 01 <major> <minor> <block count, block size, image size and
// CRC-32, 12 bytes> F7. Files in any other format carry no version we know.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

class CFirmwareSchedule;
class CSMF;

struct SFirmwareVersion {
    std::uint8_t major = 0;
    std::uint8_t minor = 0;

    bool operator==(const SFirmwareVersion&) const = default;

    std::string text() const; // "1.1"
    // What an instrument running this firmware reports as its revision in
    // an Identity Reply: major, minor, 0, 0.
    std::array<std::uint8_t, 4> revision() const;
};

class CFirmwareVersion {
public:
    // The version in a header message of the format; nothing for any other bytes.
    static std::optional<SFirmwareVersion> fromHeaderMessage(const std::uint8_t* data, std::size_t length);
    // The version the update's first SysEx message states, as it is sent or
    // as the file stores it.
    static std::optional<SFirmwareVersion> ofSchedule(const CFirmwareSchedule& schedule);
    static std::optional<SFirmwareVersion> ofFile(const CSMF& smf);
};
