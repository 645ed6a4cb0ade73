#include "testing/SendFailure.h"

#include <charconv>

namespace mirelo::midi {

std::optional<SendFailure> SendFailure::parse(std::string_view text)
{
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    const char* const numberEnd = text.data() + colon;
    const char* const statusEnd = text.data() + text.size();
    SendFailure failure{0, noErr};
    const auto number = std::from_chars(text.data(), numberEnd, failure.sendNumber);
    const auto status = std::from_chars(numberEnd + 1, statusEnd, failure.status);
    if (number.ec != std::errc() || number.ptr != numberEnd || status.ec != std::errc() || status.ptr != statusEnd ||
        failure.sendNumber == 0 || failure.status == noErr) {
        return std::nullopt;
    }
    return failure;
}

} // namespace mirelo::midi
