#include "cli/ProgressDisplay.h"

#include "update/RunReport.h"

#include <algorithm>
#include <cstdio>

CProgressDisplay::CProgressDisplay(std::ostream& out, bool isTerminal) : m_out(out), m_isTerminal(isTerminal) {}

std::string CProgressDisplay::barLine(int percent, const SRunProgress& progress, std::uint64_t elapsedMs)
{
    percent = std::clamp(percent, 0, 100);
    const int filled = percent * kBarWidth / 100;
    std::string line = "[";
    line.append(static_cast<std::size_t>(filled), '#');
    line.append(static_cast<std::size_t>(kBarWidth - filled), '.');
    char numbers[96];
    std::snprintf(numbers, sizeof numbers, "] %3d%%  %llu/%llu messages  ", percent,
                  static_cast<unsigned long long>(progress.reached), static_cast<unsigned long long>(progress.total));
    return line + numbers + CSentence::durationText(elapsedMs) + " elapsed, about " +
           CSentence::durationText(CRunReport::leftMs(progress, elapsedMs)) + " left";
}

std::string CProgressDisplay::plainLine(int percent, const SRunProgress& progress, std::uint64_t elapsedMs)
{
    return "progress: " + std::to_string(percent) + "% (" +
           CRunReport::messagesOf(progress.reached, progress.total).plain() + ", " +
           CSentence::durationText(elapsedMs) + " elapsed, about " +
           CSentence::durationText(CRunReport::leftMs(progress, elapsedMs)) + " left)";
}

void CProgressDisplay::update(const SRunProgress& progress, std::uint64_t elapsedMs)
{
    show(CRunReport::percentShown(progress, false), progress, elapsedMs, false);
}

void CProgressDisplay::finish(const SRunProgress& progress, bool whole, std::uint64_t elapsedMs)
{
    show(CRunReport::percentShown(progress, whole), progress, elapsedMs, true);
}

void CProgressDisplay::show(int percent, const SRunProgress& progress, std::uint64_t elapsedMs, bool last)
{
    if (m_isTerminal) {
        // Clear to the end of the line: the new text may be shorter.
        m_out << '\r' << barLine(percent, progress, elapsedMs) << "\x1b[K";
        if (last) {
            m_out << '\n';
        }
        m_out << std::flush;
        return;
    }
    // Every message has gone: the line that follows is the run's end.
    if (!last && progress.total != 0 && progress.reached >= progress.total) {
        return;
    }
    // A line per tenth reached, and the last state when it differs from the last line shown.
    const int tenth = percent / 10;
    if (tenth > m_lastTenth || (last && percent != m_lastPercent)) {
        m_lastTenth = std::max(m_lastTenth, tenth);
        m_lastPercent = percent;
        m_out << plainLine(percent, progress, elapsedMs) << '\n' << std::flush;
    }
}
