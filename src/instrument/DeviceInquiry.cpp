#include "instrument/DeviceInquiry.h"

namespace {

constexpr Byte kSysExStart = 0xF0;
constexpr Byte kSysExEnd = 0xF7;
constexpr Byte kNonRealTime = 0x7E;
constexpr Byte kGeneralInformation = 0x06;
constexpr Byte kIdentityRequest = 0x01;
constexpr Byte kIdentityReply = 0x02;
constexpr Byte kExtendedManufacturer = 0x00;
// F0 7E <device> 06 02: what every reply starts with.
constexpr std::size_t kReplyHeadLength = 5;
// Family, model and revision: 2 + 2 + 4 bytes after the manufacturer, then F7.
constexpr std::size_t kReplyTailLength = 2 + 2 + SDeviceIdentity::kRevisionBytes + 1;

bool isData(Byte b)
{
    return b < 0x80;
}

bool startsUniversal(const Byte* data, std::size_t length, Byte subId2)
{
    return length >= kReplyHeadLength && data[0] == kSysExStart && data[1] == kNonRealTime && isData(data[2]) &&
           data[3] == kGeneralInformation && data[4] == subId2;
}

std::uint16_t fourteenBits(const Byte* lsbFirst)
{
    return static_cast<std::uint16_t>(lsbFirst[0] | lsbFirst[1] << 7);
}

} // namespace

std::array<Byte, CDeviceInquiry::kRequestLength> CDeviceInquiry::request(Byte deviceId)
{
    return {kSysExStart,         kNonRealTime,     static_cast<Byte>(deviceId & 0x7F),
            kGeneralInformation, kIdentityRequest, kSysExEnd};
}

bool CDeviceInquiry::isRequest(const Byte* data, std::size_t length)
{
    return data != nullptr && length == kRequestLength && startsUniversal(data, length, kIdentityRequest) &&
           data[5] == kSysExEnd;
}

std::optional<SDeviceIdentity> CDeviceInquiry::parseReply(const Byte* data, std::size_t length)
{
    if (data == nullptr || !startsUniversal(data, length, kIdentityReply) || length == kReplyHeadLength) {
        return std::nullopt;
    }
    const std::size_t manufacturerLength = data[kReplyHeadLength] == kExtendedManufacturer ? 3 : 1;
    if (length != kReplyHeadLength + manufacturerLength + kReplyTailLength || data[length - 1] != kSysExEnd) {
        return std::nullopt;
    }
    for (std::size_t i = 1; i + 1 < length; ++i) {
        if (!isData(data[i])) {
            return std::nullopt;
        }
    }
    SDeviceIdentity identity;
    identity.deviceId = data[2];
    identity.manufacturerLength = static_cast<std::uint8_t>(manufacturerLength);
    const Byte* p = data + kReplyHeadLength;
    for (std::size_t i = 0; i < manufacturerLength; ++i) {
        identity.manufacturer[i] = *p++;
    }
    identity.family = fourteenBits(p);
    identity.model = fourteenBits(p + 2);
    p += 4;
    for (Byte& b : identity.revision) {
        b = *p++;
    }
    return identity;
}
