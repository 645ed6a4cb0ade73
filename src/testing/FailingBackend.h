#pragma once
// Stands in front of another backend and passes every call on, but fails one
// send: the k-th that reaches it returns the status asked for and delivers
// nothing, as a device that refuses a message would.

#include "testing/ForwardingBackend.h"
#include "testing/SendFailure.h"

#include <atomic>
#include <cstddef>

namespace mirelo::midi {

class FailingBackend final : public ForwardingBackend {
public:
    FailingBackend(MidiBackend& inner, SendFailure failure) : ForwardingBackend(inner), m_failure(failure) {}

    OSStatus send(MIDIPortRef port, MIDIEndpointRef dest, const MIDIPacketList* pktlist) override
    {
        if (m_sends.fetch_add(1, std::memory_order_relaxed) + 1 == m_failure.sendNumber) {
            return m_failure.status;
        }
        return ForwardingBackend::send(port, dest, pktlist);
    }

private:
    const SendFailure m_failure;
    std::atomic<std::size_t> m_sends{0};
};

} // namespace mirelo::midi
