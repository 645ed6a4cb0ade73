#pragma once
// The firmware of an update file as it goes out: every SysEx message of every
// track, in file order, with a copy of its bytes and the millisecond, counted
// from the start of sending, at which it is due. The transfer and the CLI's
// schedule listing both build it here, so what one shows the other sends, and
// nothing is scheduled from a file the verification refuses.
//
// An update may hold millions of messages of a few bytes, so the schedule is
// one compact record stream (CMessageStream) read front to back, not an
// object per message: it takes about as much memory as the file itself.

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <span>
#include <vector>

#include "schedule/MessageStream.h"
#include "schedule/UpdateFileVerifier.h"

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

    // One message as the schedule hands it out; bytes point into the
    // schedule and live as long as it does.
    struct SMessage {
        std::uint64_t sendTime = 0;  // milliseconds after the start of sending at which it is due
        std::uint64_t leaveTime = 0; // when it can leave: messages go in file order, so never before the one ahead
        std::uint32_t track = 0;
        std::uint32_t tick = 0;
        std::span<const std::uint8_t> bytes;
    };

    // Walks the messages in sending order.
    class const_iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = SMessage;
        using difference_type = std::ptrdiff_t;
        using pointer = const SMessage*;
        using reference = const SMessage&;

        const_iterator() = default;
        reference operator*() const { return m_message; }
        pointer operator->() const { return &m_message; }
        const_iterator& operator++();
        const_iterator operator++(int)
        {
            const_iterator before = *this;
            ++*this;
            return before;
        }
        bool operator==(const const_iterator& other) const { return m_index == other.m_index; }

    private:
        friend class CFirmwareSchedule;
        const_iterator(const CFirmwareSchedule& schedule, std::size_t index);
        void load();

        const CFirmwareSchedule* m_schedule = nullptr;
        std::size_t m_index = 0;
        CMessageStream::CReader m_reader;
        std::size_t m_nextTrackStart = 0;
        SMessage m_message;
    };

    using TempoMap = std::vector<STempoEntry>;

    // Until track 0's first Set Tempo the tempo is 120 bpm (500,000 us per
    // quarter), held as an entry at tick 0.
    static constexpr std::uint32_t kDefaultBpm = 120;

    // Verifies the image and builds the schedule, replacing whatever was built
    // before. On any result but kOk the schedule is empty.
    [[nodiscard]] EResult build(const std::uint8_t* inData, std::uint32_t inLength);

    // The send time of a message at inTick, as the rule states it: the map is
    // walked from its last entry back, each stretch converted at its own tempo
    // and rounded by itself; ticks before the first entry count for nothing.
    // build() gets the same numbers in one pass over the map.
    static std::uint64_t sendTime(const TempoMap& inMap, double inDivision, std::uint32_t inTick);
    // The send time of a message at inTick when the division counts SMPTE
    // frames: real time, whatever the tempo events say.
    static std::uint64_t smpteSendTime(double inTicksPerSecond, std::uint32_t inTick);
    // Ticks per second of an SMPTE division (high byte -24, -25, -29 or -30),
    // or none for a division in ticks per quarter note.
    static std::optional<double> smpteTicksPerSecond(std::uint16_t inDivision);

    const_iterator begin() const { return const_iterator(*this, 0); }
    const_iterator end() const { return const_iterator(*this, m_size); }
    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }

    const TempoMap& tempoMap() const { return m_tempoMap; }
    std::uint16_t division() const { return m_division; }
    // Why build() returned kRefused.
    const std::optional<SUpdateFileRefusal>& refusal() const { return m_refusal; }
    std::uint64_t totalBytes() const { return m_totalBytes; }
    // When the last message leaves; 0 for an empty schedule.
    std::uint64_t duration() const { return m_duration; }
    // Messages that leave after they are due because one ahead of them in the
    // file is due later.
    std::uint64_t lateByOrder() const { return m_lateByOrder; }
    // The most any message leaves after it is due, for that reason, in ms.
    std::uint64_t mostLateByOrder() const { return m_mostLateByOrder; }

private:
    class CCollector;

    // Where a track's messages begin in the record stream.
    struct STrackStart {
        std::size_t firstMessage;
        std::uint32_t track;
    };

    void clear();

    std::uint16_t m_division = 0;
    std::optional<SUpdateFileRefusal> m_refusal;
    TempoMap m_tempoMap;
    CMessageStream m_records;
    std::vector<STrackStart> m_trackStarts;
    std::size_t m_size = 0;
    std::uint64_t m_totalBytes = 0;
    std::uint64_t m_duration = 0;
    std::uint64_t m_lateByOrder = 0;
    std::uint64_t m_mostLateByOrder = 0;
};
