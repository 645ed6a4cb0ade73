#pragma once
// The receive side of a small instrument: bytes land in a buffer of fixed
// size, and the firmware takes them out at its own pace, pausing after each
// data block while it stores the block. Whatever arrives while the buffer is
// full is lost, which is what pacing on the sender's side must prevent.

#include <cstddef>
#include <cstdint>
#include <deque>

class CDeviceBufferModel {
public:
    CDeviceBufferModel(std::size_t capacityBytes, std::uint64_t bytesPerSecond, std::uint64_t blockProcessingNs);

    // Bytes that arrived together at `timeNs` (times never go back);
    // `endsBlock` when their last byte completes a data block. False when
    // they did not fit: the buffer overran.
    [[nodiscard]] bool arrive(std::size_t bytes, bool endsBlock, std::uint64_t timeNs);

    std::size_t capacity() const { return m_capacity; }
    std::size_t level() const { return m_level; }
    // The least free space seen just after an arrival.
    std::size_t minimumSpare() const { return m_minimumSpare; }

private:
    struct SRun {
        std::size_t bytes;
        bool endsBlock;
    };

    void advanceTo(std::uint64_t timeNs);

    std::size_t m_capacity;
    std::uint64_t m_bytesPerSecond;
    std::uint64_t m_blockProcessingNs;
    std::deque<SRun> m_waiting;
    std::size_t m_level = 0;
    std::size_t m_minimumSpare;
    bool m_started = false;
    std::uint64_t m_nowNs = 0;
    std::uint64_t m_busyUntilNs = 0;
    // Draining progress short of a whole byte, in bytes x 10^9.
    std::uint64_t m_credit = 0;
};
