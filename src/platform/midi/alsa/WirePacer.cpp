#include "platform/midi/alsa/WirePacer.h"

#include "platform/base/Clock.h"

#include <algorithm>

namespace mirelo::midi::alsa {

void WirePacer::admit(std::size_t bytes)
{
    platform::Clock& clock = platform::clock();
    std::uint64_t now = clock.monotonicNanoseconds();
    for (std::uint64_t wait = delayBefore(bytes, now); wait > 0; wait = delayBefore(bytes, now)) {
        clock.sleep(wait / 1'000'000'000, wait % 1'000'000'000);
        now = clock.monotonicNanoseconds();
    }
    recordWrite(bytes, now);
}

std::uint64_t WirePacer::delayBefore(std::size_t bytes, std::uint64_t nowNs) const
{
    const std::uint64_t room = kOutstandingLimit - std::min<std::uint64_t>(bytes, kOutstandingLimit);
    const std::uint64_t allowedBacklogNs = room * kNanosecondsPerByte;
    const std::uint64_t backlogNs = m_drainedAtNs > nowNs ? m_drainedAtNs - nowNs : 0;
    return backlogNs > allowedBacklogNs ? backlogNs - allowedBacklogNs : 0;
}

void WirePacer::recordWrite(std::size_t bytes, std::uint64_t nowNs)
{
    m_drainedAtNs = std::max(m_drainedAtNs, nowNs) + bytes * kNanosecondsPerByte;
}

std::uint64_t WirePacer::outstandingBytes(std::uint64_t nowNs) const
{
    if (m_drainedAtNs <= nowNs) {
        return 0;
    }
    return (m_drainedAtNs - nowNs + kNanosecondsPerByte - 1) / kNanosecondsPerByte;
}

} // namespace mirelo::midi::alsa
