#pragma once
// A thread that waits on a device's poll descriptors and runs `drain` each
// time they are ready, until it is destroyed: an eventfd wakes it then, so it
// neither spins nor sleeps on a timer.

#include <poll.h>

#include <functional>
#include <thread>
#include <vector>

namespace mirelo::test {

class CPollThread {
public:
    CPollThread(std::vector<pollfd> deviceFds, std::function<void()> drain);
    ~CPollThread();
    CPollThread(const CPollThread&) = delete;
    CPollThread& operator=(const CPollThread&) = delete;

private:
    void run();

    std::vector<pollfd> m_fds; // the device's, then the wake-up eventfd
    std::function<void()> m_drain;
    int m_wakeFd;
    std::thread m_thread;
};

} // namespace mirelo::test
