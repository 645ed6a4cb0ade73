#pragma once
// Critical regions in the shape the core calls them, over a recursive mutex:
// the holder may enter again, and a wait has no time limit.

#include "MIDIServices.h"

struct OpaqueMPCriticalRegionID;
using MPCriticalRegionID = OpaqueMPCriticalRegionID*;
using Duration = std::int32_t;
constexpr Duration kDurationForever = 0x7FFFFFFF;
constexpr Duration kDurationImmediate = 0;

OSStatus MPCreateCriticalRegion(MPCriticalRegionID* criticalRegion);
OSStatus MPDeleteCriticalRegion(MPCriticalRegionID criticalRegion);
// kDurationForever waits without limit; kDurationImmediate only tries.
OSStatus MPEnterCriticalRegion(MPCriticalRegionID criticalRegion, Duration timeout);
OSStatus MPExitCriticalRegion(MPCriticalRegionID criticalRegion);
