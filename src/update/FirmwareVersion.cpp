#include "update/FirmwareVersion.h"

#include "SMF/SMF.h"
#include "schedule/FirmwareSchedule.h"

namespace {

constexpr std::uint8_t kSysExStart = 0xF0;
constexpr std::uint8_t kSysExEnd = 0xF7;
// The format's manufacturer (0x7D, for non-commercial use), model and header command.
constexpr std::uint8_t kHeaderStart[] = {kSysExStart, 0x7D, 0x4D, 0x01};
constexpr std::size_t kHeaderLength = 19;
constexpr std::size_t kMajorAt = 4;
constexpr std::size_t kMinorAt = 5;

} // namespace

std::string SFirmwareVersion::text() const
{
    return std::to_string(major) + "." + std::to_string(minor);
}

std::array<std::uint8_t, 4> SFirmwareVersion::revision() const
{
    return {major, minor, 0, 0};
}

std::optional<SFirmwareVersion> CFirmwareVersion::fromHeaderMessage(const std::uint8_t* data, std::size_t length)
{
    if (data == nullptr || length != kHeaderLength || data[length - 1] != kSysExEnd) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < sizeof kHeaderStart; ++i) {
        if (data[i] != kHeaderStart[i]) {
            return std::nullopt;
        }
    }
    for (std::size_t i = 1; i + 1 < length; ++i) {
        if (data[i] >= 0x80) {
            return std::nullopt;
        }
    }
    return SFirmwareVersion{data[kMajorAt], data[kMinorAt]};
}

std::optional<SFirmwareVersion> CFirmwareVersion::ofSchedule(const CFirmwareSchedule& schedule)
{
    if (schedule.empty()) {
        return std::nullopt;
    }
    const std::span<const std::uint8_t> first = (*schedule.begin()).bytes;
    return fromHeaderMessage(first.data(), first.size());
}

std::optional<SFirmwareVersion> CFirmwareVersion::ofFile(const CSMF& smf)
{
    for (const CMidiTrack* track : smf.getTracks()) {
        for (const CMidiEvent* event : track->getEvents()) {
            if (const CMidiSysExEvent* sysEx = event->getSysExData()) {
                return fromHeaderMessage(sysEx->getParam(), sysEx->getSize());
            }
        }
    }
    return std::nullopt;
}
