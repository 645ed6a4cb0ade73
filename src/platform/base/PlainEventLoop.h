#pragma once
// The main loop of the CLI and the tests. Tasks and timers run on whichever
// thread drives the loop (run, runUntilIdle, runFor, runUntil), which is the
// main thread by convention. Time is read from platform::clock(): under a
// clock whose time moves only when told (the tests' simulated one) the loop
// moves the clock to each timer's due time instead of waiting, so a 50 ms
// timer can be run for minutes in an instant.
// Install the clock before adding timers; due times are kept in its terms.

#include "platform/base/EventLoop.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>

namespace mirelo::platform {

class PlainEventLoop final : public EventLoop {
public:
    PlainEventLoop() = default;
    ~PlainEventLoop() override = default;
    PlainEventLoop(const PlainEventLoop&) = delete;
    PlainEventLoop& operator=(const PlainEventLoop&) = delete;

    void post(Task task) override;
    TimerId addTimer(std::chrono::nanoseconds delay, std::chrono::nanoseconds interval,
                     std::function<void()> fire) override;
    void removeTimer(TimerId id) override;

    // Runs queued tasks and timers already due, including tasks those queue,
    // until none is left. Never waits and never moves the clock.
    // Returns how many tasks and timer firings ran.
    std::size_t runUntilIdle();

    // Runs tasks and timers for the span of clock time. With the real clock it
    // waits (without spinning) for posts and timers; with a clock that moves
    // only when told it jumps from timer to timer and ends with the clock at
    // the span's end.
    void runFor(std::chrono::nanoseconds span);

    // Runs until `done` holds (checked after each task or firing) or the span
    // of clock time has passed. Returns whether `done` held. With a clock that
    // moves only when told, posts from other threads are awaited for at most
    // `realWait` of real time each before time jumps to the next timer.
    bool runUntil(const std::function<bool()>& done, std::chrono::nanoseconds span,
                  std::chrono::nanoseconds realWait = std::chrono::milliseconds(5));

    // Runs until quit() is called (from any thread, or from a task).
    void run();
    void quit();

    std::size_t pendingTasks() const;
    std::size_t timerCount() const;

private:
    struct Timer {
        std::uint64_t due; // in platform::clock() nanoseconds
        std::uint64_t interval;
        std::function<void()> fire;
    };

    // Runs one queued task or one due timer; false when neither was ready.
    bool runOne();
    // Earliest due time of any timer, or UINT64_MAX.
    std::uint64_t nextDue() const; // m_mutex held
    // Waits on the real clock until `deadline` (clock nanoseconds) or a post.
    void waitUntil(std::uint64_t deadline);

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Task> m_tasks;
    std::map<TimerId, Timer> m_timers;
    TimerId m_nextTimerId = 1;
    bool m_quit = false;
};

} // namespace mirelo::platform
