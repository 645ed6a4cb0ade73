#pragma once
// A clock for tests: time stands still until a sleep or an explicit advance
// moves it, so hours of pacing run in microseconds and always the same way.
// Every sleep is recorded. Safe to use from several threads.

#include "platform/base/Clock.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace mirelo::platform {

class SimulatedClock final : public Clock {
public:
    static constexpr std::uint64_t kDefaultStartNanoseconds = 1'000'000'000ULL;
    static constexpr std::time_t kDefaultStartWallSeconds = 1'700'000'000;

    // Called after each sleep, on the sleeping thread, with the span slept
    // (lets a test act "during" a transfer, e.g. unplug a device).
    using SleepHook = std::function<void(std::uint64_t sleptNanoseconds)>;

    explicit SimulatedClock(std::uint64_t startNanoseconds = kDefaultStartNanoseconds,
                            std::time_t startWallSeconds = kDefaultStartWallSeconds);

    std::uint64_t monotonicNanoseconds() override;
    std::uint64_t hostTime() override;
    std::time_t wallSeconds() override;
    // Advances time by the span at once and records it; see wakeEarly().
    void sleep(std::uint64_t seconds, std::uint64_t nanoseconds) override;

    // The next `count` sleeps wake after `percent` of the span asked (0 is a
    // spurious wake-up that returns at once), as a real sleep may when a
    // signal interrupts it. Later sleeps last their whole span again.
    void wakeEarly(std::uint32_t count, std::uint32_t percent);

    bool movesOnlyWhenTold() const override { return true; }
    // Moves time forward without recording a sleep (event loops, tests).
    void advance(std::uint64_t nanoseconds);
    // Moves time to `nanoseconds` unless it is already there or later.
    void advanceTo(std::uint64_t nanoseconds) override;

    std::vector<std::uint64_t> sleeps() const; // each sleep's span as slept, in nanoseconds, in order
    std::uint64_t totalSleptNanoseconds() const;
    void clearSleeps();
    void setSleepHook(SleepHook hook);

private:
    mutable std::mutex m_mutex;
    std::uint64_t m_now;
    std::uint64_t m_start;
    std::time_t m_startWall;
    std::vector<std::uint64_t> m_sleeps;
    SleepHook m_sleepHook;
    std::uint32_t m_earlyWakeUps = 0;
    std::uint32_t m_earlyWakePercent = 0;
};

} // namespace mirelo::platform
