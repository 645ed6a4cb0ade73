#include "platform/base/Clock.h"

#include "platform/base/Interrupt.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace mirelo::platform {
namespace {

class RealClock final : public Clock {
public:
    std::uint64_t monotonicNanoseconds() override
    {
        return toNanoseconds(std::chrono::steady_clock::now().time_since_epoch());
    }
    std::uint64_t hostTime() override { return monotonicNanoseconds(); }
    std::time_t wallSeconds() override { return std::time(nullptr); }
    void sleep(std::uint64_t seconds, std::uint64_t nanoseconds) override
    {
        std::this_thread::sleep_for(std::chrono::seconds(seconds) + std::chrono::nanoseconds(nanoseconds));
    }
    void sleepUnless(std::uint64_t seconds, std::uint64_t nanoseconds, const Interrupt& interrupt) override
    {
        interrupt.waitFor(std::chrono::seconds(seconds) + std::chrono::nanoseconds(nanoseconds));
    }

private:
    static std::uint64_t toNanoseconds(std::chrono::steady_clock::duration d)
    {
        return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(d).count());
    }
};

RealClock s_realClock;
std::atomic<Clock*> s_installedClock{nullptr};

} // namespace

void Clock::sleepUnless(std::uint64_t seconds, std::uint64_t nanoseconds, const Interrupt& /*interrupt*/)
{
    sleep(seconds, nanoseconds);
}

Clock& clock()
{
    Clock* installed = s_installedClock.load(std::memory_order_acquire);
    return installed ? *installed : s_realClock;
}

void setClock(Clock* c)
{
    s_installedClock.store(c, std::memory_order_release);
}

} // namespace mirelo::platform

AbsoluteTime UpTime()
{
    return mirelo::platform::clock().monotonicNanoseconds();
}

Nanoseconds AbsoluteToNanoseconds(AbsoluteTime t)
{
    // Absolute time is kept in nanoseconds already.
    return Nanoseconds{t};
}

std::uint64_t AudioGetCurrentHostTime()
{
    return mirelo::platform::clock().hostTime();
}

int platformNanosleep(const struct timespec* request)
{
    constexpr long kNanosecondsPerSecond = 1'000'000'000L;
    if (request == nullptr || request->tv_sec < 0 || request->tv_nsec < 0 ||
        request->tv_nsec >= kNanosecondsPerSecond) {
        return -1;
    }
    mirelo::platform::clock().sleep(static_cast<std::uint64_t>(request->tv_sec),
                                    static_cast<std::uint64_t>(request->tv_nsec));
    return 0;
}

std::time_t platformTime()
{
    return mirelo::platform::clock().wallSeconds();
}
