#include "tools/instrument-emulator/IdentityResponder.h"

namespace {

constexpr std::uint8_t kSysExStart = 0xF0;
constexpr std::uint8_t kSysExEnd = 0xF7;
constexpr std::uint8_t kFirstRealTime = 0xF8;
constexpr std::uint8_t kEveryDevice = 0x7F;

} // namespace

std::vector<std::uint8_t> CIdentityResponder::feed(std::uint8_t byte)
{
    if (byte >= kFirstRealTime) {
        return {}; // real-time bytes may come between any two bytes
    }
    if (byte == kSysExStart) {
        m_inMessage = true;
        m_message.assign(1, byte);
        return {};
    }
    if (!m_inMessage) {
        return {};
    }
    if (byte < 0x80) {
        // Longer than a request: the rest is not this responder's business.
        if (m_message.size() + 1 >= kRequestLength) {
            m_inMessage = false;
        } else {
            m_message.push_back(byte);
        }
        return {};
    }
    m_inMessage = false;
    const bool request = byte == kSysExEnd && m_message.size() == kRequestLength - 1 && m_message[1] == 0x7E &&
                         m_message[3] == 0x06 && m_message[4] == 0x01;
    m_requestsHeard += request ? 1 : 0;
    const bool toUs = request && (m_message[2] == kEveryDevice || m_message[2] == m_identity.deviceId);
    return toUs ? reply() : std::vector<std::uint8_t>();
}

std::vector<std::uint8_t> CIdentityResponder::reply() const
{
    std::vector<std::uint8_t> r;
    r.reserve(17);
    for (const std::uint8_t b :
         {kSysExStart, std::uint8_t{0x7E}, m_identity.deviceId, std::uint8_t{0x06}, std::uint8_t{0x02}}) {
        r.push_back(b);
    }
    for (const std::uint8_t b : m_identity.manufacturer) {
        r.push_back(b);
    }
    for (const std::uint16_t code : {m_identity.family, m_identity.model}) {
        r.push_back(static_cast<std::uint8_t>(code & 0x7F));
        r.push_back(static_cast<std::uint8_t>(code >> 7 & 0x7F));
    }
    for (const std::uint8_t b : m_identity.revision) {
        r.push_back(b);
    }
    r.push_back(kSysExEnd);
    return r;
}
