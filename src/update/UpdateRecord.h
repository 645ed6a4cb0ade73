#pragma once
// What one update did, as it is kept in the record of updates: when it ran,
// which file (by path and SHA-256) went to which destination, who the
// instrument said it was before and after, and how the run ended.

#include "instrument/DeviceIdentity.h"
#include "platform/midi/MIDIServices.h"

#include <nlohmann/json_fwd.hpp>

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

struct SUpdateRecord {
    enum class EResult {
        kCompleted,   // every message went out (and the instrument, when asked, took it)
        kFailed,      // a send failed part-way, or the destination went away
        kRefused,     // the update file was refused: nothing was sent
        kInterrupted, // stopped on request after the message in flight
        kDidNotTake,  // every message went out, but the instrument still runs the old firmware
    };

    std::string start; // ISO 8601, see isoTime
    std::string end;
    std::string file;   // the update file's path
    std::string sha256; // in hex; "" when the file could not be read
    std::string destination;
    bool hardware = false;
    bool identityAsked = false;            // false: the inquiry was off or the destination has no input
    std::optional<SDeviceIdentity> before; // none: not asked, or no answer
    std::optional<SDeviceIdentity> after;
    EResult result = EResult::kCompleted;
    std::uint64_t messagesSent = 0;
    std::uint64_t messagesTotal = 0;
    std::uint64_t bytesSent = 0;
    OSStatus status = noErr; // the platform status a failed send gave
    std::string words;       // how the run's end was told to the user
    std::string program;
    std::string version;

    // "completed", "failed", "refused", "interrupted", "did not take".
    static const char* resultText(EResult result);
    // Local time with its offset from UTC: 2025-03-01T10:00:00+01:00.
    static std::string isoTime(std::time_t time);

    nlohmann::ordered_json toJson() const;
    // Nothing for an object that holds no start or no known result; fields
    // that are missing or of the wrong kind are left empty.
    static std::optional<SUpdateRecord> fromJson(const nlohmann::ordered_json& json);
};
