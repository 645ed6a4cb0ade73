#pragma once
// The firmware of an update file as it goes out: every SysEx message of every
// track, in file order, with a copy of its bytes and the millisecond, counted
// from the start of sending, at which it is due. The transfer and the CLI's
// schedule listing both build it here, so what one shows the other sends.

#include <cstdint>
#include <deque>
#include <vector>

class CFirmwareSchedule {
public:
    enum class EResult {
        kOk,
        kUnparsable, // the SMF library refused the image
        kNoTrack,    // parsed, but there is no track to read the tempo map from
        kBadTempo    // a Set Tempo of track 0 is shorter than three bytes or zero
    };

    struct STempoEntry {
        std::uint32_t tick;
        std::uint32_t bpm; // 60,000,000 / microseconds per quarter, remainder dropped
    };

    struct SMessage {
        std::uint64_t sendTime; // milliseconds after the start of sending
        std::uint32_t track;
        std::uint32_t tick;
        std::vector<std::uint8_t> bytes;
    };

    using TempoMap = std::deque<STempoEntry>;

    // Replaces whatever was built before. On any result but kOk the schedule
    // is empty.
    EResult build(const std::uint8_t* inData, std::uint32_t inLength);

    // The send time of a message at inTick: the map is walked from its last
    // entry back, each stretch converted at its own tempo and rounded by
    // itself; ticks before the first entry count for nothing.
    static std::uint64_t sendTime(const TempoMap& inMap, double inDivision, std::uint32_t inTick);

    const std::deque<SMessage>& messages() const { return m_messages; }
    const TempoMap& tempoMap() const { return m_tempoMap; }
    std::uint16_t division() const { return m_division; }
    // The tick of the Set Tempo that made build() return kBadTempo.
    std::uint32_t badTempoTick() const { return m_badTempoTick; }
    std::uint64_t totalBytes() const;
    // The largest send time; 0 for an empty schedule.
    std::uint64_t duration() const;

private:
    void clear();

    std::uint16_t m_division = 0;
    std::uint32_t m_badTempoTick = 0;
    TempoMap m_tempoMap;
    std::deque<SMessage> m_messages;
};
