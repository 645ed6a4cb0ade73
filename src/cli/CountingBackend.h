#pragma once
// Passes every MIDI call through to another backend unchanged, counting the
// sends on the way: one MIDISend is one message of the transfer, so this is
// how `send` knows how far a run got and which status stopped it, which the
// transfer's true/false result does not say.

#include "platform/midi/ForwardingBackend.h"

#include <atomic>
#include <cstdint>

class CCountingBackend final : public mirelo::midi::ForwardingBackend {
public:
    using ForwardingBackend::ForwardingBackend;

    // Accepted sends and the bytes they carried.
    std::uint64_t messagesSent() const { return m_messages.load(std::memory_order_acquire); }
    std::uint64_t bytesSent() const { return m_bytes.load(std::memory_order_acquire); }
    // The status of the first refused send, 0 while none was refused; the
    // refused message is number messagesSent() + 1 when the transfer stops there.
    OSStatus firstFailure() const { return m_firstFailure.load(std::memory_order_acquire); }

    OSStatus send(MIDIPortRef port, MIDIEndpointRef dest, const MIDIPacketList* pktlist) override;

private:
    std::atomic<std::uint64_t> m_messages{0};
    std::atomic<std::uint64_t> m_bytes{0};
    std::atomic<OSStatus> m_firstFailure{noErr};
};
