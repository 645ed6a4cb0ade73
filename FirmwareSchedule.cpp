#include "FirmwareSchedule.h"

#include <algorithm>

#include "SMF/SMF.h"

namespace {

constexpr std::uint32_t kMicrosecondsPerMinute = 60'000'000;
constexpr std::uint32_t kTempoBytes = 3;

} // namespace

void CFirmwareSchedule::clear()
{
    m_division = 0;
    m_badTempoTick = 0;
    m_tempoMap.clear();
    m_messages.clear();
}

CFirmwareSchedule::EResult CFirmwareSchedule::build(const std::uint8_t* inData, std::uint32_t inLength)
{
    clear();

    CSMF smf;
    std::uint32_t consumed = 0;
    if (inData == nullptr || !smf.setData(inData, inLength, consumed)) {
        return EResult::kUnparsable;
    }
    const std::vector<CMidiTrack*>& tracks = smf.getTracks();
    if (tracks.empty() || tracks.front() == nullptr) {
        return EResult::kNoTrack;
    }
    m_division = smf.getHeader().getDivision();
    const double division = static_cast<double>(m_division);

    const CMidiTrack& tempoTrack = *tracks.front();
    for (std::uint32_t i = 0; i < tempoTrack.getEventCount(); ++i) {
        const CMidiEvent* event = tempoTrack.GetEvent(i);
        if (event == nullptr || event->getType() != CMidiEvent::kEventTypeMeta) {
            continue;
        }
        const CMidiMetaEvent* meta = event->getMetaData();
        if (meta == nullptr || meta->getType() != CMidiMetaEvent::kTypeTempo) {
            continue;
        }
        const std::uint8_t* p = meta->getParam();
        const std::uint32_t tempo = (p != nullptr && meta->getSize() >= kTempoBytes)
                                        ? (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2]
                                        : 0;
        if (tempo == 0) {
            // A firmware must never go out at a guessed pace.
            const std::uint32_t tick = event->time;
            clear();
            m_badTempoTick = tick;
            return EResult::kBadTempo;
        }
        m_tempoMap.push_back(STempoEntry{event->time, kMicrosecondsPerMinute / tempo});
    }

    for (std::uint32_t t = 0; t < tracks.size(); ++t) {
        const CMidiTrack* track = tracks[t];
        if (track == nullptr) {
            continue;
        }
        for (std::uint32_t i = 0; i < track->getEventCount(); ++i) {
            const CMidiEvent* event = track->GetEvent(i);
            if (event == nullptr || event->getType() != CMidiEvent::kEventTypeSysEx) {
                continue;
            }
            const CMidiSysExEvent* sysEx = event->getSysExData();
            SMessage message{sendTime(m_tempoMap, division, event->time), t, event->time, {}};
            if (sysEx != nullptr && sysEx->getParam() != nullptr) {
                message.bytes.assign(sysEx->getParam(), sysEx->getParam() + sysEx->getSize());
            }
            m_messages.push_back(std::move(message));
        }
    }
    return EResult::kOk;
}

std::uint64_t CFirmwareSchedule::sendTime(const TempoMap& inMap, double inDivision, std::uint32_t inTick)
{
    std::uint64_t ms = 0;
    std::uint32_t upper = inTick;
    for (auto entry = inMap.rbegin(); entry != inMap.rend(); ++entry) {
        if (entry->tick >= inTick) {
            continue;
        }
        // The order of operations fixes the rounding; keep it.
        const double segment =
            ((60000.0 / static_cast<double>(entry->bpm)) / inDivision) * static_cast<double>(upper - entry->tick) +
            0.5;
        ms += static_cast<std::uint64_t>(segment);
        upper = entry->tick;
    }
    return ms;
}

std::uint64_t CFirmwareSchedule::totalBytes() const
{
    std::uint64_t total = 0;
    for (const SMessage& message : m_messages) {
        total += message.bytes.size();
    }
    return total;
}

std::uint64_t CFirmwareSchedule::duration() const
{
    std::uint64_t latest = 0;
    for (const SMessage& message : m_messages) {
        latest = std::max(latest, message.sendTime);
    }
    return latest;
}
