#include "cli/InspectCommand.h"

#include <cstdint>
#include <limits>
#include <vector>

#include "cli/ExitStatus.h"
#include "schedule/FirmwareSchedule.h"
#include "update/FirmwareVersion.h"
#include "update/RunReport.h"
#include "update/UpdateFileLoader.h"
#include "SMF/SMF.h"

#include "platform/base/WholeFile.h"

#include <nlohmann/json.hpp>

namespace {

using JsonLine = nlohmann::ordered_json; // keys in the order they are set

// Lines are gathered and written 64 KiB at a time.
void append(std::string& buffer, const JsonLine& line, std::ostream& out)
{
    buffer += line.dump();
    buffer += '\n';
    if (buffer.size() >= (1u << 16)) {
        out << buffer;
        buffer.clear();
    }
}

// An event's bytes: a JSON array of numbers.
std::vector<uint8_t> bytes(const uint8_t* data, uint32_t size)
{
    return {data, data + size};
}

} // namespace

CLI::App* CInspectCommand::attach(CLI::App& inApp)
{
    CLI::App* command = inApp.add_subcommand("inspect", "Show what a Standard MIDI File holds");
    command->add_option("FILE", m_path,
                        "The file to read (default: the bundled \"mirelo updater.dat\", which send sends)");
    CLI::Option* events = command->add_flag(
        "--events", m_events, "Print every event as one JSON object per line, track by track in stored order");
    command
        ->add_flag("--schedule", m_schedule,
                   "Verify the file as `send` does, then print every SysEx message in sending order with "
                   "the millisecond it is due (due_ms) and the one it leaves at (send_ms: never before the "
                   "message ahead of it in the file), then the totals (late_by_order: messages that leave "
                   "after they are due), one JSON object per line")
        ->excludes(events);
    return command;
}

int CInspectCommand::run(std::ostream& out, std::ostream& err)
{
    const SUpdateFileLoad located =
        CUpdateFileLoader::locate(m_path.empty() ? std::nullopt : std::optional<std::filesystem::path>(m_path));
    if (!located.ready()) {
        err << CRunReport::notLoaded(located, {}).plain()
            << "; name a FILE, or set MIRELO_RESOURCES to the folder that holds it.\n";
        return cli_exit::kBadInput;
    }
    m_path = located.path.string();
    if (m_schedule) {
        return printSchedule(out, err);
    }
    std::vector<uint8_t> image;
    if (const auto read = mirelo::platform::readWholeFile(m_path, image); !read.ok()) {
        err << m_path << ": " << read.reason << '\n';
        return read.result == mirelo::platform::FileReadOutcome::kOutOfMemory ? cli_exit::kFailed : cli_exit::kBadInput;
    }
    CSMF smf;
    uint32_t consumed = 0;
    if (!smf.setData(image.data(), static_cast<uint32_t>(image.size()), consumed)) {
        err << m_path << ": not a readable Standard MIDI File\n";
        return cli_exit::kBadInput;
    }
    if (m_events) {
        printEvents(smf, out);
    } else {
        printSummary(smf, out);
    }
    out.flush();
    return out ? cli_exit::kSuccess : cli_exit::kFailed;
}

void CInspectCommand::printSummary(const CSMF& inSmf, std::ostream& out) const
{
    const CMidiHeader& header = inSmf.getHeader();
    out << "format: " << header.getFormat() << '\n'
        << "tracks: " << inSmf.getTrackCount() << '\n'
        << "division: " << header.getDivision() << '\n';
    uint32_t tempoEvents = 0;
    for (uint32_t t = 0; t < inSmf.getTrackCount(); ++t) {
        uint32_t channel = 0;
        uint32_t meta = 0;
        uint32_t sysEx = 0;
        uint64_t sysExBytes = 0;
        for (const CMidiEvent* e : inSmf.getTracks()[t]->getEvents()) {
            switch (e->getType()) {
            case CMidiEvent::kEventTypeShort:
                ++channel;
                break;
            case CMidiEvent::kEventTypeMeta:
                ++meta;
                if (t == 0 && e->getMetaData()->getType() == CMidiMetaEvent::kTypeTempo) {
                    ++tempoEvents;
                }
                break;
            case CMidiEvent::kEventTypeSysEx:
                ++sysEx;
                sysExBytes += e->getSysExData()->getSize();
                break;
            default:
                break;
            }
        }
        out << "track " << t << ": channel " << channel << ", meta " << meta << ", sysex " << sysEx << ", sysex bytes "
            << sysExBytes << '\n';
    }
    out << "set tempo events in track 0: " << tempoEvents << '\n';
    if (const std::optional<SFirmwareVersion> version = CFirmwareVersion::ofFile(inSmf)) {
        out << "firmware version: " << version->text() << '\n';
    }
}

void CInspectCommand::printEvents(const CSMF& inSmf, std::ostream& out) const
{
    std::string buffer;
    for (uint32_t t = 0; t < inSmf.getTrackCount(); ++t) {
        const CMidiTrack& track = *inSmf.getTracks()[t];
        for (uint32_t i = 0; i < track.getEventCount(); ++i) {
            const CMidiEvent& e = *track.GetEvent(i);
            JsonLine line;
            line["track"] = t;
            line["index"] = i;
            line["tick"] = e.time;
            if (const CMidiShortEvent* s = e.getShortData()) {
                line["kind"] = "channel";
                line["status"] = s->getStatus();
                line["data"] = bytes(s->getParam(), s->getSize());
            } else if (const CMidiMetaEvent* m = e.getMetaData()) {
                line["kind"] = "meta";
                line["type"] = m->getTypeByte();
                line["data"] = bytes(m->getParam(), m->getSize());
            } else if (const CMidiSysExEvent* x = e.getSysExData()) {
                line["kind"] = "sysex";
                line["data"] = bytes(x->getParam(), x->getSize());
            }
            append(buffer, line, out);
        }
    }
    out << buffer;
}

int CInspectCommand::printSchedule(std::ostream& out, std::ostream& err) const
{
    CFirmwareSchedule schedule;
    if (const SUpdateFileLoad load = CUpdateFileLoader::load(m_path, schedule); !load.ready()) {
        err << CRunReport::notLoaded(load, m_path).plain() << '\n';
        return load.outcome == SUpdateFileLoad::EOutcome::kOutOfMemory ? cli_exit::kFailed : cli_exit::kBadInput;
    }

    std::string buffer;
    uint64_t index = 0;
    for (const CFirmwareSchedule::SMessage& message : schedule) {
        JsonLine line;
        line["index"] = index++;
        line["track"] = message.track;
        line["tick"] = message.tick;
        line["due_ms"] = message.sendTime;
        line["send_ms"] = message.leaveTime;
        line["size"] = message.bytes.size();
        append(buffer, line, out);
    }
    JsonLine totals;
    totals["messages"] = schedule.size();
    totals["bytes"] = schedule.totalBytes();
    totals["duration_ms"] = schedule.duration();
    totals["late_by_order"] = schedule.lateByOrder();
    append(buffer, totals, out);
    out << buffer;
    out.flush();
    return out ? cli_exit::kSuccess : cli_exit::kFailed;
}
