// The packed packet lists of platform/MIDIServices.h: plain data, no backend.

#include "platform/midi/MIDIServices.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::size_t kListHeaderSize = offsetof(MIDIPacketList, packet);
constexpr std::size_t kPacketHeaderSize = offsetof(MIDIPacket, data);
constexpr ByteCount kMaxPacketLength = 0xFFFF;

} // namespace

MIDIPacket* MIDIPacketListInit(MIDIPacketList* pktlist)
{
    if (pktlist == nullptr) {
        return nullptr;
    }
    pktlist->numPackets = 0;
    return &pktlist->packet[0];
}

MIDIPacket* MIDIPacketListAdd(MIDIPacketList* pktlist, ByteCount listSize, MIDIPacket* curPacket, MIDITimeStamp time,
                              ByteCount nData, const Byte* data)
{
    if (pktlist == nullptr || curPacket == nullptr || nData > kMaxPacketLength || (nData > 0 && data == nullptr)) {
        return nullptr;
    }
    auto* const listStart = reinterpret_cast<Byte*>(pktlist);
    Byte* position = pktlist->numPackets == 0 ? reinterpret_cast<Byte*>(&pktlist->packet[0])
                                              : reinterpret_cast<Byte*>(MIDIPacketNext(curPacket));
    if (position < listStart + kListHeaderSize) {
        return nullptr;
    }
    const auto offset = static_cast<std::size_t>(position - listStart);
    if (offset > listSize || listSize - offset < kPacketHeaderSize + nData) {
        return nullptr;
    }
    auto* packet = reinterpret_cast<MIDIPacket*>(position);
    packet->timeStamp = time;
    packet->length = static_cast<std::uint16_t>(nData);
    if (nData > 0) {
        // The data may run past the declared 256 bytes; the list was sized for it.
        std::memcpy(position + kPacketHeaderSize, data, nData);
    }
    ++pktlist->numPackets;
    return packet;
}

namespace mirelo::midi {

std::vector<Byte> allBytes(const MIDIPacketList& list)
{
    std::vector<Byte> bytes;
    for (const MIDIPacket& packet : packetsOf(list)) {
        const std::span<const Byte> data = packetBytes(packet);
        bytes.insert(bytes.end(), data.begin(), data.end());
    }
    return bytes;
}

// Room for a whole MIDIPacket past the list's end, so a reader that copies a
// packet struct never reads past the storage.
PacketListStorage::PacketListStorage(std::size_t listSize)
    : m_size(listSize), m_bytes(std::max(listSize, kListHeaderSize) + sizeof(MIDIPacket), 0)
{
    m_lastPacket = static_cast<std::size_t>(reinterpret_cast<Byte*>(MIDIPacketListInit(list())) - m_bytes.data());
}

std::size_t PacketListStorage::sizeFor(std::size_t packets, std::size_t dataBytes)
{
    return kListHeaderSize + packets * kPacketHeaderSize + dataBytes;
}

PacketListStorage PacketListStorage::holding(const Byte* bytes, std::size_t length, MIDITimeStamp time)
{
    const std::size_t packets = (length + kPacketDataSize - 1) / kPacketDataSize;
    PacketListStorage storage(sizeFor(packets, length));
    for (std::size_t offset = 0; offset < length; offset += kPacketDataSize) {
        // Sized for exactly these packets: every add fits.
        static_cast<void>(storage.add(time, bytes + offset, std::min(kPacketDataSize, length - offset)));
    }
    return storage;
}

bool PacketListStorage::add(MIDITimeStamp time, const Byte* data, std::size_t length)
{
    auto* last = reinterpret_cast<MIDIPacket*>(m_bytes.data() + m_lastPacket);
    MIDIPacket* added = MIDIPacketListAdd(list(), m_size, last, time, length, data);
    if (added == nullptr) {
        return false;
    }
    m_lastPacket = static_cast<std::size_t>(reinterpret_cast<Byte*>(added) - m_bytes.data());
    return true;
}

} // namespace mirelo::midi
