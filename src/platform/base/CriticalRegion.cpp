#include "platform/base/CriticalRegion.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

struct OpaqueMPCriticalRegionID {
    std::recursive_timed_mutex mutex;
    // Ownership is tracked so that an exit by a thread that does not hold the
    // region is refused instead of corrupting the mutex.
    std::atomic<std::thread::id> owner{};
    int depth = 0;
};

OSStatus MPCreateCriticalRegion(MPCriticalRegionID* criticalRegion)
{
    if (criticalRegion == nullptr) {
        return kParamErr;
    }
    *criticalRegion = new OpaqueMPCriticalRegionID;
    return noErr;
}

OSStatus MPDeleteCriticalRegion(MPCriticalRegionID criticalRegion)
{
    if (criticalRegion == nullptr) {
        return kParamErr;
    }
    delete criticalRegion;
    return noErr;
}

OSStatus MPEnterCriticalRegion(MPCriticalRegionID criticalRegion, Duration timeout)
{
    if (criticalRegion == nullptr) {
        return kParamErr;
    }
    auto& mutex = criticalRegion->mutex;
    bool entered = false;
    if (timeout == kDurationForever) {
        mutex.lock();
        entered = true;
    } else if (timeout == kDurationImmediate) {
        entered = mutex.try_lock();
    } else if (timeout > 0) {
        entered = mutex.try_lock_for(std::chrono::milliseconds(timeout));
    } else {
        entered = mutex.try_lock_for(std::chrono::microseconds(-static_cast<std::int64_t>(timeout)));
    }
    if (!entered) {
        return kMPTimeoutErr;
    }
    criticalRegion->owner.store(std::this_thread::get_id(), std::memory_order_relaxed);
    ++criticalRegion->depth;
    return noErr;
}

OSStatus MPExitCriticalRegion(MPCriticalRegionID criticalRegion)
{
    if (criticalRegion == nullptr ||
        criticalRegion->owner.load(std::memory_order_relaxed) != std::this_thread::get_id()) {
        return kParamErr;
    }
    if (--criticalRegion->depth == 0) {
        criticalRegion->owner.store(std::thread::id{}, std::memory_order_relaxed);
    }
    criticalRegion->mutex.unlock();
    return noErr;
}
