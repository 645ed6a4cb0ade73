#include "testing/VirtualReceiver.h"

#include <utility>

namespace mirelo::midi {

VirtualReceiver::~VirtualReceiver()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void VirtualReceiver::enqueue(std::function<void()> job)
{
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back(std::move(job));
        if (!m_thread.joinable()) {
            m_thread = std::thread([this] { runJobs(); });
            m_threadId = m_thread.get_id();
        }
    }
    m_changed.notify_all();
}

void VirtualReceiver::waitIdle()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_jobs.empty() && !m_busy; });
}

bool VirtualReceiver::isReceiveThread() const
{
    std::lock_guard lock(m_mutex);
    return m_thread.joinable() && m_threadId == std::this_thread::get_id();
}

void VirtualReceiver::runJobs()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
        if (m_jobs.empty()) {
            return; // stopping, nothing left
        }
        auto job = std::move(m_jobs.front());
        m_jobs.pop_front();
        m_busy = true;
        lock.unlock();
        job();
        lock.lock();
        m_busy = false;
        m_changed.notify_all();
    }
}

} // namespace mirelo::midi
