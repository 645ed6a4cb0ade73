#include "cli/ListCommand.h"

#include "cli/ExitStatus.h"
#include "cli/MidiEndpoints.h"

#include "platform/midi/MidiBackend.h"

#include <nlohmann/json.hpp>

#include <vector>

namespace {

const char* portType(const SEndpointInfo& e)
{
    return e.hardware ? "hardware" : "software";
}

void printText(std::ostream& out, const char* heading, const std::vector<SEndpointInfo>& endpoints)
{
    out << heading << ":";
    if (endpoints.empty()) {
        out << " none\n";
        return;
    }
    out << "\n";
    for (const SEndpointInfo& e : endpoints) {
        out << "  " << e.index << "  " << portType(e) << "  \"" << e.displayName << "\"  model \"" << e.model
            << "\"  name \"" << e.name << "\"\n";
    }
}

void printJson(std::ostream& out, const char* kind, const std::vector<SEndpointInfo>& endpoints)
{
    for (const SEndpointInfo& e : endpoints) {
        nlohmann::ordered_json line;
        line["kind"] = kind;
        line["index"] = e.index;
        line["display_name"] = e.displayName;
        line["model"] = e.model;
        line["name"] = e.name;
        line["port_type"] = portType(e);
        // A device's name need not be UTF-8: what is not becomes U+FFFD, and the line stays JSON.
        out << line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
    }
}

} // namespace

CLI::App* CListCommand::attach(CLI::App& inApp)
{
    CLI::App* cmd = inApp.add_subcommand(
        "list", "List the MIDI destinations (where `send --to` can send) and sources, with index, hardware or "
                "software, display name, model and name. Hardware ports (connected devices such as a USB "
                "instrument) come first; software ports (Midi Through, virtual raw MIDI, applications) after.");
    cmd->add_flag("--json", m_json,
                  "One JSON object per line: kind (destination or source), index, display_name, model, name, "
                  "port_type (hardware or software)");
    cmd->footer("Exit status: 0 listed (also when there is no endpoint), 3 no MIDI system.");
    return cmd;
}

int CListCommand::run(std::ostream& out, std::ostream& err)
{
    if (const OSStatus status = CMidiEndpoints::probe(); status != noErr) {
        err << "list: " << CMidiEndpoints::noMidiSystemSentence(status) << "\n";
        return cli_exit::kNoMidi;
    }
    const std::vector<SEndpointInfo> destinations = CMidiEndpoints::destinations();
    const std::vector<SEndpointInfo> sources = CMidiEndpoints::sources();
    if (m_json) {
        printJson(out, "destination", destinations);
        printJson(out, "source", sources);
    } else {
        out << "MIDI backend: " << mirelo::midi::activeBackend().name() << "\n";
        printText(out, "destinations", destinations);
        printText(out, "sources", sources);
    }
    return cli_exit::kSuccess;
}
