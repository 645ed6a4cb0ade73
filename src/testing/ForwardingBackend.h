#pragma once
// A backend that passes every call to another one unchanged: the base of a
// test double that changes some calls (FailingBackend) and overrides only those.

#include "platform/midi/MidiBackend.h"

namespace mirelo::midi {

class ForwardingBackend : public MidiBackend {
public:
    explicit ForwardingBackend(MidiBackend& inner) : m_inner(inner) {}

    const char* name() const override { return m_inner.name(); }
    OSStatus clientCreate(const std::string& name, MIDINotifyProc notifyProc, void* notifyRefCon,
                          MIDIClientRef* outClient) override
    {
        return m_inner.clientCreate(name, notifyProc, notifyRefCon, outClient);
    }
    OSStatus clientDispose(MIDIClientRef client) override { return m_inner.clientDispose(client); }
    OSStatus inputPortCreate(MIDIClientRef client, const std::string& portName, MIDIReadProc readProc, void* refCon,
                             MIDIPortRef* outPort) override
    {
        return m_inner.inputPortCreate(client, portName, readProc, refCon, outPort);
    }
    OSStatus outputPortCreate(MIDIClientRef client, const std::string& portName, MIDIPortRef* outPort) override
    {
        return m_inner.outputPortCreate(client, portName, outPort);
    }
    OSStatus portConnectSource(MIDIPortRef port, MIDIEndpointRef source, void* connRefCon) override
    {
        return m_inner.portConnectSource(port, source, connRefCon);
    }
    OSStatus portDisconnectSource(MIDIPortRef port, MIDIEndpointRef source) override
    {
        return m_inner.portDisconnectSource(port, source);
    }
    OSStatus portDispose(MIDIPortRef port) override { return m_inner.portDispose(port); }
    ItemCount numberOfSources() override { return m_inner.numberOfSources(); }
    MIDIEndpointRef source(ItemCount index) override { return m_inner.source(index); }
    ItemCount numberOfDestinations() override { return m_inner.numberOfDestinations(); }
    MIDIEndpointRef destination(ItemCount index) override { return m_inner.destination(index); }
    OSStatus stringProperty(MIDIObjectRef obj, MIDIPropertyID propertyID, std::string* outString) override
    {
        return m_inner.stringProperty(obj, propertyID, outString);
    }
    OSStatus integerProperty(MIDIObjectRef obj, MIDIPropertyID propertyID, std::int32_t* outValue) override
    {
        return m_inner.integerProperty(obj, propertyID, outValue);
    }
    OSStatus send(MIDIPortRef port, MIDIEndpointRef dest, const MIDIPacketList* pktlist) override
    {
        return m_inner.send(port, dest, pktlist);
    }
    OSStatus flushOutput(MIDIEndpointRef dest) override { return m_inner.flushOutput(dest); }

private:
    MidiBackend& m_inner;
};

} // namespace mirelo::midi
