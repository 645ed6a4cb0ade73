#include "tools/instrument-emulator/DeviceBufferModel.h"

#include <algorithm>

namespace {
constexpr std::uint64_t kNsPerSecond = 1'000'000'000;
} // namespace

CDeviceBufferModel::CDeviceBufferModel(std::size_t capacityBytes, std::uint64_t bytesPerSecond,
                                       std::uint64_t blockProcessingNs)
    : m_capacity(capacityBytes),
      m_bytesPerSecond(std::max<std::uint64_t>(bytesPerSecond, 1)),
      m_blockProcessingNs(blockProcessingNs),
      m_minimumSpare(capacityBytes)
{
}

bool CDeviceBufferModel::arrive(std::size_t bytes, bool endsBlock, std::uint64_t timeNs)
{
    if (!m_started) {
        m_started = true;
        m_nowNs = timeNs;
    }
    advanceTo(timeNs);
    if (bytes == 0) {
        return m_level <= m_capacity;
    }
    m_level += bytes;
    m_waiting.push_back(SRun{bytes, endsBlock});
    if (m_level > m_capacity) {
        m_minimumSpare = 0;
        return false;
    }
    m_minimumSpare = std::min(m_minimumSpare, m_capacity - m_level);
    return true;
}

void CDeviceBufferModel::advanceTo(std::uint64_t timeNs)
{
    while (m_nowNs < timeNs) {
        if (m_busyUntilNs > m_nowNs) {
            m_nowNs = std::min(timeNs, m_busyUntilNs);
            continue;
        }
        if (m_waiting.empty()) {
            // An idle device cannot drain ahead.
            m_nowNs = timeNs;
            m_credit = 0;
            return;
        }
        SRun& front = m_waiting.front();
        const std::uint64_t owed = front.bytes * kNsPerSecond - m_credit;
        const std::uint64_t needNs = (owed + m_bytesPerSecond - 1) / m_bytesPerSecond;
        if (m_nowNs + needNs <= timeNs) {
            m_nowNs += needNs;
            m_level -= front.bytes;
            m_credit = needNs * m_bytesPerSecond - owed;
            if (front.endsBlock) {
                m_busyUntilNs = m_nowNs + m_blockProcessingNs;
                m_credit = 0;
            }
            m_waiting.pop_front();
            continue;
        }
        m_credit += (timeNs - m_nowNs) * m_bytesPerSecond;
        const std::uint64_t drained = m_credit / kNsPerSecond;
        m_credit %= kNsPerSecond;
        front.bytes -= drained;
        m_level -= drained;
        m_nowNs = timeNs;
    }
}
