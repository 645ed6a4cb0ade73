#pragma once
// The instrument's side of the MIDI Device Inquiry: it watches the bytes it
// receives for an Identity Request (F0 7E <device> 06 01 F7) addressed to it,
// by its device ID or to all (7F), and gives the Identity Reply to send back:
//   F0 7E <device> 06 02 <manufacturer> <family LSB MSB> <model LSB MSB>
//   <revision: 4 bytes> F7
// Written apart from the updater's reader of replies, from the message layout
// alone, so that each is checked against a second hand.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

class CIdentityResponder {
public:
    struct SIdentity {
        std::uint8_t deviceId = 0x00;
        std::vector<std::uint8_t> manufacturer{0x7D}; // one byte, or 00 and two more
        std::uint16_t family = 0x004D;
        std::uint16_t model = 0x0001;
        // The firmware format's major and minor version, then two zero bytes.
        std::array<std::uint8_t, 4> revision{1, 0, 0, 0};
    };

    explicit CIdentityResponder(SIdentity identity) : m_identity(std::move(identity)) {}

    // The reply to send when `byte` completes a request to this instrument;
    // empty otherwise.
    std::vector<std::uint8_t> feed(std::uint8_t byte);

    // Identity Requests received so far, to any device: whether a sender
    // asked at all.
    std::size_t requestsHeard() const { return m_requestsHeard; }

    // The firmware it runs changed (an update was taken).
    void setRevision(const std::array<std::uint8_t, 4>& revision) { m_identity.revision = revision; }
    const SIdentity& identity() const { return m_identity; }
    std::vector<std::uint8_t> reply() const;

private:
    static constexpr std::size_t kRequestLength = 6;

    SIdentity m_identity;
    std::vector<std::uint8_t> m_message; // the SysEx message being received, while short enough to be a request
    bool m_inMessage = false;
    std::size_t m_requestsHeard = 0;
};
