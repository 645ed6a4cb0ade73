#include "cli/IdentifyCommand.h"

#include "cli/DestinationChooser.h"
#include "cli/ExitStatus.h"
#include "cli/MidiEndpoints.h"
#include "instrument/IdentityInquiry.h"
#include "instrument/InstrumentPairing.h"
#include "update/StatusText.h"
#include "QORMIDIManager_Mac.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sstream>
#include <vector>

namespace {

constexpr const char* kSeeList = "`mirelo-updater-cli list` shows the destinations";

std::vector<SPortNames> portNames(const std::vector<SEndpointInfo>& endpoints)
{
    std::vector<SPortNames> names;
    names.reserve(endpoints.size());
    for (const SEndpointInfo& e : endpoints) {
        names.push_back({e.model, e.name, e.displayName});
    }
    return names;
}

// The manager for the length of one inquiry.
class CManagerScope {
public:
    CManagerScope() { CQORMIDIManager::initialize(nullptr, nullptr); }
    ~CManagerScope() { CQORMIDIManager::terminate(); }
    CManagerScope(const CManagerScope&) = delete;
    CManagerScope& operator=(const CManagerScope&) = delete;
    CQORMIDIManager& manager() { return *CQORMIDIManager::instance(); }
};

// Without --to, as for `send`: the one hardware destination, or the user names one.
std::string noSingleInstrument(const std::vector<SEndpointInfo>& destinations, bool none)
{
    std::string message =
        none ? "no MIDI destination is a hardware port, so none of them is an instrument to ask. Connect the "
               "instrument (by USB), or name the destination to ask with --to INDEX|NAME; " +
                   std::string(kSeeList) + ". The destinations:"
             : "several MIDI destinations are hardware ports. Name the one to ask with --to INDEX|NAME; " +
                   std::string(kSeeList) + ". The hardware ones:";
    for (const SEndpointInfo& d : destinations) {
        if (d.hardware || none) {
            message += "\n  " + std::to_string(d.index) + "  \"" + d.label("destination") + "\"";
        }
    }
    return message;
}

std::string silenceText(const std::string& label, const SIdentityAnswer& answer, double waitSeconds)
{
    std::ostringstream within;
    within << std::max(waitSeconds, 1.0);
    std::string text = "\"" + label + "\" did not answer within " + within.str() + " s";
    if (answer.heardOwnRequest) {
        return text + ": it sent our own request back, so it loops its output to its input (as Midi Through "
                      "does) and is not an instrument";
    }
    if (answer.otherMessages > 0) {
        text += "; it sent " + std::to_string(answer.otherMessages) + " other SysEx message" +
                (answer.otherMessages == 1 ? "" : "s") + ", none of them an answer";
    }
    return text + " (many instruments do not answer identity requests)";
}

void printIdentity(std::ostream& out, const std::string& label, const SDeviceIdentity& identity)
{
    char deviceId[8];
    std::snprintf(deviceId, sizeof deviceId, "0x%02X", identity.deviceId);
    out << "instrument: \"" << label << "\"\n"
        << "manufacturer: " << identity.manufacturerText() << "\n"
        << "family: " << identity.familyText() << "\n"
        << "model: " << identity.modelText() << "\n"
        << "firmware: " << identity.versionText() << "\n"
        << "device ID: " << deviceId << "\n";
}

void printJson(std::ostream& out, const std::string& label, const SIdentityAnswer& answer, const char* reason)
{
    nlohmann::ordered_json line;
    line["destination"] = label;
    line["answered"] = answer.identity.has_value();
    if (answer.identity) {
        line.update(answer.identity->toJson());
    } else {
        line["reason"] = reason;
    }
    out << line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

} // namespace

CLI::App* CIdentifyCommand::attach(CLI::App& inApp)
{
    CLI::App* cmd = inApp.add_subcommand(
        "identify", "Ask an instrument who it is (the MIDI Device Inquiry) and show its manufacturer ID, family, "
                    "model and firmware version. The answer is read on the instrument's own MIDI source; no "
                    "answer within a second means it did not answer.");
    cmd->add_option("--to", m_to,
                    "The destination to ask: its index in `list`, its display name, or a case-insensitive prefix "
                    "of exactly one display name. Without --to, the one hardware destination (as for send)")
        ->option_text("INDEX|NAME");
    cmd->add_option("--wait", m_waitSeconds,
                    "Ask again until the instrument answers, for up to SECONDS, following it by name while it "
                    "goes away and comes back (as an instrument restarting after an update does)")
        ->option_text("SECONDS")
        ->check(CLI::Range(0.0, 3600.0));
    cmd->add_flag("--json", m_json,
                  "One JSON object: destination, answered, and device_id, manufacturer, family, model, firmware "
                  "and revision (the four version bytes), or reason (no answer, loop-back, no input)");
    cmd->footer("Exit status: 0 the instrument answered, 1 the request could not be sent or its answer read, 2 "
                "usage, 3 no MIDI system or no such destination (or, with --wait, it went away and did not come "
                "back), 4 it did not answer (or has no input to answer on).");
    return cmd;
}

int CIdentifyCommand::run(std::ostream& out, std::ostream& err)
{
    if (const OSStatus status = CMidiEndpoints::probe(); status != noErr) {
        err << "identify: " << CMidiEndpoints::noMidiSystemSentence(status) << "\n";
        return cli_exit::kNoMidi;
    }
    const std::vector<SEndpointInfo> destinations = CMidiEndpoints::destinations();
    const CDestinationChooser chooser(destinations);
    const CDestinationChooser::SChoice choice =
        destinations.empty() ? CDestinationChooser::SChoice{CDestinationChooser::EOutcome::kNoMatch, 0, {}}
        : m_to               ? chooser.choose(*m_to)
                             : chooser.chooseInstrument();
    const bool waitForIt = m_waitSeconds > 0 && m_to && choice.outcome == CDestinationChooser::EOutcome::kNoMatch;
    if (waitForIt) {
        // Named exactly and not there now: it may be restarting, so it is waited for.
        CManagerScope scope;
        return report(out, err, *m_to, CIdentityInquiry::askUntil(scope.manager(), *m_to, waitSpan()));
    }
    switch (choice.outcome) {
    case CDestinationChooser::EOutcome::kChosen:
        break;
    case CDestinationChooser::EOutcome::kNoInstrument:
    case CDestinationChooser::EOutcome::kSeveralInstruments:
        err << "identify: "
            << noSingleInstrument(destinations, choice.outcome == CDestinationChooser::EOutcome::kNoInstrument) << "\n";
        return cli_exit::kNoMidi;
    default:
        if (destinations.empty()) {
            err << "identify: there is no MIDI destination to ask; " << kSeeList << ".\n";
        } else {
            err << "identify: " << choice.message << "\n";
        }
        return choice.outcome == CDestinationChooser::EOutcome::kSeveralMatches ? cli_exit::kBadInput
                                                                                : cli_exit::kNoMidi;
    }
    const std::size_t index = choice.index;
    const std::string label = destinations[index].label("destination");

    const std::optional<std::size_t> source =
        CInstrumentPairing::sourceFor(portNames(destinations), index, portNames(CMidiEndpoints::sources()));
    if (!source) {
        if (m_json) {
            printJson(out, label, {}, "no input");
        }
        err << "identify: \"" << label
            << "\" has no MIDI source of its own to answer on, so it cannot be asked who it is\n";
        return cli_exit::kNoAnswer;
    }

    CManagerScope scope;
    const std::string& displayName = destinations[index].displayName;
    if (m_waitSeconds > 0 && !displayName.empty()) {
        return report(out, err, label, CIdentityInquiry::askUntil(scope.manager(), displayName, waitSpan()));
    }
    if (const OSStatus status = scope.manager().openMidiOut(index); status != noErr) {
        err << "identify: cannot open \"" << label << "\": status " << CStatusText::name(status) << ": "
            << CStatusText::meaning(status) << "\n";
        return cli_exit::kNoMidi;
    }
    // Opened by index from a list taken before: a device that came or went
    // since would put the question to another one.
    if (const std::vector<SEndpointInfo> now = CMidiEndpoints::destinations();
        index >= now.size() || now[index].displayName != destinations[index].displayName) {
        err << "identify: \"" << label << "\" went away before it could be asked; " << kSeeList << ".\n";
        return cli_exit::kNoMidi;
    }
    return report(out, err, label, CIdentityInquiry::ask(scope.manager(), *source));
}

std::chrono::nanoseconds CIdentifyCommand::waitSpan() const
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::duration<double>(m_waitSeconds));
}

int CIdentifyCommand::report(std::ostream& out, std::ostream& err, const std::string& label,
                             const SIdentityAnswer& answer) const
{
    switch (answer.outcome) {
    case SIdentityAnswer::EOutcome::kAnswered:
        if (m_json) {
            printJson(out, label, answer, "");
        } else {
            printIdentity(out, label, *answer.identity);
        }
        return cli_exit::kSuccess;
    case SIdentityAnswer::EOutcome::kInputFailed:
    case SIdentityAnswer::EOutcome::kRequestFailed:
        err << "identify: "
            << (answer.outcome == SIdentityAnswer::EOutcome::kInputFailed ? "cannot open the input of \""
                                                                          : "cannot send the request to \"")
            << label << "\": status " << CStatusText::name(answer.status) << ": " << CStatusText::meaning(answer.status)
            << "\n";
        return cli_exit::kFailed;
    case SIdentityAnswer::EOutcome::kGone:
        err << "identify: no destination called \"" << label << "\" came within " << m_waitSeconds << " s; " << kSeeList
            << ".\n";
        return cli_exit::kNoMidi;
    case SIdentityAnswer::EOutcome::kNoInput:
    case SIdentityAnswer::EOutcome::kNoAnswer:
        break;
    }
    if (m_json) {
        printJson(out, label, answer, answer.heardOwnRequest ? "loop-back" : "no answer");
    }
    err << "identify: " << silenceText(label, answer, m_waitSeconds) << "\n";
    return cli_exit::kNoAnswer;
}
