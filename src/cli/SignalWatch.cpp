#include "cli/SignalWatch.h"

#include <cerrno>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

CSignalWatch::CSignalWatch(Handler onSignal) : m_onSignal(std::move(onSignal))
{
    sigemptyset(&m_signals);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) {
        sigaddset(&m_signals, s);
    }
    if (pthread_sigmask(SIG_BLOCK, &m_signals, &m_previousMask) != 0) {
        return;
    }
    m_signalFd = ::signalfd(-1, &m_signals, SFD_CLOEXEC);
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC);
    if (m_signalFd < 0 || m_wakeFd < 0) {
        for (int fd : {m_signalFd, m_wakeFd}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
        m_signalFd = m_wakeFd = -1;
        pthread_sigmask(SIG_SETMASK, &m_previousMask, nullptr);
        return;
    }
    m_thread = std::thread([this] { watch(); });
}

CSignalWatch::~CSignalWatch()
{
    if (!m_thread.joinable()) {
        return;
    }
    const std::uint64_t one = 1;
    while (::write(m_wakeFd, &one, sizeof one) < 0 && errno == EINTR) {
    }
    m_thread.join();
    ::close(m_signalFd);
    ::close(m_wakeFd);
    pthread_sigmask(SIG_SETMASK, &m_previousMask, nullptr);
}

void CSignalWatch::watch()
{
    pollfd fds[] = {{m_signalFd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
    for (;;) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            return;
        }
        signalfd_siginfo info{};
        if ((fds[0].revents & POLLIN) != 0 && ::read(m_signalFd, &info, sizeof info) == sizeof info) {
            // A second signal while the message in flight finishes changes nothing.
            int none = 0;
            if (m_signal.compare_exchange_strong(none, static_cast<int>(info.ssi_signo), std::memory_order_acq_rel)) {
                m_onSignal(static_cast<int>(info.ssi_signo));
            }
        }
    }
}
