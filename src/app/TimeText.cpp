#include "app/TimeText.h"

#include <algorithm>
#include <cstdint>

namespace {

// Beyond this many seconds the minute count would not fit in 32 bits.
constexpr double kLongestTimeString = 2147483647.0 * 60.0;

} // namespace

QString CTimeText::withMilliseconds(double seconds)
{
    // A clock set back gives a negative span: show zero rather than nonsense.
    double x = seconds;
    if (!(x >= 0.0)) {
        x = 0.0;
    }
    x = std::min(x, kLongestTimeString);
    const auto t = static_cast<std::uint64_t>(x);
    const auto m = static_cast<std::int32_t>(t / 60);
    const std::int32_t hours = m / 60;
    const std::int32_t minutes = m % 60;
    const auto secs = static_cast<std::int32_t>(t % 60);
    const auto milliseconds = static_cast<std::int32_t>((x - static_cast<double>(t)) * 1000.0);
    return QString::asprintf("%02d:%02d:%02d.%03d", hours, minutes, secs, milliseconds);
}
