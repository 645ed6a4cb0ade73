#include "cli/CountingBackend.h"

OSStatus CCountingBackend::clientCreate(const std::string& name, MIDINotifyProc notifyProc, void* notifyRefCon,
                                        MIDIClientRef* outClient)
{
    return m_inner.clientCreate(name, notifyProc, notifyRefCon, outClient);
}

OSStatus CCountingBackend::clientDispose(MIDIClientRef client)
{
    return m_inner.clientDispose(client);
}

OSStatus CCountingBackend::inputPortCreate(MIDIClientRef client, const std::string& portName, MIDIReadProc readProc,
                                           void* refCon, MIDIPortRef* outPort)
{
    return m_inner.inputPortCreate(client, portName, readProc, refCon, outPort);
}

OSStatus CCountingBackend::outputPortCreate(MIDIClientRef client, const std::string& portName, MIDIPortRef* outPort)
{
    return m_inner.outputPortCreate(client, portName, outPort);
}

OSStatus CCountingBackend::portConnectSource(MIDIPortRef port, MIDIEndpointRef source, void* connRefCon)
{
    return m_inner.portConnectSource(port, source, connRefCon);
}

OSStatus CCountingBackend::portDisconnectSource(MIDIPortRef port, MIDIEndpointRef source)
{
    return m_inner.portDisconnectSource(port, source);
}

OSStatus CCountingBackend::portDispose(MIDIPortRef port)
{
    return m_inner.portDispose(port);
}

ItemCount CCountingBackend::numberOfSources()
{
    return m_inner.numberOfSources();
}

MIDIEndpointRef CCountingBackend::source(ItemCount index)
{
    return m_inner.source(index);
}

ItemCount CCountingBackend::numberOfDestinations()
{
    return m_inner.numberOfDestinations();
}

MIDIEndpointRef CCountingBackend::destination(ItemCount index)
{
    return m_inner.destination(index);
}

OSStatus CCountingBackend::stringProperty(MIDIObjectRef obj, MIDIPropertyID propertyID, std::string* outString)
{
    return m_inner.stringProperty(obj, propertyID, outString);
}

OSStatus CCountingBackend::integerProperty(MIDIObjectRef obj, MIDIPropertyID propertyID, std::int32_t* outValue)
{
    return m_inner.integerProperty(obj, propertyID, outValue);
}

OSStatus CCountingBackend::send(MIDIPortRef port, MIDIEndpointRef dest, const MIDIPacketList* pktlist)
{
    std::uint64_t bytes = 0;
    if (pktlist != nullptr) {
        for (const MIDIPacket& packet : mirelo::midi::packetsOf(*pktlist)) {
            bytes += packet.length;
        }
    }
    const OSStatus status = m_inner.send(port, dest, pktlist);
    if (status == noErr) {
        m_bytes.fetch_add(bytes, std::memory_order_relaxed);
        m_messages.fetch_add(1, std::memory_order_release);
    } else {
        OSStatus none = noErr;
        m_firstFailure.compare_exchange_strong(none, status, std::memory_order_acq_rel);
    }
    return status;
}

OSStatus CCountingBackend::flushOutput(MIDIEndpointRef dest)
{
    return m_inner.flushOutput(dest);
}
