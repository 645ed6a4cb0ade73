#include "update/FirmwareSchedule.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "SMF/MidiEvent.h"
#include "SMF/SMFUtil.h"

namespace {

constexpr std::uint32_t kMicrosecondsPerMinute = 60'000'000;
constexpr std::uint32_t kTempoBytes = 3;
constexpr std::size_t kDivisionOffset = 12;

std::uint32_t tempoOf(const CMidiMetaEvent& meta)
{
    const std::uint8_t* p = meta.getParam();
    if (p == nullptr || meta.getSize() < kTempoBytes) {
        return 0;
    }
    return (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
}

} // namespace

// Collects, as the verification reads the file, what the schedule is made
// of: track 0's tempo changes and a copy of every SysEx message. Reading the
// events once, straight from the image, keeps no parsed copy of the file
// beside the schedule.
class CFirmwareSchedule::CCollector final : public CUpdateFileVerifier::CEventSink {
public:
    explicit CCollector(CFirmwareSchedule& ioSchedule) : m_schedule(ioSchedule) {}

    void onEvent(std::uint32_t inTrack, const CMidiEvent& inEvent) override
    {
        if (const CMidiSysExEvent* sysEx = inEvent.getSysExData()) {
            m_schedule.m_messages.push_back(
                SMessage{0, 0, inTrack, inEvent.time,
                         std::vector<std::uint8_t>(sysEx->getParam(), sysEx->getParam() + sysEx->getSize())});
            return;
        }
        const CMidiMetaEvent* meta = inEvent.getMetaData();
        if (inTrack == 0 && meta != nullptr && meta->getType() == CMidiMetaEvent::kTypeTempo) {
            if (m_schedule.m_tempoMap.empty() && inEvent.time != 0) {
                m_schedule.m_tempoMap.push_back(STempoEntry{0, kDefaultBpm});
            }
            // The verification refuses a zero or short tempo of track 0.
            m_schedule.m_tempoMap.push_back(
                STempoEntry{inEvent.time, kMicrosecondsPerMinute / std::max(tempoOf(*meta), 1u)});
        }
    }

private:
    CFirmwareSchedule& m_schedule;
};

void CFirmwareSchedule::clear()
{
    m_division = 0;
    m_refusal.reset();
    m_tempoMap.clear();
    m_messages.clear();
}

CFirmwareSchedule::EResult CFirmwareSchedule::build(const std::uint8_t* inData, std::uint32_t inLength)
{
    clear();
    try {
        CCollector collector(*this);
        if ((m_refusal = CUpdateFileVerifier::verify(inData, inLength, &collector))) {
            m_tempoMap.clear();
            m_messages.clear();
            return EResult::kRefused;
        }
        m_division = readBigEndian16(inData + kDivisionOffset);
        const std::optional<double> ticksPerSecond = smpteTicksPerSecond(m_division);
        if (ticksPerSecond) {
            m_tempoMap.clear();
        } else if (m_tempoMap.empty()) {
            m_tempoMap.push_back(STempoEntry{0, kDefaultBpm});
        }
        const double division = static_cast<double>(m_division);
        std::uint64_t leaveTime = 0;
        for (SMessage& message : m_messages) {
            message.sendTime = ticksPerSecond ? smpteSendTime(*ticksPerSecond, message.tick)
                                              : sendTime(m_tempoMap, division, message.tick);
            leaveTime = std::max(leaveTime, message.sendTime);
            message.leaveTime = leaveTime;
        }
        return EResult::kOk;
    } catch (const std::bad_alloc&) {
        // A worker thread must not end the process: the caller says it.
        clear();
        return EResult::kOutOfMemory;
    }
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

std::uint64_t CFirmwareSchedule::smpteSendTime(double inTicksPerSecond, std::uint32_t inTick)
{
    return static_cast<std::uint64_t>(std::floor(static_cast<double>(inTick) * 1000.0 / inTicksPerSecond + 0.5));
}

std::optional<double> CFirmwareSchedule::smpteTicksPerSecond(std::uint16_t inDivision)
{
    const double ticksPerFrame = inDivision & 0xFFu;
    switch (inDivision >> 8) {
    case 0xE8:
        return 24.0 * ticksPerFrame;
    case 0xE7:
        return 25.0 * ticksPerFrame;
    case 0xE3:
        return 29.97 * ticksPerFrame;
    case 0xE2:
        return 30.0 * ticksPerFrame;
    default:
        return std::nullopt;
    }
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
    return m_messages.empty() ? 0 : m_messages.back().leaveTime;
}

std::uint64_t CFirmwareSchedule::lateByOrder() const
{
    return static_cast<std::uint64_t>(std::count_if(m_messages.begin(), m_messages.end(), [](const SMessage& m) {
        return m.leaveTime > m.sendTime;
    }));
}
