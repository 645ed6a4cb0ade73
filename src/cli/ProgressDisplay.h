#pragma once
// The progress of `send` on standard error. On a terminal one line redrawn in
// place: a bar with the percentage, messages sent of the total, the time
// elapsed and the time expected to remain (the schedule's length is known
// before the first send, and pacing, not the cable, sets the pace). Anywhere
// else one plain line per 10%, so logs stay readable.

#include <cstdint>
#include <ostream>
#include <string>

class CProgressDisplay {
public:
    static constexpr int kBarWidth = 30;
    // A run shows at most this much: 100% is only for a transfer that has
    // returned success, and a run that fails at its last message of several
    // hundred would otherwise already show it.
    static constexpr int kMostWhileRunning = 99;

    CProgressDisplay(std::ostream& out, bool isTerminal, std::uint64_t totalMessages, std::uint64_t expectedMs);

    // Main thread only. Shows at most kMostWhileRunning.
    void update(int percent, std::uint64_t sentMessages, std::uint64_t elapsedMs);
    // The last state; ends the terminal line.
    void finish(int percent, std::uint64_t sentMessages, std::uint64_t elapsedMs);

    // "12.3 s" below a minute, "4:05" from a minute on.
    static std::string formatDuration(std::uint64_t ms);
    static std::string barLine(int percent, std::uint64_t sent, std::uint64_t total, std::uint64_t elapsedMs,
                               std::uint64_t remainingMs);
    static std::string plainLine(int percent, std::uint64_t sent, std::uint64_t total, std::uint64_t elapsedMs,
                                 std::uint64_t remainingMs);

private:
    std::uint64_t remaining(std::uint64_t elapsedMs) const;
    void draw(int percent, std::uint64_t sentMessages, std::uint64_t elapsedMs);

    std::ostream& m_out;
    bool m_isTerminal;
    std::uint64_t m_total;
    std::uint64_t m_expectedMs;
    int m_lastTenth = -1;
};
