#pragma once
// Critical regions in the shape the core calls them, over a recursive mutex:
// the holder may enter again, and a wait has no time limit.

#include "platform/base/MacTypes.h"

struct OpaqueMPCriticalRegionID;
using MPCriticalRegionID = OpaqueMPCriticalRegionID*;
using Duration = std::int32_t;
constexpr Duration kDurationForever = 0x7FFFFFFF;
constexpr Duration kDurationImmediate = 0;
// A timed enter that did not get the region in time.
constexpr OSStatus kMPTimeoutErr = -29290;

[[nodiscard]] OSStatus MPCreateCriticalRegion(MPCriticalRegionID* criticalRegion);
[[nodiscard]] OSStatus MPDeleteCriticalRegion(MPCriticalRegionID criticalRegion);
// kDurationForever waits without limit; kDurationImmediate only tries; a
// positive timeout is in milliseconds, a negative one in microseconds.
// Exiting a region the caller does not hold returns kParamErr.
[[nodiscard]] OSStatus MPEnterCriticalRegion(MPCriticalRegionID criticalRegion, Duration timeout);
[[nodiscard]] OSStatus MPExitCriticalRegion(MPCriticalRegionID criticalRegion);
