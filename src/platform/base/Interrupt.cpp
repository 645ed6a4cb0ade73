#include "platform/base/Interrupt.h"

#include "platform/base/Clock.h"

namespace mirelo::platform {

void Interrupt::raise()
{
    {
        std::lock_guard lock(m_mutex);
        m_raised.store(true, std::memory_order_release);
    }
    m_wake.notify_all();
}

void Interrupt::sleep(std::uint64_t seconds, std::uint64_t nanoseconds) const
{
    clock().sleepUnless(seconds, nanoseconds, *this);
}

bool Interrupt::waitFor(std::chrono::nanoseconds span) const
{
    std::unique_lock lock(m_mutex);
    return m_wake.wait_for(lock, span, [this] { return raised(); });
}

} // namespace mirelo::platform
