#pragma once
// A request, raised on one thread, that another stop waiting: a transfer told
// to end (a signal, a window closed anyway) must not sleep until its next
// message is due before it notices. Sleeps on the simulated clock end at once
// anyway, so tests see the same order of events.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace mirelo::platform {

class Interrupt {
public:
    // Any thread; not from a signal handler.
    void raise();
    bool raised() const { return m_raised.load(std::memory_order_acquire); }

    // Sleeps on the installed clock for the span, ending early once raised.
    void sleep(std::uint64_t seconds, std::uint64_t nanoseconds) const;
    // Waits on the real clock for the span or until raised; true when raised.
    bool waitFor(std::chrono::nanoseconds span) const;

private:
    std::atomic<bool> m_raised{false};
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_wake;
};

} // namespace mirelo::platform
