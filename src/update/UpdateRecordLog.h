#pragma once
// The record of every update: one JSON line per run, appended to
// $XDG_STATE_HOME/mirelo-updater/runs.jsonl (~/.local/state/... by default).
// Each record goes out in one write to a file opened for appending, so that
// the file holds whole lines only and two runs at once never mix theirs.
// Keeping the record is a courtesy to the user: a record that cannot be
// written is the caller's warning, never a reason to fail or stop an update.

#include "update/UpdateRecord.h"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

class CUpdateRecordLog {
public:
    static constexpr const char* kFolderName = "mirelo-updater";
    static constexpr const char* kFileName = "runs.jsonl";
    // A longer line is no record of ours and is skipped unread.
    static constexpr std::size_t kMaxLineBytes = 1 << 20;

    struct SEntry {
        std::size_t line; // from 1
        nlohmann::ordered_json json;
        SUpdateRecord record;
    };

    struct SContents {
        enum class EState { kRead, kMissing, kUnreadable };
        EState state = EState::kRead;
        std::string problem;              // kUnreadable: why
        std::vector<SEntry> entries;      // oldest first
        std::size_t records = 0;          // in the whole file
        std::vector<std::size_t> skipped; // lines that hold no record
    };

    // Where the record is kept: under XDG_STATE_HOME when that is an absolute
    // path (the XDG rule: a relative one is ignored), else under the home
    // folder's .local/state. Nothing when there is no home folder either.
    static std::optional<std::filesystem::path> defaultPath();

    // Appends the record as one line, making the folders (mode 0700) and the
    // file (0600) as needed. False, with the reason in `problem`, when it
    // could not be written whole; a partly written line is taken back.
    [[nodiscard]] static bool append(const std::filesystem::path& file, const SUpdateRecord& record,
                                     std::string& problem);

    // The records in the file, only the last `last` of them when that is not 0.
    static SContents read(const std::filesystem::path& file, std::size_t last = 0);
};
