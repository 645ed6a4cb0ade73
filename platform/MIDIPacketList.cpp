// The packed packet lists of platform/MIDIServices.h: plain data, no backend.

#include "platform/MIDIServices.h"

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

MIDIPacket* MIDIPacketListAdd(MIDIPacketList* pktlist, ByteCount listSize, MIDIPacket* curPacket,
                              MIDITimeStamp time, ByteCount nData, const Byte* data)
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
