#pragma once
// The progress of `send` on standard error. On a terminal one line redrawn in
// place: a bar with the percentage, messages sent of the total, the time
// elapsed and the time expected to remain (the schedule's length is known
// before the first send, and pacing, not the cable, sets the pace). Anywhere
// else one plain line per 10%, so logs stay readable. A message counts once
// it has reached the destination.

#include "update/UpdateRun.h"

#include <cstdint>
#include <ostream>
#include <string>

class CProgressDisplay {
public:
    static constexpr int kBarWidth = 30;

    CProgressDisplay(std::ostream& out, bool isTerminal);

    // Main thread only. Never shows 100%: the run has not ended.
    void update(const SRunProgress& progress, std::uint64_t elapsedMs);
    // The last state, 100% only for a whole run; ends the terminal line.
    void finish(const SRunProgress& progress, bool whole, std::uint64_t elapsedMs);

    static std::string barLine(int percent, const SRunProgress& progress, std::uint64_t elapsedMs);
    static std::string plainLine(int percent, const SRunProgress& progress, std::uint64_t elapsedMs);

private:
    void show(int percent, const SRunProgress& progress, std::uint64_t elapsedMs, bool last);

    std::ostream& m_out;
    bool m_isTerminal;
    int m_lastTenth = -1;
    int m_lastPercent = -1;
};
