#pragma once
// While `send` goes, SIGINT, SIGTERM and SIGHUP must not end the process in
// the middle of a SysEx message, nor leave the captures without the messages
// that went out. A watch blocks them for every thread started after it, takes
// them on a thread of its own, and tells its owner of the first one; the run
// then stops after the message in flight and says so. When the watch ends,
// the signals are theirs again.

#include <atomic>
#include <csignal>
#include <functional>
#include <thread>

class CSignalWatch {
public:
    // Called on the watch's thread with the first signal taken.
    using Handler = std::function<void(int signal)>;

    // Blocks the signals on the calling thread; start it before any other
    // thread of the run, which inherit the block.
    explicit CSignalWatch(Handler onSignal);
    ~CSignalWatch();
    CSignalWatch(const CSignalWatch&) = delete;
    CSignalWatch& operator=(const CSignalWatch&) = delete;

    // False when the signals could not be taken over (they then keep their
    // default action).
    bool watching() const { return m_thread.joinable(); }
    // The first signal taken, 0 while none came.
    int signal() const { return m_signal.load(std::memory_order_acquire); }

private:
    void watch();

    Handler m_onSignal;
    sigset_t m_signals{};
    sigset_t m_previousMask{};
    int m_signalFd = -1;
    int m_wakeFd = -1;
    std::atomic<int> m_signal{0};
    std::thread m_thread;
};
