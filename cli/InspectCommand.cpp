#include "InspectCommand.h"

#include <cstdint>
#include <limits>
#include <vector>

#include "FileBytes.h"
#include "FirmwareSchedule.h"
#include "JsonLine.h"
#include "SMF.h"

CLI::App* CInspectCommand::attach(CLI::App& inApp)
{
    CLI::App* command = inApp.add_subcommand("inspect", "Show what a Standard MIDI File holds");
    command->add_option("FILE", m_path, "The file to read")->required();
    CLI::Option* events =
        command->add_flag("--events", m_events,
                          "Print every event as one JSON object per line, track by track in stored order");
    command
        ->add_flag("--schedule", m_schedule,
                   "Print every SysEx message with its send time in milliseconds, in sending order, "
                   "then the totals, one JSON object per line")
        ->excludes(events);
    return command;
}

int CInspectCommand::run(std::ostream& out, std::ostream& err)
{
    std::vector<uint8_t> image;
    std::string reason;
    if (!readWholeFile(m_path, image, reason)) {
        err << m_path << ": " << reason << '\n';
        return kExitBadFile;
    }
    if (m_schedule) {
        return printSchedule(image, out, err);
    }
    CSMF smf;
    uint32_t consumed = 0;
    if (image.size() > std::numeric_limits<uint32_t>::max() ||
        !smf.setData(image.data(), static_cast<uint32_t>(image.size()), consumed)) {
        err << m_path << ": not a readable Standard MIDI File\n";
        return kExitBadFile;
    }
    if (m_events) {
        printEvents(smf, out);
    } else {
        printSummary(smf, out);
    }
    out.flush();
    return out ? 0 : 1;
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
        out << "track " << t << ": channel " << channel << ", meta " << meta << ", sysex " << sysEx
            << ", sysex bytes " << sysExBytes << '\n';
    }
    out << "set tempo events in track 0: " << tempoEvents << '\n';
}

void CInspectCommand::printEvents(const CSMF& inSmf, std::ostream& out) const
{
    std::string buffer;
    for (uint32_t t = 0; t < inSmf.getTrackCount(); ++t) {
        const CMidiTrack& track = *inSmf.getTracks()[t];
        for (uint32_t i = 0; i < track.getEventCount(); ++i) {
            const CMidiEvent& e = *track.GetEvent(i);
            CJsonLine line;
            line.add("track", t).add("index", i).add("tick", e.time);
            if (const CMidiShortEvent* s = e.getShortData()) {
                line.add("kind", "channel").add("status", s->getStatus());
                line.addBytes("data", s->getParam(), s->getSize());
            } else if (const CMidiMetaEvent* m = e.getMetaData()) {
                line.add("kind", "meta").add("type", m->getTypeByte());
                line.addBytes("data", m->getParam(), m->getSize());
            } else if (const CMidiSysExEvent* x = e.getSysExData()) {
                line.add("kind", "sysex");
                line.addBytes("data", x->getParam(), x->getSize());
            }
            line.appendTo(buffer);
            if (buffer.size() >= (1u << 16)) {
                out << buffer;
                buffer.clear();
            }
        }
    }
    out << buffer;
}

int CInspectCommand::printSchedule(const std::vector<uint8_t>& inImage, std::ostream& out, std::ostream& err) const
{
    CFirmwareSchedule schedule;
    const auto result = inImage.size() > std::numeric_limits<uint32_t>::max()
                            ? CFirmwareSchedule::EResult::kUnparsable
                            : schedule.build(inImage.data(), static_cast<uint32_t>(inImage.size()));
    switch (result) {
    case CFirmwareSchedule::EResult::kOk:
        break;
    case CFirmwareSchedule::EResult::kUnparsable:
        err << m_path << ": not a readable Standard MIDI File\n";
        return kExitBadFile;
    case CFirmwareSchedule::EResult::kNoTrack:
        err << m_path << ": the file holds no track\n";
        return kExitBadFile;
    case CFirmwareSchedule::EResult::kBadTempo:
        err << m_path << ": unusable Set Tempo in track 0 at tick " << schedule.badTempoTick()
            << " (shorter than three bytes, or zero)\n";
        return kExitBadFile;
    }

    std::string buffer;
    uint64_t index = 0;
    for (const CFirmwareSchedule::SMessage& message : schedule.messages()) {
        CJsonLine line;
        line.add("index", index++)
            .add("track", message.track)
            .add("tick", message.tick)
            .add("due_ms", message.sendTime)
            .add("size", message.bytes.size());
        line.appendTo(buffer);
        if (buffer.size() >= (1u << 16)) {
            out << buffer;
            buffer.clear();
        }
    }
    CJsonLine totals;
    totals.add("messages", schedule.messages().size())
        .add("bytes", schedule.totalBytes())
        .add("duration_ms", schedule.duration());
    totals.appendTo(buffer);
    out << buffer;
    out.flush();
    return out ? 0 : 1;
}
