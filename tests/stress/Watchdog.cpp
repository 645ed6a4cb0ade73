#include "tests/stress/Watchdog.h"

#include <cstdio>
#include <cstdlib>

namespace mirelo::test {

CWatchdog::CWatchdog(std::chrono::seconds limit, std::string what)
{
    m_thread = std::thread([this, limit, what = std::move(what)] {
        std::unique_lock lock(m_mutex);
        if (!m_done.wait_for(lock, limit, [this] { return m_finished; })) {
            std::fprintf(stderr, "watchdog: %s did not finish within %lld s (deadlock?)\n", what.c_str(),
                         static_cast<long long>(limit.count()));
            std::fflush(stderr);
            std::abort();
        }
    });
}

CWatchdog::~CWatchdog()
{
    {
        std::lock_guard lock(m_mutex);
        m_finished = true;
    }
    m_done.notify_one();
    m_thread.join();
}

} // namespace mirelo::test
