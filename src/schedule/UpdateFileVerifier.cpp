#include "schedule/UpdateFileVerifier.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "SMF/MidiTrack.h"
#include "SMF/SMFUtil.h"
#include "platform/base/SysExBytes.h"

namespace {

using EProblem = SUpdateFileRefusal::EProblem;

constexpr std::size_t kHeaderChunkSize = 14;
constexpr std::uint32_t kHeaderBodySize = 6;
constexpr std::size_t kDivisionOffset = 12;
constexpr std::uint64_t kLastTick = 0xFFFFFFFFu;
using mirelo::platform::kSysExEnd;
using mirelo::platform::kSysExStart;
constexpr std::uint8_t kMeta = 0xFF;
constexpr std::uint8_t kMetaEndOfTrack = 0x2F;
constexpr std::uint8_t kMetaTempo = 0x51;
constexpr std::uint8_t kTrackTag[4] = {'M', 'T', 'r', 'k'};
// The reader looks for track tags from the low byte of the format on.
constexpr std::size_t kTrackScanStart = 11;

std::string hexByte(std::uint8_t b)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", b);
    return text;
}

std::string tagText(const std::uint8_t* tag)
{
    std::string text = "\"";
    for (int i = 0; i < 4; ++i) {
        const bool printable = tag[i] >= 0x20 && tag[i] < 0x7F && tag[i] != '"' && tag[i] != '\\';
        text += printable ? std::string(1, static_cast<char>(tag[i])) : "\\x" + hexByte(tag[i]).substr(2);
    }
    return text + "\"";
}

bool isSmpteRate(std::uint8_t highByte)
{
    // -24, -25, -29 (29.97 drop frame) and -30 frames per second.
    return highByte == 0xE8 || highByte == 0xE7 || highByte == 0xE3 || highByte == 0xE2;
}

struct CEventDeleter {
    void operator()(CMidiEvent* e) const
    {
        e->resetEvent();
        delete e;
    }
};
using EventPtr = std::unique_ptr<CMidiEvent, CEventDeleter>;

// One pass over the image, chunk by chunk and event by event, with the SMF
// library's own event reader, so event boundaries are the ones the transfer
// will see.
class CUpdateFileWalk {
public:
    CUpdateFileWalk(const std::uint8_t* inData, std::size_t inLength, CUpdateFileVerifier::CEventSink* ioSink)
        : m_data(inData), m_length(inLength), m_sink(ioSink)
    {
    }

    std::optional<SUpdateFileRefusal> run()
    {
        if (m_data == nullptr || m_length < kHeaderChunkSize) {
            return fileProblem(EProblem::kHeader, "the file holds " + CUpdateFileVerifier::withThousands(m_length) +
                                                      " bytes, too few for a Standard MIDI File header");
        }
        if (std::memcmp(m_data, "MThd", 4) != 0) {
            return at(EProblem::kHeader, 0, "no \"MThd\" header: not a Standard MIDI File");
        }
        if (const std::uint32_t size = readBigEndian32(m_data + 4); size != kHeaderBodySize) {
            return at(EProblem::kHeader, 4, "header length " + std::to_string(size) + ", not 6");
        }
        if (const std::uint16_t format = readBigEndian16(m_data + 8); format > 1) {
            return at(EProblem::kFormat, 8, "format " + std::to_string(format) + ": an update is format 0 or 1");
        }
        const std::uint16_t trackCount = readBigEndian16(m_data + 10);
        if (trackCount == 0) {
            return at(EProblem::kNoTrack, 10, "the header announces no track");
        }
        if (auto refusal = checkDivision(readBigEndian16(m_data + kDivisionOffset))) {
            return refusal;
        }

        std::size_t pos = kHeaderChunkSize;
        for (std::uint32_t t = 0; t < trackCount; ++t) {
            m_track = t;
            if (m_length - pos < kChunkHeadSize) {
                return refusal(EProblem::kMissingTrack, t, std::nullopt, pos,
                               "the header announces " + std::to_string(trackCount) + " track chunks, the file holds " +
                                   std::to_string(t));
            }
            if (std::memcmp(m_data + pos, kTrackTag, 4) != 0) {
                return refusal(EProblem::kChunk, t, std::nullopt, pos,
                               "chunk tag " + tagText(m_data + pos) + " where track chunk " + std::to_string(t) +
                                   " belongs");
            }
            const std::uint32_t size = readBigEndian32(m_data + pos + 4);
            const std::size_t left = m_length - pos - kChunkHeadSize;
            if (size > left) {
                return refusal(EProblem::kChunk, t, std::nullopt, pos + 4,
                               "chunk length " + CUpdateFileVerifier::withThousands(size) +
                                   " runs past the end of the file (" + CUpdateFileVerifier::withThousands(left) +
                                   " bytes left)");
            }
            if (auto refusal = walkTrack(pos + kChunkHeadSize, size)) {
                return refusal;
            }
            pos += kChunkHeadSize + size;
        }
        if (auto refusal = checkAfterLastTrack(pos, trackCount)) {
            return refusal;
        }
        if (m_open) {
            return refusal(EProblem::kSysExStream, m_openTrack, m_openEvent, m_openOffset,
                           "SysEx message never ends with 0xF7");
        }
        if (m_sysExEvents == 0) {
            return fileProblem(EProblem::kNoSysEx, "the file holds no SysEx message: there is nothing to send");
        }
        return checkTrackTagsInData();
    }

private:
    std::optional<SUpdateFileRefusal> checkDivision(std::uint16_t division)
    {
        m_smpte = (division & 0x8000u) != 0;
        if (division == 0) {
            return at(EProblem::kDivision, kDivisionOffset, "division 0");
        }
        if (!m_smpte) {
            return std::nullopt;
        }
        char text[96];
        const auto high = static_cast<std::uint8_t>(division >> 8);
        if (!isSmpteRate(high)) {
            std::snprintf(text, sizeof text, "division 0x%04X: %d is not an SMPTE frame rate (-24, -25, -29, -30)",
                          division, static_cast<int>(static_cast<std::int8_t>(high)));
            return at(EProblem::kDivision, kDivisionOffset, text);
        }
        if ((division & 0xFFu) == 0) {
            std::snprintf(text, sizeof text, "division 0x%04X: SMPTE time with 0 ticks per frame", division);
            return at(EProblem::kDivision, kDivisionOffset, text);
        }
        return std::nullopt;
    }

    std::optional<SUpdateFileRefusal> walkTrack(std::size_t bodyStart, std::uint32_t bodySize)
    {
        const std::uint8_t* body = m_data + bodyStart;
        std::uint32_t consumed = 0;
        std::uint32_t previousTime = 0;
        std::uint64_t tick = 0;
        std::uint8_t runningStatus = 0;
        for (std::uint32_t index = 0; consumed < bodySize; ++index) {
            m_event = index;
            const std::size_t eventStart = bodyStart + consumed;
            const std::uint32_t left = bodySize - consumed;
            CMidiEvent* read = nullptr;
            const std::uint32_t taken =
                CMidiTrack::NewEventData(&read, body + consumed, left, previousTime, runningStatus);
            if (taken == kInvalidCount) {
                return unreadableEvent(eventStart, left, runningStatus);
            }
            const EventPtr event(read);
            // Each delta is below 2^28, so the 32-bit difference is the delta itself.
            tick += event->time - previousTime;
            if (tick > kLastTick) {
                return here(EProblem::kTickOverflow, eventStart,
                            "absolute tick " + CUpdateFileVerifier::withThousands(tick) + " passes 4,294,967,295");
            }
            std::uint32_t delta = 0;
            const std::size_t leadOffset = eventStart + fetchVariableVal(body + consumed, left, delta);
            // An 0xF0 event keeps its lead byte in front of the data that
            // follows its length field.
            const bool keptLead = event->getType() == CMidiEvent::kEventTypeSysEx && m_data[leadOffset] == kSysExStart;
            const std::size_t dataStart = eventStart + taken - (dataSize(*event) - (keptLead ? 1 : 0));
            switch (event->getType()) {
            case CMidiEvent::kEventTypeShort: {
                const CMidiShortEvent& message = *event->getShortData();
                for (std::uint32_t i = 0; i < message.getSize(); ++i) {
                    if (message.getParam()[i] >= 0x80) {
                        return here(EProblem::kChannelData, dataStart + i,
                                    "channel message " + hexByte(message.getStatus()) + " holds " +
                                        hexByte(message.getParam()[i]) + " where a data byte belongs");
                    }
                }
                runningStatus = message.getStatus();
                break;
            }
            case CMidiEvent::kEventTypeMeta: {
                const CMidiMetaEvent& meta = *event->getMetaData();
                if (meta.getTypeByte() == kMetaEndOfTrack) {
                    if (consumed + taken < bodySize) {
                        m_event = index + 1;
                        return here(EProblem::kAfterEndOfTrack, eventStart + taken,
                                    CUpdateFileVerifier::withThousands(bodySize - consumed - taken) +
                                        " bytes of events follow End of Track inside its chunk");
                    }
                    return std::nullopt;
                }
                if (auto refusal = checkTempo(meta, event->time, eventStart)) {
                    return refusal;
                }
                break;
            }
            case CMidiEvent::kEventTypeSysEx:
                // An 0xF0 event keeps its lead byte, so only an 0xF7 event of
                // length 0 is empty: it would go out as a message of no bytes.
                if (event->getSysExData()->getSize() == 0) {
                    return here(EProblem::kEmptySysEx, leadOffset,
                                "empty SysEx event (0xF7 with length 0): it holds no byte to send");
                }
                ++m_sysExEvents;
                if (auto refusal = followSysEx(*event->getSysExData(), keptLead, leadOffset, dataStart)) {
                    return refusal;
                }
                break;
            default:
                break;
            }
            if (m_sink != nullptr) {
                m_sink->onEvent(m_track, *event);
            }
            previousTime = event->time;
            consumed += taken;
        }
        return std::nullopt;
    }

    // The size of the event's param as the library stores it.
    static std::uint32_t dataSize(const CMidiEvent& event)
    {
        switch (event.getType()) {
        case CMidiEvent::kEventTypeShort:
            return event.getShortData()->getSize();
        case CMidiEvent::kEventTypeMeta:
            return event.getMetaData()->getSize();
        case CMidiEvent::kEventTypeSysEx:
            return event.getSysExData()->getSize();
        default:
            return 0;
        }
    }

    std::optional<SUpdateFileRefusal> checkTempo(const CMidiMetaEvent& meta, std::uint32_t time, std::size_t eventStart)
    {
        // Only track 0 carries the tempo map, and SMPTE time ignores it.
        if (m_track != 0 || m_smpte || meta.getTypeByte() != kMetaTempo) {
            return std::nullopt;
        }
        if (meta.getSize() < 3) {
            return here(EProblem::kTempo, eventStart,
                        "Set Tempo at tick " + CUpdateFileVerifier::withThousands(time) + " holds " +
                            std::to_string(meta.getSize()) + " bytes, not 3");
        }
        const std::uint8_t* p = meta.getParam();
        if (p[0] == 0 && p[1] == 0 && p[2] == 0) {
            return here(EProblem::kTempo, eventStart,
                        "Set Tempo at tick " + CUpdateFileVerifier::withThousands(time) + " is zero");
        }
        return std::nullopt;
    }

    // The SysEx bytes of all tracks, in the order they go out, must run as
    // whole messages: F0, data bytes, F7. A message may be split over an 0xF0
    // event and 0xF7 continuation events.
    std::optional<SUpdateFileRefusal> followSysEx(const CMidiSysExEvent& sysEx, bool keptLead, std::size_t leadOffset,
                                                  std::size_t dataStart)
    {
        for (std::uint32_t i = 0; i < sysEx.getSize(); ++i) {
            const std::uint8_t b = sysEx.getParam()[i];
            // The lead byte of an 0xF0 event stands before its length field.
            const std::size_t offset = !keptLead ? dataStart + i : i == 0 ? leadOffset : dataStart + i - 1;
            if (!m_open) {
                if (b != kSysExStart) {
                    return here(EProblem::kSysExStream, offset,
                                "SysEx byte " + hexByte(b) + " outside a message (a message starts with 0xF0)");
                }
                m_open = true;
                m_openTrack = m_track;
                m_openEvent = m_event;
                m_openOffset = offset;
                continue;
            }
            if (b == kSysExEnd) {
                m_open = false;
            } else if (b == kSysExStart) {
                return here(EProblem::kSysExStream, offset,
                            "a SysEx message starts before the one open since track " + std::to_string(m_openTrack) +
                                ", event " + std::to_string(m_openEvent) + " ended with 0xF7");
            } else if (b >= 0x80) {
                return here(EProblem::kSysExStream, offset, "SysEx holds status byte " + hexByte(b));
            }
        }
        return std::nullopt;
    }

    // Why the library's reader refused the event at start: the same checks,
    // made again to say which one failed.
    std::optional<SUpdateFileRefusal> unreadableEvent(std::size_t start, std::uint32_t left, std::uint8_t runningStatus)
    {
        const std::uint8_t* p = m_data + start;
        std::uint32_t delta = 0;
        const std::uint32_t deltaSize = fetchVariableVal(p, left, delta);
        if (deltaSize == 0) {
            return here(EProblem::kEvent, start,
                        left >= 4 ? "delta time longer than four bytes"
                                  : "delta time cut short by the end of the track");
        }
        if (deltaSize == left) {
            return here(EProblem::kEvent, start, "the track ends after a delta time, with no event");
        }
        const std::size_t lead = start + deltaSize;
        const std::uint32_t after = left - deltaSize;
        const std::uint8_t status = m_data[lead];
        if (status == kMeta || status == kSysExStart || status == kSysExEnd) {
            const bool meta = status == kMeta;
            const char* kind = meta ? "meta event" : "SysEx";
            const std::uint32_t headSize = meta ? 2 : 1;
            if (after <= headSize) {
                return here(EProblem::kEvent, lead, std::string(kind) + " cut short by the end of the track");
            }
            std::uint32_t length = 0;
            const std::uint32_t fieldSize = fetchVariableVal(m_data + lead + headSize, after - headSize, length);
            if (fieldSize == 0) {
                return here(EProblem::kEvent, lead + headSize,
                            std::string(kind) + " length field runs past four bytes or the end of the track");
            }
            if (length > CMidiTrack::kMaxEventLength) {
                return here(EProblem::kEvent, lead + headSize,
                            std::string(kind) + " length " + CUpdateFileVerifier::withThousands(length) +
                                " above 65,535");
            }
            return here(EProblem::kEvent, lead + headSize,
                        std::string(kind) + " of " + CUpdateFileVerifier::withThousands(length) +
                            " bytes runs past the end of the track (" +
                            CUpdateFileVerifier::withThousands(after - headSize - fieldSize) + " left)");
        }
        if (status < 0x80 && CMidiEvent::GetShortEventType(runningStatus) == CMidiShortEvent::kTypeMax) {
            return here(EProblem::kEvent, lead, "data byte " + hexByte(status) + " with no running status to apply");
        }
        if (status >= 0x80 && CMidiEvent::GetShortEventType(status) == CMidiShortEvent::kTypeMax) {
            return here(EProblem::kEvent, lead, "status byte " + hexByte(status) + " cannot stand in a track");
        }
        return here(EProblem::kEvent, lead, "channel message cut short by the end of the track");
    }

    // Past the announced tracks, bytes that do not form a chunk are padding;
    // a whole track chunk there would be firmware the header leaves out.
    std::optional<SUpdateFileRefusal> checkAfterLastTrack(std::size_t pos, std::uint16_t trackCount)
    {
        while (m_length - pos >= kChunkHeadSize) {
            const std::uint32_t size = readBigEndian32(m_data + pos + 4);
            if (size > m_length - pos - kChunkHeadSize) {
                break;
            }
            if (std::memcmp(m_data + pos, kTrackTag, 4) == 0) {
                return refusal(EProblem::kExtraTrack, trackCount, std::nullopt, pos,
                               "a track chunk beyond the " + std::to_string(trackCount) + " the header announces");
            }
            pos += kChunkHeadSize + size;
        }
        return std::nullopt;
    }

    // The reader counts "MTrk" wherever it stands, SysEx data included, and
    // refuses the file when such a run announces a length it cannot hold.
    std::optional<SUpdateFileRefusal> checkTrackTagsInData()
    {
        const std::uint8_t* end = m_data + m_length;
        const std::uint8_t* p = m_data + kTrackScanStart;
        while (end - p >= static_cast<std::ptrdiff_t>(sizeof kTrackTag)) {
            const void* hit = memmem(p, static_cast<std::size_t>(end - p), kTrackTag, sizeof kTrackTag);
            if (hit == nullptr) {
                break;
            }
            const auto* tag = static_cast<const std::uint8_t*>(hit);
            if (end - tag >= static_cast<std::ptrdiff_t>(kChunkHeadSize) && readBigEndian32(tag + 4) >= m_length) {
                return at(EProblem::kReaderRefused, static_cast<std::size_t>(tag - m_data),
                          "the bytes \"MTrk\" announce a length past the end of the file, which the reader refuses");
            }
            p = tag + 1;
        }
        return std::nullopt;
    }

    SUpdateFileRefusal refusal(EProblem problem, std::optional<std::uint32_t> track, std::optional<std::uint32_t> event,
                               std::optional<std::uint64_t> offset, std::string what) const
    {
        return SUpdateFileRefusal{problem, std::move(what), track, event, offset};
    }
    SUpdateFileRefusal here(EProblem problem, std::size_t offset, std::string what) const
    {
        return refusal(problem, m_track, m_event, offset, std::move(what));
    }
    SUpdateFileRefusal at(EProblem problem, std::size_t offset, std::string what) const
    {
        return refusal(problem, std::nullopt, std::nullopt, offset, std::move(what));
    }
    SUpdateFileRefusal fileProblem(EProblem problem, std::string what) const
    {
        return refusal(problem, std::nullopt, std::nullopt, std::nullopt, std::move(what));
    }

    const std::uint8_t* m_data;
    std::size_t m_length;
    CUpdateFileVerifier::CEventSink* m_sink;
    bool m_smpte = false;
    std::uint32_t m_track = 0;
    std::uint32_t m_event = 0;
    std::uint64_t m_sysExEvents = 0;

    bool m_open = false;
    std::uint32_t m_openTrack = 0;
    std::uint32_t m_openEvent = 0;
    std::size_t m_openOffset = 0;
};

} // namespace

std::string CUpdateFileVerifier::withThousands(std::uint64_t value)
{
    std::string digits = std::to_string(value);
    for (std::size_t i = digits.size(); i > 3; i -= 3) {
        digits.insert(i - 3, ",");
    }
    return digits;
}

std::optional<SUpdateFileRefusal> CUpdateFileVerifier::verify(const std::uint8_t* inData, std::size_t inLength,
                                                              CEventSink* ioSink)
{
    return CUpdateFileWalk(inData, inLength, ioSink).run();
}

std::string SUpdateFileRefusal::sentence() const
{
    std::string place;
    if (track) {
        place = "track " + std::to_string(*track);
        if (event) {
            place += ", event " + std::to_string(*event);
        }
        if (offset) {
            place += " at byte " + CUpdateFileVerifier::withThousands(*offset);
        }
    } else if (offset) {
        place = "at byte " + CUpdateFileVerifier::withThousands(*offset);
    }
    return place.empty() ? what : place + ": " + what;
}

std::string SUpdateFileRefusal::sentenceFor(const std::string& fileName) const
{
    return fileName + ": " + sentence();
}
