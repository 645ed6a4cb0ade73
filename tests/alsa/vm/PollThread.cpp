#include "tests/alsa/vm/PollThread.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace mirelo::test {

CPollThread::CPollThread(std::vector<pollfd> deviceFds, std::function<void()> drain)
    : m_fds(std::move(deviceFds)), m_drain(std::move(drain)), m_wakeFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    m_fds.push_back(pollfd{m_wakeFd, POLLIN, 0});
    m_thread = std::thread([this] { run(); });
}

CPollThread::~CPollThread()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = write(m_wakeFd, &one, sizeof one);
    m_thread.join();
    close(m_wakeFd);
}

void CPollThread::run()
{
    for (;;) {
        if (poll(m_fds.data(), m_fds.size(), -1) < 0 && errno != EINTR) {
            return;
        }
        if (m_fds.back().revents != 0) {
            return;
        }
        m_drain();
    }
}

} // namespace mirelo::test
