#pragma once
// Lowers the calling thread's timer slack for a scope. Linux lets a sleep end
// up to the thread's slack (50 us by default) after its deadline so that
// wake-ups can be batched; a paced sender wants its wake-ups on time instead.
// Elsewhere, and when the call is refused, this does nothing.

#if defined(__linux__)
#include <sys/prctl.h>
#endif

namespace mirelo::platform {

class ScopedTimerSlack {
public:
    explicit ScopedTimerSlack(unsigned long nanoseconds = 1)
    {
#if defined(__linux__)
        const int previous = prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0);
        if (previous > 0 && prctl(PR_SET_TIMERSLACK, nanoseconds, 0, 0, 0) == 0) {
            m_previous = static_cast<unsigned long>(previous);
        }
#else
        (void)nanoseconds;
#endif
    }
    ~ScopedTimerSlack()
    {
#if defined(__linux__)
        if (m_previous != 0) {
            prctl(PR_SET_TIMERSLACK, m_previous, 0, 0, 0);
        }
#endif
    }
    ScopedTimerSlack(const ScopedTimerSlack&) = delete;
    ScopedTimerSlack& operator=(const ScopedTimerSlack&) = delete;

private:
    unsigned long m_previous = 0;
};

} // namespace mirelo::platform
