#include "platform/midi/MIDIServices.h"

#include "platform/midi/MidiBackend.h"

namespace {

mirelo::midi::MidiBackend& backend()
{
    return mirelo::midi::activeBackend();
}

} // namespace

OSStatus MIDIClientCreate(const std::string& name, MIDINotifyProc notifyProc, void* notifyRefCon,
                          MIDIClientRef* outClient)
{
    if (outClient == nullptr) {
        return kParamErr;
    }
    return backend().clientCreate(name, notifyProc, notifyRefCon, outClient);
}

OSStatus MIDIClientDispose(MIDIClientRef client)
{
    return backend().clientDispose(client);
}

OSStatus MIDIInputPortCreate(MIDIClientRef client, const std::string& portName, MIDIReadProc readProc, void* refCon,
                             MIDIPortRef* outPort)
{
    if (outPort == nullptr) {
        return kParamErr;
    }
    return backend().inputPortCreate(client, portName, readProc, refCon, outPort);
}

OSStatus MIDIOutputPortCreate(MIDIClientRef client, const std::string& portName, MIDIPortRef* outPort)
{
    if (outPort == nullptr) {
        return kParamErr;
    }
    return backend().outputPortCreate(client, portName, outPort);
}

OSStatus MIDIPortConnectSource(MIDIPortRef port, MIDIEndpointRef source, void* connRefCon)
{
    return backend().portConnectSource(port, source, connRefCon);
}

OSStatus MIDIPortDisconnectSource(MIDIPortRef port, MIDIEndpointRef source)
{
    return backend().portDisconnectSource(port, source);
}

OSStatus MIDIPortDispose(MIDIPortRef port)
{
    return backend().portDispose(port);
}

ItemCount MIDIGetNumberOfSources()
{
    return backend().numberOfSources();
}

MIDIEndpointRef MIDIGetSource(ItemCount sourceIndex0)
{
    return backend().source(sourceIndex0);
}

ItemCount MIDIGetNumberOfDestinations()
{
    return backend().numberOfDestinations();
}

MIDIEndpointRef MIDIGetDestination(ItemCount destIndex0)
{
    return backend().destination(destIndex0);
}

OSStatus MIDIObjectGetStringProperty(MIDIObjectRef obj, MIDIPropertyID propertyID, std::string* outString)
{
    if (outString == nullptr) {
        return kParamErr;
    }
    return backend().stringProperty(obj, propertyID, outString);
}

OSStatus MIDIObjectGetIntegerProperty(MIDIObjectRef obj, MIDIPropertyID propertyID, std::int32_t* outValue)
{
    if (outValue == nullptr) {
        return kParamErr;
    }
    return backend().integerProperty(obj, propertyID, outValue);
}

OSStatus MIDISend(MIDIPortRef port, MIDIEndpointRef dest, const MIDIPacketList* pktlist)
{
    if (pktlist == nullptr) {
        return kParamErr;
    }
    return backend().send(port, dest, pktlist);
}

OSStatus MIDIFlushOutput(MIDIEndpointRef dest)
{
    return backend().flushOutput(dest);
}
