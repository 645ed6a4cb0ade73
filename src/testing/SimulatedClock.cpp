#include "testing/SimulatedClock.h"

#include <algorithm>
#include <numeric>
#include <utility>

namespace mirelo::platform {

namespace {
constexpr std::uint64_t kNanosecondsPerSecond = 1'000'000'000ULL;
}

SimulatedClock::SimulatedClock(std::uint64_t startNanoseconds, std::time_t startWallSeconds)
    : m_now(startNanoseconds), m_start(startNanoseconds), m_startWall(startWallSeconds)
{
}

std::uint64_t SimulatedClock::monotonicNanoseconds()
{
    std::lock_guard lock(m_mutex);
    return m_now;
}

std::uint64_t SimulatedClock::hostTime()
{
    return monotonicNanoseconds();
}

std::time_t SimulatedClock::wallSeconds()
{
    std::lock_guard lock(m_mutex);
    return m_startWall + static_cast<std::time_t>((m_now - m_start) / kNanosecondsPerSecond);
}

void SimulatedClock::sleep(std::uint64_t seconds, std::uint64_t nanoseconds)
{
    std::uint64_t span = seconds * kNanosecondsPerSecond + nanoseconds;
    SleepHook hook;
    {
        std::lock_guard lock(m_mutex);
        if (m_earlyWakeUps > 0) {
            --m_earlyWakeUps;
            span = span / 100 * m_earlyWakePercent + span % 100 * m_earlyWakePercent / 100;
        }
        m_now += span;
        m_sleeps.push_back(span);
        hook = m_sleepHook;
    }
    if (hook) {
        hook(span);
    }
}

void SimulatedClock::wakeEarly(std::uint32_t count, std::uint32_t percent)
{
    std::lock_guard lock(m_mutex);
    m_earlyWakeUps = count;
    m_earlyWakePercent = std::min<std::uint32_t>(percent, 100);
}

void SimulatedClock::advance(std::uint64_t nanoseconds)
{
    std::lock_guard lock(m_mutex);
    m_now += nanoseconds;
}

void SimulatedClock::advanceTo(std::uint64_t nanoseconds)
{
    std::lock_guard lock(m_mutex);
    if (nanoseconds > m_now) {
        m_now = nanoseconds;
    }
}

std::vector<std::uint64_t> SimulatedClock::sleeps() const
{
    std::lock_guard lock(m_mutex);
    return m_sleeps;
}

std::uint64_t SimulatedClock::totalSleptNanoseconds() const
{
    std::lock_guard lock(m_mutex);
    return std::accumulate(m_sleeps.begin(), m_sleeps.end(), std::uint64_t{0});
}

void SimulatedClock::clearSleeps()
{
    std::lock_guard lock(m_mutex);
    m_sleeps.clear();
}

void SimulatedClock::setSleepHook(SleepHook hook)
{
    std::lock_guard lock(m_mutex);
    m_sleepHook = std::move(hook);
}

} // namespace mirelo::platform
