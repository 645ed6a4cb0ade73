#pragma once
// Holds a critical region for a scope: entered without a time limit, left on
// every way out. A region that could not be created (null) is skipped, as the
// core goes on without one.

#include "platform/base/CriticalRegion.h"

namespace mirelo::platform {

class ScopedCriticalRegion {
public:
    explicit ScopedCriticalRegion(MPCriticalRegionID region)
        : m_region(region), m_entered(region != nullptr && MPEnterCriticalRegion(region, kDurationForever) == noErr)
    {
    }
    ~ScopedCriticalRegion()
    {
        if (m_entered) {
            // This thread holds it: the exit cannot be refused.
            static_cast<void>(MPExitCriticalRegion(m_region));
        }
    }
    ScopedCriticalRegion(const ScopedCriticalRegion&) = delete;
    ScopedCriticalRegion& operator=(const ScopedCriticalRegion&) = delete;

private:
    MPCriticalRegionID m_region;
    bool m_entered;
};

} // namespace mirelo::platform
