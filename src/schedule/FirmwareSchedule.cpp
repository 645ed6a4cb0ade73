#include "schedule/FirmwareSchedule.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "SMF/MidiEvent.h"
#include "SMF/SMFUtil.h"

namespace {

constexpr std::uint32_t kMicrosecondsPerMinute = 60'000'000;
constexpr std::uint32_t kTempoBytes = 3;
constexpr std::size_t kDivisionOffset = 12;
constexpr std::uint32_t kHeaderChunkSize = 14;

std::uint32_t tempoOf(const CMidiMetaEvent& meta)
{
    const std::uint8_t* p = meta.getParam();
    if (p == nullptr || meta.getSize() < kTempoBytes) {
        return 0;
    }
    return (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
}

// One stretch of ticks at one tempo, in whole milliseconds.
std::uint64_t stretchMilliseconds(std::uint32_t bpm, double division, std::uint32_t ticks)
{
    // The order of operations fixes the rounding; keep it.
    const double segment = ((60000.0 / static_cast<double>(bpm)) / division) * static_cast<double>(ticks) + 0.5;
    return static_cast<std::uint64_t>(segment);
}

} // namespace

// Builds the schedule as the verification reads the file: track 0's tempo
// changes and every SysEx message, each message timed the moment it is read.
// Reading the events once, straight from the image, keeps no parsed copy of
// the file beside the schedule.
//
// Timing needs no second pass: a track's events come in tick order, so when a
// message of track 0 is read every tempo change before its tick has been
// read too, and the map only ever grows past it. Each entry keeps the time at
// which its stretch begins, so a message's time is that plus one stretch.
class CFirmwareSchedule::CCollector final : public CUpdateFileVerifier::CEventSink {
public:
    CCollector(CFirmwareSchedule& ioSchedule, std::uint16_t inDivision)
        : m_schedule(ioSchedule), m_division(inDivision), m_ticksPerSecond(smpteTicksPerSecond(inDivision))
    {
        if (!m_ticksPerSecond) {
            m_schedule.m_tempoMap.push_back(STempoEntry{0, kDefaultBpm});
            m_stretchStart.push_back(0);
        }
    }

    void onEvent(std::uint32_t inTrack, const CMidiEvent& inEvent) override
    {
        if (const CMidiSysExEvent* sysEx = inEvent.getSysExData()) {
            addMessage(inTrack, inEvent.time, {sysEx->getParam(), sysEx->getSize()});
            return;
        }
        const CMidiMetaEvent* meta = inEvent.getMetaData();
        if (inTrack == 0 && !m_ticksPerSecond && meta != nullptr && meta->getType() == CMidiMetaEvent::kTypeTempo) {
            // The verification refuses a zero or short tempo of track 0.
            addTempo(inEvent.time, kMicrosecondsPerMinute / std::max(tempoOf(*meta), 1u));
        }
    }

private:
    void addTempo(std::uint32_t tick, std::uint32_t bpm)
    {
        TempoMap& map = m_schedule.m_tempoMap;
        // A Set Tempo at tick 0 replaces the 120 bpm that holds until the first one.
        if (!m_tempoSeen && tick == 0) {
            map.front().bpm = bpm;
            m_tempoSeen = true;
            return;
        }
        m_tempoSeen = true;
        const STempoEntry& last = map.back();
        const std::uint64_t start = m_stretchStart.back() + stretchMilliseconds(last.bpm, m_division, tick - last.tick);
        m_stretchStart.push_back(start);
        map.push_back(STempoEntry{tick, bpm});
    }

    // The walk of sendTime(), from the last entry before the tick back to the
    // first, with the stretches before that entry already summed.
    std::uint64_t timeAt(std::uint32_t tick)
    {
        const TempoMap& map = m_schedule.m_tempoMap;
        // Ticks within a track never decrease, so neither does the entry in force.
        const auto after = std::partition_point(map.begin() + static_cast<std::ptrdiff_t>(m_entriesBefore), map.end(),
                                                [tick](const STempoEntry& e) { return e.tick < tick; });
        m_entriesBefore = static_cast<std::size_t>(after - map.begin());
        if (m_entriesBefore == 0) {
            return 0;
        }
        const std::size_t entry = m_entriesBefore - 1;
        return m_stretchStart[entry] + stretchMilliseconds(map[entry].bpm, m_division, tick - map[entry].tick);
    }

    void addMessage(std::uint32_t track, std::uint32_t tick, std::span<const std::uint8_t> bytes)
    {
        CFirmwareSchedule& s = m_schedule;
        if (s.m_trackStarts.empty() || s.m_trackStarts.back().track != track) {
            s.m_trackStarts.push_back(STrackStart{s.m_size, track});
            m_trackTick = 0;
            m_trackTime = 0;
            m_entriesBefore = 0;
        }
        const std::uint64_t time = m_ticksPerSecond ? smpteSendTime(*m_ticksPerSecond, tick) : timeAt(tick);
        // More ticks never take less time, so within a track both steps are
        // never negative.
        s.m_records.append(tick - m_trackTick, time - m_trackTime, bytes);
        m_trackTick = tick;
        m_trackTime = time;

        ++s.m_size;
        s.m_totalBytes += bytes.size();
        const std::uint64_t leave = std::max(s.m_duration, time);
        s.m_duration = leave;
        if (leave > time) {
            ++s.m_lateByOrder;
            s.m_mostLateByOrder = std::max(s.m_mostLateByOrder, leave - time);
        }
    }

    CFirmwareSchedule& m_schedule;
    const double m_division;
    const std::optional<double> m_ticksPerSecond;
    // For each tempo entry, the milliseconds from tick 0 to its tick.
    std::vector<std::uint64_t> m_stretchStart;
    bool m_tempoSeen = false;
    std::size_t m_entriesBefore = 0; // tempo entries before the last message's tick
    std::uint32_t m_trackTick = 0;
    std::uint64_t m_trackTime = 0;
};

void CFirmwareSchedule::clear()
{
    m_division = 0;
    m_refusal.reset();
    m_tempoMap.clear();
    m_tempoMap.shrink_to_fit();
    m_records.clear();
    m_trackStarts.clear();
    m_trackStarts.shrink_to_fit();
    m_size = 0;
    m_totalBytes = 0;
    m_duration = 0;
    m_lateByOrder = 0;
    m_mostLateByOrder = 0;
}

CFirmwareSchedule::EResult CFirmwareSchedule::build(const std::uint8_t* inData, std::uint32_t inLength)
{
    clear();
    try {
        // The verification refuses a header too short for a division before
        // it reads any event.
        const std::uint16_t division =
            inData != nullptr && inLength >= kHeaderChunkSize ? readBigEndian16(inData + kDivisionOffset) : 0;
        std::optional<SUpdateFileRefusal> refusal;
        {
            CCollector collector(*this, division);
            refusal = CUpdateFileVerifier::verify(inData, inLength, &collector);
        }
        if (refusal) {
            clear();
            m_refusal = std::move(refusal);
            return EResult::kRefused;
        }
        m_division = division;
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
        ms += stretchMilliseconds(entry->bpm, inDivision, upper - entry->tick);
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

CFirmwareSchedule::const_iterator::const_iterator(const CFirmwareSchedule& schedule, std::size_t index)
    : m_schedule(&schedule), m_index(index)
{
    if (m_index < schedule.m_size) {
        m_reader = CMessageStream::CReader(schedule.m_records);
        load();
    }
}

CFirmwareSchedule::const_iterator& CFirmwareSchedule::const_iterator::operator++()
{
    if (++m_index < m_schedule->m_size) {
        load();
    }
    return *this;
}

void CFirmwareSchedule::const_iterator::load()
{
    const std::vector<STrackStart>& starts = m_schedule->m_trackStarts;
    if (m_nextTrackStart < starts.size() && starts[m_nextTrackStart].firstMessage == m_index) {
        m_message.track = starts[m_nextTrackStart].track;
        m_message.tick = 0;
        m_message.sendTime = 0;
        ++m_nextTrackStart;
    }
    const CMessageStream::SRecord record = m_reader.next();
    m_message.tick += static_cast<std::uint32_t>(record.tickStep);
    m_message.sendTime += record.millisecondStep;
    m_message.leaveTime = std::max(m_message.leaveTime, m_message.sendTime);
    m_message.bytes = record.bytes;
}
