#include "platform/midi/alsa/EndpointRef.h"

namespace mirelo::midi::alsa {

namespace {
constexpr std::uint32_t kHashMask = 0xFFF;
} // namespace

MIDIEndpointRef EndpointRef::encode() const
{
    return (static_cast<std::uint32_t>(kind) << kObjectTagShift) | ((nameHash & kHashMask) << 16) |
           (static_cast<std::uint32_t>(client) << 8) | port;
}

std::optional<EndpointRef> EndpointRef::decode(MIDIObjectRef ref)
{
    const std::uint32_t tag = objectTag(ref);
    if (tag != static_cast<std::uint32_t>(EndpointKind::source) &&
        tag != static_cast<std::uint32_t>(EndpointKind::destination)) {
        return std::nullopt;
    }
    return EndpointRef{static_cast<EndpointKind>(tag), static_cast<std::uint8_t>(ref >> 8),
                       static_cast<std::uint8_t>(ref), static_cast<std::uint16_t>((ref >> 16) & kHashMask)};
}

std::uint16_t EndpointRef::hashNames(std::string_view clientName, std::string_view portName)
{
    // FNV-1a over "client\0port", folded to 12 bits.
    std::uint32_t h = 2166136261u;
    auto mix = [&h](unsigned char c) {
        h ^= c;
        h *= 16777619u;
    };
    for (char c : clientName) {
        mix(static_cast<unsigned char>(c));
    }
    mix(0);
    for (char c : portName) {
        mix(static_cast<unsigned char>(c));
    }
    return static_cast<std::uint16_t>((h ^ (h >> 12) ^ (h >> 24)) & kHashMask);
}

} // namespace mirelo::midi::alsa
