#pragma once
// Finds and reads an update file and builds the schedule the transfer will
// send, or says why it cannot: the bundled file is missing, the file cannot be
// read or is too large, memory ran out, or the verification refuses it (with
// the reason and the place). Both front ends load through it and turn the
// outcome into their own answer: an exit status, an alert.

#include "schedule/FirmwareSchedule.h"
#include "update/UpdateFileFacts.h"
#include "schedule/UpdateFileVerifier.h"

#include <filesystem>
#include <optional>
#include <string>

struct SUpdateFileLoad {
    enum class EOutcome {
        kReady,         // found; after load(), the schedule is built
        kNoBundledFile, // path: the resource folder searched, empty when there is none
        kUnreadable,    // reason: the system's
        kTooLarge,      // reason: the limit
        kRefused,       // refusal: why, and where in the file
        kOutOfMemory    // reason: the system's while reading; none while building the schedule
    };

    EOutcome outcome = EOutcome::kReady;
    std::filesystem::path path;
    std::string reason;
    std::optional<SUpdateFileRefusal> refusal;
    // Of the bytes read, in hex, whatever the verification then said: the
    // record of an update names exactly what was sent. "" when nothing was read.
    std::string sha256 = {};

    bool ready() const { return outcome == EOutcome::kReady; }
};

class CUpdateFileLoader {
public:
    static constexpr const char* kBundledFileName = "mirelo updater.dat";

    // The file to load: inFile when given, else the bundled update file in
    // the application's resource folder.
    [[nodiscard]] static SUpdateFileLoad locate(const std::optional<std::filesystem::path>& inFile);
    // Reads and verifies inPath and builds outSchedule from it; with outFacts,
    // also what the file is (when it is ready).
    [[nodiscard]] static SUpdateFileLoad load(const std::filesystem::path& inPath, CFirmwareSchedule& outSchedule,
                                              SUpdateFileFacts* outFacts = nullptr);
};
