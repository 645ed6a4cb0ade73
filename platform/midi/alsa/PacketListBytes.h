#pragma once
// Conversions between packet lists and plain byte runs. Outgoing lists are
// flattened, so that a message the sender cut into 256-byte packets becomes
// one run again; incoming runs are packed into lists of 256-byte packets for
// the read procedure.

#include "platform/MIDIServices.h"

#include <vector>

namespace mirelo::midi::alsa {

class PacketListBytes {
public:
    static constexpr std::size_t kPacketDataSize = 256;

    // Every byte of every packet, in order.
    static std::vector<Byte> flatten(const MIDIPacketList& list);

    // A list holding `bytes` in packets of at most 256 bytes, all stamped
    // `time`. The storage is the list; read it through asList().
    static std::vector<Byte> build(const Byte* bytes, std::size_t length, MIDITimeStamp time);
    static const MIDIPacketList* asList(const std::vector<Byte>& storage);
};

} // namespace mirelo::midi::alsa
