#include "cli/HistoryCommand.h"

#include "cli/ExitStatus.h"
#include "update/UpdateRecordLog.h"

#include <nlohmann/json.hpp>

namespace {

// Who the instrument said it was before and after the update, as far as it said.
std::string identityText(const SUpdateRecord& r)
{
    if (!r.identityAsked) {
        return "not asked";
    }
    if (!r.before) {
        return "did not answer";
    }
    return "firmware " + r.before->versionText() + " \u2192 " +
           (r.after ? r.after->versionText() : std::string("no answer after the update"));
}

std::string linesText(const std::vector<std::size_t>& lines)
{
    std::string text;
    for (std::size_t i = 0; i < lines.size() && i < 10; ++i) {
        text += (i == 0 ? "" : ", ") + std::to_string(lines[i]);
    }
    return lines.size() > 10 ? text + " and " + std::to_string(lines.size() - 10) + " more" : text;
}

} // namespace

CLI::App* CHistoryCommand::attach(CLI::App& inApp)
{
    CLI::App* cmd = inApp.add_subcommand(
        "history", "Show the record of updates, oldest first: when each ran, the update file (path and SHA-256), "
                   "the destination, the instrument's identity before and after, and how the run ended. The "
                   "record is $XDG_STATE_HOME/mirelo-updater/runs.jsonl (~/.local/state/mirelo-updater/runs.jsonl "
                   "by default), one JSON object per line.");
    cmd->add_flag("--json", m_json, "The records as they are stored: one JSON object per line");
    cmd->add_option("--last", m_last, "Only the last N records")->option_text("N")->check(CLI::PositiveNumber);
    cmd->footer("Exit status: 0 shown (also when nothing is recorded yet), 1 the record cannot be read, 2 usage.");
    return cmd;
}

void CHistoryCommand::printRecord(std::ostream& out, const SUpdateRecord& r)
{
    out << r.start << "  " << SUpdateRecord::resultText(r.result) << "  " << r.messagesSent << " of " << r.messagesTotal
        << " messages (" << r.bytesSent << " bytes) to \"" << r.destination << "\" ("
        << (r.hardware ? "hardware" : "software") << ")\n";
    out << "    instrument: " << identityText(r) << "\n";
    out << "    file: " << r.file << (r.sha256.empty() ? std::string() : "  SHA-256 " + r.sha256) << "\n";
    out << "    by " << (r.program.empty() ? std::string("?") : r.program)
        << (r.version.empty() ? std::string() : " " + r.version) << (r.end.empty() ? std::string() : ", ended " + r.end)
        << "\n";
    if (!r.words.empty()) {
        out << "    " << r.words << "\n";
    }
}

int CHistoryCommand::run(std::ostream& out, std::ostream& err)
{
    const std::optional<std::filesystem::path> path = CUpdateRecordLog::defaultPath();
    if (!path) {
        err << "history: neither XDG_STATE_HOME nor a home folder says where the record is kept\n";
        return cli_exit::kFailed;
    }
    const CUpdateRecordLog::SContents contents = CUpdateRecordLog::read(*path, m_last);
    switch (contents.state) {
    case CUpdateRecordLog::SContents::EState::kMissing:
        if (!m_json) {
            out << "no update has been recorded yet (" << path->string() << ")\n";
        }
        return cli_exit::kSuccess;
    case CUpdateRecordLog::SContents::EState::kUnreadable:
        err << "history: " << contents.problem << "\n";
        return cli_exit::kFailed;
    case CUpdateRecordLog::SContents::EState::kRead:
        break;
    }
    if (!contents.skipped.empty()) {
        err << "history: " << path->string() << ": line" << (contents.skipped.size() == 1 ? " " : "s ")
            << linesText(contents.skipped) << " hold" << (contents.skipped.size() == 1 ? "s" : "")
            << " no record; skipped\n";
    }
    if (!m_json && contents.entries.empty()) {
        out << "no update has been recorded yet (" << path->string() << ")\n";
    }
    for (const CUpdateRecordLog::SEntry& entry : contents.entries) {
        if (m_json) {
            out << entry.json.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
        } else {
            printRecord(out, entry.record);
        }
    }
    return cli_exit::kSuccess;
}
