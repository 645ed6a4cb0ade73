#pragma once
// What an update file is, as a person checking it before an update wants to
// see it: its header (format, tracks, division), what goes out (messages,
// bytes, how long it takes), the firmware version when the file states one,
// and its SHA-256, which tells two files apart that differ in a single byte.

#include "schedule/FirmwareSchedule.h"
#include "update/FirmwareVersion.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

struct SUpdateFileFacts {
    std::uint16_t format = 0;
    std::uint16_t tracks = 0;
    std::uint16_t division = 0; // as the header stores it: ticks per quarter, or an SMPTE rate
    std::uint64_t messages = 0;
    std::uint64_t bytes = 0;      // of the messages, as they go out
    std::uint64_t fileBytes = 0;  // of the file
    std::uint64_t durationMs = 0; // when the last message leaves
    std::optional<SFirmwareVersion> version;
    std::string sha256; // lower-case hex of the whole file

    // Frames per second (24, 25, 29 for 29.97, 30) of an SMPTE division; none
    // for ticks per quarter note.
    std::optional<int> smpteFrames() const;
    // Ticks per quarter note, or per frame of an SMPTE division.
    int ticks() const;
};

class CUpdateFileFacts {
public:
    CUpdateFileFacts() = delete;

    // Of an image that schedule was built from (so the header is known to be whole).
    static SUpdateFileFacts of(std::span<const std::uint8_t> image, const CFirmwareSchedule& schedule);
};
