#pragma once
// The messages of a schedule copied out, for tests that index them or
// compare their bytes with vectors.

#include <cstdint>
#include <vector>

#include "schedule/FirmwareSchedule.h"

namespace mirelo::test {

struct SScheduledMessage {
    std::uint64_t sendTime;
    std::uint64_t leaveTime;
    std::uint32_t track;
    std::uint32_t tick;
    std::vector<std::uint8_t> bytes;
};

inline std::vector<SScheduledMessage> scheduledMessages(const CFirmwareSchedule& schedule)
{
    std::vector<SScheduledMessage> out;
    out.reserve(schedule.size());
    for (const CFirmwareSchedule::SMessage& m : schedule) {
        out.push_back({m.sendTime, m.leaveTime, m.track, m.tick, {m.bytes.begin(), m.bytes.end()}});
    }
    return out;
}

} // namespace mirelo::test
