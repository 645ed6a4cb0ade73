#include "testing/ControlledVirtualBackend.h"

#include <utility>

namespace mirelo::midi {
namespace {

constexpr std::size_t kMaxPacketLength = 0xFFFF;

std::vector<SentPacket> copyPackets(const MIDIPacketList& list)
{
    std::vector<SentPacket> packets;
    packets.reserve(list.numPackets);
    for (const MIDIPacket& packet : packetsOf(list)) {
        const std::span<const Byte> bytes = packetBytes(packet);
        packets.push_back(SentPacket{packet.timeStamp, std::vector<Byte>(bytes.begin(), bytes.end())});
    }
    return packets;
}

} // namespace

OSStatus ControlledVirtualBackend::clientCreate(const std::string& name, MIDINotifyProc notifyProc, void* notifyRefCon,
                                                MIDIClientRef* outClient)
{
    {
        std::lock_guard lock(m_mutex);
        if (auto failure = std::exchange(m_failClientCreate, std::nullopt)) {
            return *failure;
        }
    }
    const OSStatus status = VirtualBackend::clientCreate(name, notifyProc, notifyRefCon, outClient);
    if (status == noErr) {
        std::lock_guard lock(m_mutex);
        m_clients.emplace(*outClient, name);
    }
    return status;
}

OSStatus ControlledVirtualBackend::clientDispose(MIDIClientRef client)
{
    // Not under m_mutex: disposing the client disposes its ports through portDispose.
    const OSStatus status = VirtualBackend::clientDispose(client);
    if (status == noErr) {
        std::lock_guard lock(m_mutex);
        m_clients.erase(client);
    }
    return status;
}

std::optional<OSStatus> ControlledVirtualBackend::takePortFailure()
{
    std::lock_guard lock(m_mutex);
    return std::exchange(m_failPortCreate, std::nullopt);
}

void ControlledVirtualBackend::portCreated(OSStatus status, MIDIClientRef client, const MIDIPortRef* port)
{
    if (status == noErr) {
        std::lock_guard lock(m_mutex);
        m_ports.emplace(*port, client);
    }
}

OSStatus ControlledVirtualBackend::inputPortCreate(MIDIClientRef client, const std::string& portName,
                                                   MIDIReadProc readProc, void* refCon, MIDIPortRef* outPort)
{
    if (auto failure = takePortFailure()) {
        return *failure;
    }
    const OSStatus status = VirtualBackend::inputPortCreate(client, portName, readProc, refCon, outPort);
    portCreated(status, client, outPort);
    return status;
}

OSStatus ControlledVirtualBackend::outputPortCreate(MIDIClientRef client, const std::string& portName,
                                                    MIDIPortRef* outPort)
{
    if (auto failure = takePortFailure()) {
        return *failure;
    }
    const OSStatus status = VirtualBackend::outputPortCreate(client, portName, outPort);
    portCreated(status, client, outPort);
    return status;
}

OSStatus ControlledVirtualBackend::portDisconnectSource(MIDIPortRef port, MIDIEndpointRef source)
{
    {
        std::lock_guard lock(m_mutex);
        if (auto failure = std::exchange(m_failDisconnect, std::nullopt)) {
            return *failure;
        }
    }
    return VirtualBackend::portDisconnectSource(port, source);
}

OSStatus ControlledVirtualBackend::portDispose(MIDIPortRef port)
{
    const bool onReceiveThread = m_receiver.isReceiveThread();
    // Held while the port goes, so that deliver() either sees the port gone or
    // has marked it as being delivered to, and then this waits.
    std::unique_lock lock(m_mutex);
    const OSStatus status = VirtualBackend::portDispose(port);
    if (status != noErr) {
        return status;
    }
    m_ports.erase(port);
    if (!onReceiveThread) {
        m_deliveryDone.wait(lock, [this, port] { return m_delivering != port; });
    }
    return noErr;
}

OSStatus ControlledVirtualBackend::send(MIDIPortRef port, MIDIEndpointRef dest, const MIDIPacketList* pktlist)
{
    std::size_t number = 0;
    std::optional<OSStatus> failure;
    {
        std::lock_guard lock(m_mutex);
        number = ++m_sends;
        if (auto it = m_failSends.find(number); it != m_failSends.end()) {
            failure = it->second;
            m_failSends.erase(it);
        }
    }
    const OSStatus status = failure ? *failure : VirtualBackend::send(port, dest, pktlist);
    std::lock_guard lock(m_mutex);
    m_sent.emplace(number, SentPacketList{port, dest, copyPackets(*pktlist), status});
    return status;
}

OSStatus ControlledVirtualBackend::flushOutput(MIDIEndpointRef dest)
{
    {
        std::lock_guard lock(m_mutex);
        m_flushes.push_back(dest);
    }
    return VirtualBackend::flushOutput(dest);
}

void ControlledVirtualBackend::failNextClientCreate(OSStatus status)
{
    std::lock_guard lock(m_mutex);
    m_failClientCreate = status;
}

void ControlledVirtualBackend::failNextPortCreate(OSStatus status)
{
    std::lock_guard lock(m_mutex);
    m_failPortCreate = status;
}

void ControlledVirtualBackend::failNextDisconnect(OSStatus status)
{
    std::lock_guard lock(m_mutex);
    m_failDisconnect = status;
}

void ControlledVirtualBackend::failSend(std::size_t k, OSStatus status)
{
    if (k == 0) {
        return;
    }
    std::lock_guard lock(m_mutex);
    m_failSends[m_sends + k] = status;
}

std::vector<SentPacketList> ControlledVirtualBackend::sentLists() const
{
    std::lock_guard lock(m_mutex);
    std::vector<SentPacketList> lists;
    lists.reserve(m_sent.size());
    for (const auto& [number, list] : m_sent) {
        lists.push_back(list);
    }
    return lists;
}

std::size_t ControlledVirtualBackend::sendCount() const
{
    std::lock_guard lock(m_mutex);
    return m_sends;
}

void ControlledVirtualBackend::clearSent()
{
    std::lock_guard lock(m_mutex);
    m_sent.clear();
    m_flushes.clear();
}

std::vector<MIDIEndpointRef> ControlledVirtualBackend::flushes() const
{
    std::lock_guard lock(m_mutex);
    return m_flushes;
}

bool ControlledVirtualBackend::isSource(MIDIEndpointRef endpoint)
{
    const ItemCount count = numberOfSources();
    for (ItemCount i = 0; i < count; ++i) {
        if (source(i) == endpoint) {
            return true;
        }
    }
    return false;
}

bool ControlledVirtualBackend::injectIncoming(MIDIEndpointRef source, const std::vector<std::vector<Byte>>& packets,
                                              MIDITimeStamp timeStamp)
{
    std::size_t dataBytes = 0;
    for (const auto& packet : packets) {
        if (packet.size() > kMaxPacketLength) {
            return false;
        }
        dataBytes += packet.size();
    }
    if (!isSource(source)) {
        return false;
    }
    PacketListStorage storage(PacketListStorage::sizeFor(packets.size(), dataBytes));
    for (const auto& packet : packets) {
        // Sized for exactly these packets: every add fits.
        static_cast<void>(storage.add(timeStamp, packet.data(), packet.size()));
    }
    m_receiver.enqueue([this, source, storage = std::move(storage)] { deliver(source, *storage.list()); });
    return true;
}

void ControlledVirtualBackend::deliver(MIDIEndpointRef source, const MIDIPacketList& list)
{
    for (const Reader& target : readersOf(source)) {
        std::optional<Reader> reader;
        {
            // Looked up again: the port may have been disposed or disconnected meanwhile.
            std::lock_guard lock(m_mutex);
            reader = readerOf(target.port, source);
            if (!reader) {
                continue;
            }
            m_delivering = reader->port;
        }
        reader->readProc(&list, reader->refCon, reader->connRefCon);
        {
            std::lock_guard lock(m_mutex);
            m_delivering = 0;
        }
        m_deliveryDone.notify_all();
    }
}

void ControlledVirtualBackend::waitForIncoming()
{
    m_receiver.waitIdle();
}

std::size_t ControlledVirtualBackend::clientCount() const
{
    std::lock_guard lock(m_mutex);
    return m_clients.size();
}

std::size_t ControlledVirtualBackend::portCount() const
{
    std::lock_guard lock(m_mutex);
    return m_ports.size();
}

std::vector<std::string> ControlledVirtualBackend::clientNames() const
{
    std::lock_guard lock(m_mutex);
    std::vector<std::string> names;
    for (const auto& [ref, name] : m_clients) {
        names.push_back(name);
    }
    return names;
}

bool ControlledVirtualBackend::isConnected(MIDIPortRef port, MIDIEndpointRef source) const
{
    return readerOf(port, source).has_value();
}

} // namespace mirelo::midi
