#include "cli/ProgressDisplay.h"

#include <algorithm>
#include <cstdio>

CProgressDisplay::CProgressDisplay(std::ostream& out, bool isTerminal, std::uint64_t totalMessages,
                                   std::uint64_t expectedMs)
    : m_out(out), m_isTerminal(isTerminal), m_total(totalMessages), m_expectedMs(expectedMs)
{
}

std::string CProgressDisplay::formatDuration(std::uint64_t ms)
{
    char text[32];
    if (ms < 60000) {
        std::snprintf(text, sizeof text, "%llu.%llu s", static_cast<unsigned long long>(ms / 1000),
                      static_cast<unsigned long long>(ms % 1000 / 100));
    } else {
        const std::uint64_t seconds = ms / 1000;
        std::snprintf(text, sizeof text, "%llu:%02llu", static_cast<unsigned long long>(seconds / 60),
                      static_cast<unsigned long long>(seconds % 60));
    }
    return text;
}

std::string CProgressDisplay::barLine(int percent, std::uint64_t sent, std::uint64_t total,
                                      std::uint64_t elapsedMs, std::uint64_t remainingMs)
{
    percent = std::clamp(percent, 0, 100);
    const int filled = percent * kBarWidth / 100;
    std::string line = "[";
    line.append(static_cast<std::size_t>(filled), '#');
    line.append(static_cast<std::size_t>(kBarWidth - filled), '.');
    char numbers[96];
    std::snprintf(numbers, sizeof numbers, "] %3d%%  %llu/%llu messages  ", percent,
                  static_cast<unsigned long long>(sent), static_cast<unsigned long long>(total));
    return line + numbers + formatDuration(elapsedMs) + " elapsed, about " + formatDuration(remainingMs) + " left";
}

std::string CProgressDisplay::plainLine(int percent, std::uint64_t sent, std::uint64_t total,
                                        std::uint64_t elapsedMs, std::uint64_t remainingMs)
{
    return "progress: " + std::to_string(percent) + "% (" + std::to_string(sent) + " of " + std::to_string(total) +
           " messages, " + formatDuration(elapsedMs) + " elapsed, about " + formatDuration(remainingMs) + " left)";
}

std::uint64_t CProgressDisplay::remaining(std::uint64_t elapsedMs) const
{
    return elapsedMs < m_expectedMs ? m_expectedMs - elapsedMs : 0;
}

void CProgressDisplay::draw(int percent, std::uint64_t sentMessages, std::uint64_t elapsedMs)
{
    // Clear to the end of the line: the new text may be shorter.
    m_out << '\r' << barLine(percent, sentMessages, m_total, elapsedMs, remaining(elapsedMs)) << "\x1b[K"
          << std::flush;
}

void CProgressDisplay::update(int percent, std::uint64_t sentMessages, std::uint64_t elapsedMs)
{
    percent = std::min(percent, kMostWhileRunning);
    if (m_isTerminal) {
        draw(percent, sentMessages, elapsedMs);
        return;
    }
    const int tenth = std::clamp(percent, 0, 100) / 10;
    if (tenth > m_lastTenth) {
        m_lastTenth = tenth;
        m_out << plainLine(tenth * 10, sentMessages, m_total, elapsedMs, remaining(elapsedMs)) << '\n' << std::flush;
    }
}

void CProgressDisplay::finish(int percent, std::uint64_t sentMessages, std::uint64_t elapsedMs)
{
    if (m_isTerminal) {
        draw(percent, sentMessages, elapsedMs);
        m_out << '\n' << std::flush;
        return;
    }
    const int tenth = std::clamp(percent, 0, 100) / 10;
    if (tenth > m_lastTenth || percent % 10 != 0) {
        m_lastTenth = tenth;
        m_out << plainLine(percent, sentMessages, m_total, elapsedMs, remaining(elapsedMs)) << '\n' << std::flush;
    }
}
