#include "MIDIServices.h"

#include "midi/MidiBackend.h"

#include <cstring>

namespace {

constexpr std::size_t kListHeaderSize = offsetof(MIDIPacketList, packet);
constexpr std::size_t kPacketHeaderSize = offsetof(MIDIPacket, data);
constexpr ByteCount kMaxPacketLength = 0xFFFF;

mirelo::midi::MidiBackend& backend()
{
    return mirelo::midi::activeBackend();
}

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
