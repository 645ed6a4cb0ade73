#include "platform/base/PlainEventLoop.h"

#include "platform/base/Clock.h"

#include <limits>
#include <utility>

namespace mirelo::platform {
namespace {

constexpr std::uint64_t kNever = std::numeric_limits<std::uint64_t>::max();

std::uint64_t now()
{
    return clock().monotonicNanoseconds();
}

std::uint64_t toCount(std::chrono::nanoseconds span)
{
    return span.count() > 0 ? static_cast<std::uint64_t>(span.count()) : 0;
}

std::uint64_t saturatingAdd(std::uint64_t a, std::uint64_t b)
{
    return b > kNever - a ? kNever : a + b;
}

} // namespace

void PlainEventLoop::post(Task task)
{
    {
        std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }
    m_wake.notify_all();
}

EventLoop::TimerId PlainEventLoop::addTimer(std::chrono::nanoseconds delay, std::chrono::nanoseconds interval,
                                            std::function<void()> fire)
{
    const std::uint64_t due = saturatingAdd(now(), toCount(delay));
    TimerId id = 0;
    {
        std::lock_guard lock(m_mutex);
        id = m_nextTimerId++;
        m_timers.emplace(id, Timer{due, toCount(interval), std::move(fire)});
    }
    m_wake.notify_all();
    return id;
}

void PlainEventLoop::removeTimer(TimerId id)
{
    std::lock_guard lock(m_mutex);
    m_timers.erase(id);
}

std::uint64_t PlainEventLoop::nextDue() const
{
    std::uint64_t earliest = kNever;
    for (const auto& [id, timer] : m_timers) {
        if (timer.due < earliest) {
            earliest = timer.due;
        }
    }
    return earliest;
}

bool PlainEventLoop::runOne()
{
    std::function<void()> work;
    {
        std::lock_guard lock(m_mutex);
        if (!m_tasks.empty()) {
            work = std::move(m_tasks.front());
            m_tasks.pop_front();
        } else {
            const std::uint64_t current = now();
            auto due = m_timers.end();
            for (auto it = m_timers.begin(); it != m_timers.end(); ++it) {
                if (it->second.due <= current && (due == m_timers.end() || it->second.due < due->second.due)) {
                    due = it;
                }
            }
            if (due == m_timers.end()) {
                return false;
            }
            if (due->second.interval == 0) {
                work = std::move(due->second.fire);
                m_timers.erase(due);
            } else {
                work = due->second.fire;
                // A late loop does not fire a burst to catch up.
                std::uint64_t next = due->second.due + due->second.interval;
                if (next <= current) {
                    next = current + due->second.interval;
                }
                due->second.due = next;
            }
        }
    }
    if (work) {
        work();
    }
    return true;
}

void PlainEventLoop::waitUntil(std::uint64_t deadline)
{
    std::unique_lock lock(m_mutex);
    auto woken = [this] { return !m_tasks.empty() || m_quit; };
    if (deadline == kNever) {
        m_wake.wait(lock, woken);
        return;
    }
    const std::uint64_t current = now();
    if (deadline <= current) {
        return;
    }
    m_wake.wait_for(lock, std::chrono::nanoseconds(deadline - current), woken);
}

std::size_t PlainEventLoop::runUntilIdle()
{
    std::size_t ran = 0;
    while (runOne()) {
        ++ran;
    }
    return ran;
}

void PlainEventLoop::runFor(std::chrono::nanoseconds span)
{
    const std::uint64_t deadline = saturatingAdd(now(), toCount(span));
    for (;;) {
        runUntilIdle();
        if (now() >= deadline) {
            return;
        }
        std::uint64_t wakeAt = deadline;
        {
            std::lock_guard lock(m_mutex);
            wakeAt = std::min(nextDue(), deadline);
        }
        if (clock().movesOnlyWhenTold()) {
            clock().advanceTo(wakeAt);
        } else {
            waitUntil(wakeAt);
        }
    }
}

bool PlainEventLoop::runUntil(const std::function<bool()>& done, std::chrono::nanoseconds span,
                              std::chrono::nanoseconds realWait)
{
    const std::uint64_t deadline = saturatingAdd(now(), toCount(span));
    for (;;) {
        if (done()) {
            return true;
        }
        if (runOne()) {
            continue;
        }
        if (now() >= deadline) {
            return done();
        }
        std::unique_lock lock(m_mutex);
        const std::uint64_t wakeAt = std::min(nextDue(), deadline);
        if (clock().movesOnlyWhenTold()) {
            // Give other threads a moment to post before time jumps ahead.
            if (!m_wake.wait_for(lock, realWait, [this] { return !m_tasks.empty(); })) {
                lock.unlock();
                clock().advanceTo(wakeAt);
            }
        } else {
            lock.unlock();
            waitUntil(wakeAt);
        }
    }
}

void PlainEventLoop::run()
{
    for (;;) {
        {
            std::lock_guard lock(m_mutex);
            if (m_quit) {
                m_quit = false;
                return;
            }
        }
        if (runOne()) {
            continue;
        }
        Clock& time = clock();
        const bool manual = time.movesOnlyWhenTold();
        std::unique_lock lock(m_mutex);
        const std::uint64_t wakeAt = nextDue();
        auto woken = [this] { return !m_tasks.empty() || m_quit; };
        if (manual && wakeAt != kNever) {
            if (!m_wake.wait_for(lock, std::chrono::milliseconds(5), woken)) {
                lock.unlock();
                time.advanceTo(wakeAt);
            }
        } else if (manual) {
            m_wake.wait(lock, woken);
        } else {
            lock.unlock();
            waitUntil(wakeAt);
        }
    }
}

void PlainEventLoop::quit()
{
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_all();
}

std::size_t PlainEventLoop::pendingTasks() const
{
    std::lock_guard lock(m_mutex);
    return m_tasks.size();
}

std::size_t PlainEventLoop::timerCount() const
{
    std::lock_guard lock(m_mutex);
    return m_timers.size();
}

} // namespace mirelo::platform
