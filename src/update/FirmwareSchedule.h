#pragma once
// The firmware of an update file as it goes out: every SysEx message of every
// track, in file order, with a copy of its bytes and the millisecond, counted
// from the start of sending, at which it is due. The transfer and the CLI's
// schedule listing both build it here, so what one shows the other sends, and
// nothing is scheduled from a file the verification refuses.

#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "update/UpdateFileVerifier.h"

class CFirmwareSchedule {
public:
    enum class EResult {
        kOk,
        kRefused,    // the file may not be sent: refusal() says why and where
        kOutOfMemory // the schedule did not fit in memory
    };

    struct STempoEntry {
        std::uint32_t tick;
        std::uint32_t bpm; // 60,000,000 / microseconds per quarter, remainder dropped
    };

    struct SMessage {
        std::uint64_t sendTime;  // milliseconds after the start of sending at which it is due
        std::uint64_t leaveTime; // when it can leave: messages go in file order, so never before the one ahead
        std::uint32_t track;
        std::uint32_t tick;
        std::vector<std::uint8_t> bytes;
    };

    using TempoMap = std::deque<STempoEntry>;

    // Until track 0's first Set Tempo the tempo is 120 bpm (500,000 us per
    // quarter), held as an entry at tick 0.
    static constexpr std::uint32_t kDefaultBpm = 120;

    // Verifies the image and builds the schedule, replacing whatever was built
    // before. On any result but kOk the schedule is empty.
    [[nodiscard]] EResult build(const std::uint8_t* inData, std::uint32_t inLength);

    // The send time of a message at inTick: the map is walked from its last
    // entry back, each stretch converted at its own tempo and rounded by
    // itself; ticks before the first entry count for nothing.
    static std::uint64_t sendTime(const TempoMap& inMap, double inDivision, std::uint32_t inTick);
    // The send time of a message at inTick when the division counts SMPTE
    // frames: real time, whatever the tempo events say.
    static std::uint64_t smpteSendTime(double inTicksPerSecond, std::uint32_t inTick);
    // Ticks per second of an SMPTE division (high byte -24, -25, -29 or -30),
    // or none for a division in ticks per quarter note.
    static std::optional<double> smpteTicksPerSecond(std::uint16_t inDivision);

    const std::deque<SMessage>& messages() const { return m_messages; }
    const TempoMap& tempoMap() const { return m_tempoMap; }
    std::uint16_t division() const { return m_division; }
    // Why build() returned kRefused.
    const std::optional<SUpdateFileRefusal>& refusal() const { return m_refusal; }
    std::size_t size() const { return m_messages.size(); }
    bool empty() const { return m_messages.empty(); }
    std::uint64_t totalBytes() const;
    // When the last message leaves; 0 for an empty schedule.
    std::uint64_t duration() const;
    // Messages that leave after they are due because one ahead of them in the
    // file is due later.
    std::uint64_t lateByOrder() const;
    // The most any message leaves after it is due, in milliseconds.
    std::uint64_t mostLateByOrder() const
    {
        std::uint64_t most = 0;
        for (const SMessage& message : m_messages) {
            most = message.leaveTime - message.sendTime > most ? message.leaveTime - message.sendTime : most;
        }
        return most;
    }

private:
    class CCollector;

    void clear();

    std::uint16_t m_division = 0;
    std::optional<SUpdateFileRefusal> m_refusal;
    TempoMap m_tempoMap;
    std::deque<SMessage> m_messages;
};
