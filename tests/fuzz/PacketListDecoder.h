#pragma once
// Turns arbitrary bytes into well-formed MIDI packet lists, as a MIDI service
// would hand them to a read procedure: numPackets packets, each a timestamp,
// a 16-bit length and that many bytes, packed one right after the other.
// Each list lives in a buffer of exactly its size, so a reader that strays past
// the last packet is caught by the address sanitizer.
//
// Layout of the input, repeated until it runs out:
//   one byte: the number of packets of the next list, modulo 9
//   per packet: one length byte; 0xFF means a 16-bit big-endian length follows;
//               then the data bytes (fewer when the input ends first)

#include "platform/midi/MIDIServices.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

struct SPacketListImage {
    std::unique_ptr<std::uint8_t[]> bytes;
    std::size_t size = 0;
    std::vector<std::vector<std::uint8_t>> packets; // the data of each packet, in order

    const MIDIPacketList* list() const { return reinterpret_cast<const MIDIPacketList*>(bytes.get()); }
};

std::vector<SPacketListImage> decodePacketLists(const std::uint8_t* data, std::size_t size);

// One list image holding the given packets.
SPacketListImage makePacketList(std::vector<std::vector<std::uint8_t>> packets);
