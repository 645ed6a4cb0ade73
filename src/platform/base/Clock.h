#pragma once
// Time as the core reads it: a monotonic nanosecond count, the host time that
// stamps packets, wall-clock seconds, and sleeping. Tests install a simulated
// clock in which a sleep advances time at once.

#include <cstdint>
#include <ctime>

namespace mirelo::platform {

class Interrupt;

class Clock {
public:
    virtual ~Clock() = default;
    virtual std::uint64_t monotonicNanoseconds() = 0; // since an arbitrary start
    virtual std::uint64_t hostTime() = 0;             // packet timestamps, nanoseconds
    virtual std::time_t wallSeconds() = 0;            // seconds since the epoch
    virtual void sleep(std::uint64_t seconds, std::uint64_t nanoseconds) = 0;
    // The same sleep, ended early once the interrupt is raised. A clock whose
    // sleeps take no real time keeps its plain sleep.
    virtual void sleepUnless(std::uint64_t seconds, std::uint64_t nanoseconds, const Interrupt& interrupt);

    // True for a clock whose time moves only when told (the tests' simulated
    // one): an event loop with nothing to run moves it to the next timer with
    // advanceTo() instead of waiting for that timer.
    virtual bool movesOnlyWhenTold() const { return false; }
    // Moves such a clock to the instant (monotonic nanoseconds) unless it is
    // there or later already. A clock that runs by itself is not moved.
    virtual void advanceTo(std::uint64_t /*nanoseconds*/) {}
};

// The clock all time goes through; the real one unless a test installed another.
Clock& clock();
// Installs a clock (the caller keeps ownership); null returns to the real one.
void setClock(Clock* c);

} // namespace mirelo::platform

// The services in the shape the core calls them.
using AbsoluteTime = std::uint64_t;
struct Nanoseconds {
    std::uint64_t value;
};
AbsoluteTime UpTime();
Nanoseconds AbsoluteToNanoseconds(AbsoluteTime t);
std::uint64_t AudioGetCurrentHostTime();
// Sleeps for the span; returns 0. The remaining-time output is not supported.
int platformNanosleep(const struct timespec* request);
std::time_t platformTime();
