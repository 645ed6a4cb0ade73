#include "update/UpdateFileFacts.h"

#include "update/FileDigest.h"

namespace {

// "MThd", its length, then format, track count and division, big-endian.
constexpr std::size_t kFormatAt = 8;
constexpr std::size_t kTracksAt = 10;
constexpr std::size_t kDivisionAt = 12;
constexpr std::size_t kHeaderEnd = 14;
constexpr std::uint16_t kSmpteBit = 0x8000;

std::uint16_t bigEndian16(std::span<const std::uint8_t> image, std::size_t at)
{
    return static_cast<std::uint16_t>(image[at] << 8 | image[at + 1]);
}

} // namespace

std::optional<int> SUpdateFileFacts::smpteFrames() const
{
    if ((division & kSmpteBit) == 0) {
        return std::nullopt;
    }
    // The high byte is the negative frame rate, in two's complement.
    return 256 - (division >> 8);
}

int SUpdateFileFacts::ticks() const
{
    return smpteFrames() ? division & 0xFF : division;
}

SUpdateFileFacts CUpdateFileFacts::of(std::span<const std::uint8_t> image, const CFirmwareSchedule& schedule)
{
    SUpdateFileFacts facts;
    if (image.size() >= kHeaderEnd) {
        facts.format = bigEndian16(image, kFormatAt);
        facts.tracks = bigEndian16(image, kTracksAt);
        facts.division = bigEndian16(image, kDivisionAt);
    }
    facts.messages = schedule.size();
    facts.bytes = schedule.totalBytes();
    facts.fileBytes = image.size();
    facts.durationMs = schedule.duration();
    facts.version = CFirmwareVersion::ofSchedule(schedule);
    facts.sha256 = CFileDigest::sha256(image.data(), image.size());
    return facts;
}
