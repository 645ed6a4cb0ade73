#pragma once
// Ends the test process when a scope does not finish in time: a deadlock must
// fail the test with a message, not hang CI until its own time limit.

#include <condition_variable>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>

namespace mirelo::test {

class CWatchdog {
public:
    CWatchdog(std::chrono::seconds limit, std::string what);
    ~CWatchdog(); // stands the watchdog down
    CWatchdog(const CWatchdog&) = delete;
    CWatchdog& operator=(const CWatchdog&) = delete;

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    std::thread m_thread;
};

} // namespace mirelo::test
