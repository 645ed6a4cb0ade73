#pragma once
// The main thread's loop: tasks posted from any thread run there in the order
// posted, and repeating timers fire there. Two implementations: a plain loop
// (CLI, tests) and the Qt loop (the application installs it).

#include "platform/base/MacTypes.h"

#include <chrono>
#include <functional>
#include <memory>

namespace mirelo::platform {

class EventLoop {
public:
    using Task = std::function<void()>;
    using TimerId = std::uint64_t;

    virtual ~EventLoop() = default;

    // Thread-safe: queue a task for the main thread; never runs it inline.
    virtual void post(Task task) = 0;

    // Main thread only. First firing after `delay`, then every `interval`
    // (0 = once). Returns an id that is never 0.
    virtual TimerId addTimer(std::chrono::nanoseconds delay, std::chrono::nanoseconds interval,
                             std::function<void()> fire) = 0;
    virtual void removeTimer(TimerId id) = 0;
};

// The loop of the main thread. Until one is installed, a PlainEventLoop is
// created on first use.
EventLoop& mainLoop();
// Installs a loop (the caller keeps ownership); null returns to the default.
void setMainLoop(EventLoop* loop);

} // namespace mirelo::platform

// The timer API in the shape the controller calls it.
struct OpaqueEventLoop;
struct OpaqueEventLoopTimer;
using EventLoopRef = OpaqueEventLoop*;
using EventLoopTimerRef = OpaqueEventLoopTimer*;
using EventTimerInterval = double; // seconds
using EventLoopTimerProcPtr = void (*)(EventLoopTimerRef timer, void* userData);
using EventLoopTimerUPP = EventLoopTimerProcPtr;
constexpr EventTimerInterval kEventDurationSecond = 1.0;
constexpr EventTimerInterval kEventDurationMillisecond = 0.001;

EventLoopRef GetMainEventLoop();
[[nodiscard]] OSStatus InstallEventLoopTimer(EventLoopRef loop, EventTimerInterval fireDelay,
                                             EventTimerInterval interval, EventLoopTimerUPP proc, void* userData,
                                             EventLoopTimerRef* outTimer);
[[nodiscard]] OSStatus RemoveEventLoopTimer(EventLoopTimerRef timer);
