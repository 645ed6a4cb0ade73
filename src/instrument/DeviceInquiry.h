#pragma once
// The two messages of the MIDI Device Inquiry (a Universal Non-Real-Time
// SysEx): the Identity Request we send, and the Identity Reply an instrument
// answers with:
//   request  F0 7E <device> 06 01 F7                (device 7F: every device)
//   reply    F0 7E <device> 06 02 <manufacturer: 1 byte, or 00 and 2 more>
//            <family: 2 bytes, LSB first> <model: 2 bytes, LSB first>
//            <revision: 4 bytes> F7
// Anything else a port sends while we wait is not an answer.

#include "instrument/DeviceIdentity.h"
#include "platform/midi/MIDIServices.h"

#include <array>
#include <cstddef>
#include <optional>

class CDeviceInquiry {
public:
    static constexpr Byte kEveryDevice = 0x7F;
    static constexpr std::size_t kRequestLength = 6;

    static std::array<Byte, kRequestLength> request(Byte deviceId = kEveryDevice);
    // Whether the bytes are an Identity Request, to any device: what a port
    // that loops our output back to us sends.
    static bool isRequest(const Byte* data, std::size_t length);
    // The identity in a well-formed Identity Reply of exactly its length;
    // nothing for any other bytes.
    static std::optional<SDeviceIdentity> parseReply(const Byte* data, std::size_t length);
};
