#pragma once
// Endpoint references of the ALSA backend. A reference carries the sequencer
// address of the port (client, port), its direction, and a 12-bit hash of the
// client and port names: when a device is unplugged and another one later
// takes the same address, the old reference no longer matches and is treated
// as gone instead of silently reaching the new device.

#include "platform/midi/MIDIServices.h"

#include <optional>
#include <string_view>

namespace mirelo::midi::alsa {

enum class EndpointKind : std::uint32_t {
    source = 0x1,
    destination = 0x2,
};

struct EndpointRef {
    EndpointKind kind;
    std::uint8_t client;
    std::uint8_t port;
    std::uint16_t nameHash; // 12 bits used

    MIDIEndpointRef encode() const;
    // Empty for 0 and for references of any other kind of object.
    static std::optional<EndpointRef> decode(MIDIObjectRef ref);
    static std::uint16_t hashNames(std::string_view clientName, std::string_view portName);

    bool operator==(const EndpointRef&) const = default;
};

// The object families of this backend live in the top four bits, so that a
// reference of one kind can never be mistaken for another.
constexpr std::uint32_t kObjectTagShift = 28;
constexpr std::uint32_t kClientTag = 0x4;
constexpr std::uint32_t kPortTag = 0x5;

inline std::uint32_t objectTag(MIDIObjectRef ref)
{
    return ref >> kObjectTagShift;
}

} // namespace mirelo::midi::alsa
