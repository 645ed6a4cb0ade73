#pragma once
// The receive thread of the virtual backend: runs queued jobs one at a time,
// in order, on a thread of its own, as a real backend's MIDI thread would.
// The thread starts with the first job and is joined on destruction.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace mirelo::midi {

class VirtualReceiver {
public:
    VirtualReceiver() = default;
    ~VirtualReceiver();
    VirtualReceiver(const VirtualReceiver&) = delete;
    VirtualReceiver& operator=(const VirtualReceiver&) = delete;

    void enqueue(std::function<void()> job);
    // Blocks until every job queued so far has run. Must not be called from a job.
    void waitIdle();
    bool isReceiveThread() const;

private:
    void runJobs();

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::function<void()>> m_jobs;
    bool m_busy = false;
    bool m_stopping = false;
    std::thread m_thread;
    std::thread::id m_threadId;
};

} // namespace mirelo::midi
