#include "cli/CountingBackend.h"

OSStatus CCountingBackend::send(MIDIPortRef port, MIDIEndpointRef dest, const MIDIPacketList* pktlist)
{
    std::uint64_t bytes = 0;
    if (pktlist != nullptr) {
        for (const MIDIPacket& packet : mirelo::midi::packetsOf(*pktlist)) {
            bytes += packet.length;
        }
    }
    const OSStatus status = ForwardingBackend::send(port, dest, pktlist);
    if (status == noErr) {
        m_bytes.fetch_add(bytes, std::memory_order_relaxed);
        m_messages.fetch_add(1, std::memory_order_release);
    } else {
        OSStatus none = noErr;
        m_firstFailure.compare_exchange_strong(none, status, std::memory_order_acq_rel);
    }
    return status;
}
