#include "platform/midi/alsa/PacketListBytes.h"

#include <algorithm>
#include <cstring>

namespace mirelo::midi::alsa {

namespace {
constexpr std::size_t kListHeader = offsetof(MIDIPacketList, packet);
constexpr std::size_t kPacketHeader = offsetof(MIDIPacket, data);
} // namespace

std::vector<Byte> PacketListBytes::flatten(const MIDIPacketList& list)
{
    std::vector<Byte> bytes;
    const MIDIPacket* packet = &list.packet[0];
    for (std::uint32_t i = 0; i < list.numPackets; ++i) {
        bytes.insert(bytes.end(), packet->data, packet->data + packet->length);
        packet = MIDIPacketNext(packet);
    }
    return bytes;
}

std::vector<Byte> PacketListBytes::build(const Byte* bytes, std::size_t length, MIDITimeStamp time)
{
    const std::size_t packets = (length + kPacketDataSize - 1) / kPacketDataSize;
    // Room for a full trailing packet too, so a reader that copies a whole
    // MIDIPacket struct never reads past the storage.
    std::vector<Byte> storage(kListHeader + packets * kPacketHeader + length + sizeof(MIDIPacket), 0);
    const auto count = static_cast<std::uint32_t>(packets);
    std::memcpy(storage.data(), &count, sizeof count);
    std::size_t at = kListHeader;
    for (std::size_t offset = 0; offset < length; offset += kPacketDataSize) {
        const auto chunk = static_cast<std::uint16_t>(std::min(kPacketDataSize, length - offset));
        std::memcpy(storage.data() + at, &time, sizeof time);
        std::memcpy(storage.data() + at + sizeof time, &chunk, sizeof chunk);
        std::memcpy(storage.data() + at + kPacketHeader, bytes + offset, chunk);
        at += kPacketHeader + chunk;
    }
    return storage;
}

const MIDIPacketList* PacketListBytes::asList(const std::vector<Byte>& storage)
{
    return reinterpret_cast<const MIDIPacketList*>(storage.data());
}

} // namespace mirelo::midi::alsa
