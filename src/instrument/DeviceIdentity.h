#pragma once
// Who an instrument says it is in its Identity Reply: its manufacturer's ID,
// its product family and model, and the revision of the firmware it runs.

#include "platform/midi/MIDIServices.h"

#include <nlohmann/json_fwd.hpp>

#include <array>
#include <cstdint>
#include <optional>
#include <string>

struct SDeviceIdentity {
    static constexpr std::size_t kRevisionBytes = 4;
    using Revision = std::array<Byte, kRevisionBytes>;

    Byte deviceId = 0; // the device ID it answered with
    // One byte, or 00 and two more: kept in a fixed array so that reading an
    // answer on the receive thread never allocates.
    std::array<Byte, 3> manufacturer{};
    std::uint8_t manufacturerLength = 1;
    std::uint16_t family = 0; // 14 bits
    std::uint16_t model = 0;  // 14 bits
    Revision revision{};

    bool operator==(const SDeviceIdentity&) const = default;

    // "0x7D", or "0x00 0x20 0x33" for an extended ID.
    std::string manufacturerText() const;
    // "0x004D": family and model codes as 14-bit numbers in hex.
    std::string familyText() const;
    std::string modelText() const;
    // The revision as dotted numbers, "1.0" for 01 00 00 00: trailing zero
    // bytes after the second are left out, so a major.minor version reads as
    // one.
    std::string versionText() const;

    nlohmann::ordered_json toJson() const;
    // Nothing for an object that is not one toJson() could have written.
    static std::optional<SDeviceIdentity> fromJson(const nlohmann::ordered_json& json);
};
