#pragma once
// The MIDI services the manager, the controller and the document call, in the
// shape of the desktop MIDI API they were written against. Every call is
// forwarded to the backend chosen at start-up (see midi/MidiBackend.h); no
// caller above platform/midi/ knows which backend runs.

#include "platform/base/MacTypes.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

using MIDIObjectRef = std::uint32_t;
using MIDIClientRef = MIDIObjectRef;
using MIDIPortRef = MIDIObjectRef;
using MIDIEndpointRef = MIDIObjectRef;
using MIDITimeStamp = std::uint64_t;

// The MIDI status family. Backend failures map onto these; the detail goes to
// standard error.
enum : OSStatus {
    kMIDIInvalidClient = -10830,
    kMIDIInvalidPort = -10831,
    kMIDIWrongEndpointType = -10832,
    kMIDINoConnection = -10833,
    kMIDIUnknownEndpoint = -10834,
    kMIDIUnknownProperty = -10835,
    kMIDIWrongPropertyType = -10836,
    kMIDINoCurrentSetup = -10837,
    kMIDIMessageSendErr = -10838,
    kMIDIServerStartErr = -10839,
    kMIDISetupFormatErr = -10840,
    kMIDIWrongThread = -10841,
    kMIDIObjectNotFound = -10842,
    kMIDIIDNotUnique = -10843,
    kMIDINotPermitted = -10844,
    kMIDIUnknownError = -10845,
};

// The status of a device that is not there, as the USB layer reports it.
constexpr OSStatus kIOReturnNoDevice = static_cast<OSStatus>(0xE00002C0u);

enum MIDIPropertyID : int {
    // Strings.
    kMIDIPropertyName = 1,
    kMIDIPropertyModel = 2,
    kMIDIPropertyDisplayName = 3,
    // Integer: 1 for a port of a device the system drives (a USB MIDI
    // instrument, a sound card's MIDI port), 0 for a port that software
    // provides (a loop-back, a virtual raw MIDI port, an application). Backends
    // list hardware endpoints first, so that the first destination is an
    // instrument whenever one is connected.
    kMIDIPropertyHardware = 4,
};

// Packets are packed without padding: the next packet starts right after the
// previous packet's last byte (10 bytes of header plus its length further on),
// so a list of n bytes in k packets takes 4 + 10k + n bytes.
#pragma pack(push, 1)
struct MIDIPacket {
    MIDITimeStamp timeStamp;
    std::uint16_t length;
    Byte data[256];
};
struct MIDIPacketList {
    std::uint32_t numPackets;
    MIDIPacket packet[1];
};
#pragma pack(pop)

static_assert(offsetof(MIDIPacket, data) == 10, "packet header is 10 bytes");
static_assert(offsetof(MIDIPacketList, packet) == 4, "list header is 4 bytes");

inline MIDIPacket* MIDIPacketNext(const MIDIPacket* pkt)
{
    return reinterpret_cast<MIDIPacket*>(const_cast<Byte*>(pkt->data) + pkt->length);
}

// Gives the first packet position of an empty list.
MIDIPacket* MIDIPacketListInit(MIDIPacketList* pktlist);

// Appends nData bytes as a new packet after curPacket (every add starts a new
// packet). Returns the new packet, or null when the list of listSize bytes has
// no room for it or nData exceeds 65535.
MIDIPacket* MIDIPacketListAdd(MIDIPacketList* pktlist, ByteCount listSize, MIDIPacket* curPacket, MIDITimeStamp time,
                              ByteCount nData, const Byte* data);

// Our own helpers for packed lists: every walk over a list and every list
// built from bytes goes through these, so the offset arithmetic lives here only.
namespace mirelo::midi {

// A packet's bytes. Its length may run past the 256 bytes the struct
// declares: the list was sized for it.
inline std::span<const Byte> packetBytes(const MIDIPacket& packet)
{
    return {reinterpret_cast<const Byte*>(&packet) + offsetof(MIDIPacket, data), packet.length};
}

// The packets of a list in order: for (const MIDIPacket& packet : packetsOf(list)).
class PacketRange {
public:
    class Iterator {
    public:
        const MIDIPacket& operator*() const { return *m_packet; }
        Iterator& operator++()
        {
            // Never stepped past the last packet: its length may be the end of the storage.
            if (++m_index < m_count) {
                m_packet = MIDIPacketNext(m_packet);
            }
            return *this;
        }
        bool operator==(const Iterator& other) const { return m_index == other.m_index; }

    private:
        friend class PacketRange;
        Iterator(const MIDIPacket* packet, std::uint32_t index, std::uint32_t count)
            : m_packet(packet), m_index(index), m_count(count)
        {
        }

        const MIDIPacket* m_packet;
        std::uint32_t m_index;
        std::uint32_t m_count;
    };

    explicit PacketRange(const MIDIPacketList& list) : m_list(list) {}
    Iterator begin() const { return {&m_list.packet[0], 0, m_list.numPackets}; }
    Iterator end() const { return {nullptr, m_list.numPackets, m_list.numPackets}; }

private:
    const MIDIPacketList& m_list;
};

inline PacketRange packetsOf(const MIDIPacketList& list)
{
    return PacketRange(list);
}

// Every byte of every packet, in order: a message cut into packets made whole.
std::vector<Byte> allBytes(const MIDIPacketList& list);

// Zeroed storage for one list of a given size, started empty; filled with
// add() or with MIDIPacketListAdd(list(), size(), ...).
class PacketListStorage {
public:
    static constexpr std::size_t kPacketDataSize = 256;

    explicit PacketListStorage(std::size_t listSize);

    // The size of a list of `packets` packets carrying `dataBytes` in all.
    static std::size_t sizeFor(std::size_t packets, std::size_t dataBytes);
    // A list holding `length` bytes in packets of at most 256 bytes, all
    // stamped `time`.
    static PacketListStorage holding(const Byte* bytes, std::size_t length, MIDITimeStamp time);

    // Appends a packet after the last one; false when it does not fit.
    [[nodiscard]] bool add(MIDITimeStamp time, const Byte* data, std::size_t length);

    MIDIPacketList* list() { return reinterpret_cast<MIDIPacketList*>(m_bytes.data()); }
    const MIDIPacketList* list() const { return reinterpret_cast<const MIDIPacketList*>(m_bytes.data()); }
    std::size_t size() const { return m_size; }

private:
    std::size_t m_size;
    std::vector<Byte> m_bytes;
    std::size_t m_lastPacket = 0; // offset of the packet the next add follows
};

} // namespace mirelo::midi

// Notifications.
using MIDINotificationMessageID = std::int32_t;
enum : MIDINotificationMessageID {
    kMIDIMsgSetupChanged = 1,
    kMIDIMsgObjectAdded = 2,
    kMIDIMsgObjectRemoved = 3,
    kMIDIMsgPropertyChanged = 4,
};
struct MIDINotification {
    MIDINotificationMessageID messageID;
    std::uint32_t messageSize;
};
using MIDINotifyProc = void (*)(const MIDINotification* message, void* refCon);
using MIDIReadProc = void (*)(const MIDIPacketList* pktlist, void* readProcRefCon, void* srcConnRefCon);

// Clients and ports. Notifications of a client are delivered on the main event
// loop (platform/EventLoop), never on the caller's or a backend thread. The
// read procedure of an input port runs on the backend's receive thread.
[[nodiscard]] OSStatus MIDIClientCreate(const std::string& name, MIDINotifyProc notifyProc, void* notifyRefCon,
                                        MIDIClientRef* outClient);
[[nodiscard]] OSStatus MIDIClientDispose(MIDIClientRef client);
[[nodiscard]] OSStatus MIDIInputPortCreate(MIDIClientRef client, const std::string& portName, MIDIReadProc readProc,
                                           void* refCon, MIDIPortRef* outPort);
[[nodiscard]] OSStatus MIDIOutputPortCreate(MIDIClientRef client, const std::string& portName, MIDIPortRef* outPort);
[[nodiscard]] OSStatus MIDIPortConnectSource(MIDIPortRef port, MIDIEndpointRef source, void* connRefCon);
[[nodiscard]] OSStatus MIDIPortDisconnectSource(MIDIPortRef port, MIDIEndpointRef source);
[[nodiscard]] OSStatus MIDIPortDispose(MIDIPortRef port);

// Endpoints, by index in a stable order, hardware endpoints first; 0 past
// the end.
ItemCount MIDIGetNumberOfSources();
MIDIEndpointRef MIDIGetSource(ItemCount sourceIndex0);
ItemCount MIDIGetNumberOfDestinations();
MIDIEndpointRef MIDIGetDestination(ItemCount destIndex0);

// Reads a string property into *outString (an owned copy). A property that
// cannot be read leaves *outString unchanged and returns kMIDIUnknownProperty
// (or kMIDIObjectNotFound when the object has gone).
[[nodiscard]] OSStatus MIDIObjectGetStringProperty(MIDIObjectRef obj, MIDIPropertyID propertyID,
                                                   std::string* outString);
// The same for an integer property. Either call returns kMIDIWrongPropertyType
// for a property of the other type.
[[nodiscard]] OSStatus MIDIObjectGetIntegerProperty(MIDIObjectRef obj, MIDIPropertyID propertyID,
                                                    std::int32_t* outValue);

// Sends the list to the destination through the port, without waiting for
// delivery. Status 0 when it was handed over.
[[nodiscard]] OSStatus MIDISend(MIDIPortRef port, MIDIEndpointRef dest, const MIDIPacketList* pktlist);

// Drops whatever is still queued for the destination (all destinations for 0).
[[nodiscard]] OSStatus MIDIFlushOutput(MIDIEndpointRef dest);

// Never registered by the manager; kept so the output procedure has its record.
struct MIDISysexSendRequest {
    MIDIEndpointRef destination;
    const Byte* data;
    std::uint32_t bytesToSend;
    bool complete;
    void (*completionProc)(MIDISysexSendRequest* request);
    void* completionRefCon;
};
