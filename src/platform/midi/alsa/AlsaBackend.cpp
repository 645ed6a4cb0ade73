#include "platform/midi/alsa/AlsaBackend.h"

#include "platform/midi/alsa/AlsaClient.h"
#include "platform/midi/alsa/EndpointRef.h"
#include "platform/midi/alsa/MidiStreamSplitter.h"
#include "platform/midi/alsa/OwnClientSet.h"
#include "platform/midi/alsa/PortMapping.h"
#include "platform/midi/alsa/SeqEventWriter.h"
#include "platform/midi/alsa/WirePacer.h"

#include <alsa/asoundlib.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>

namespace mirelo::midi {

namespace alsa {

namespace {

// libasound prints its own lines ("ALSA lib seq_hw.c:...") for failures we
// already report in our words; keep them for debugging only.
void alsaLibErrorHandler(const char* file, int line, const char* function, int err, const char* fmt, ...)
{
    static const bool verbose = std::getenv("MIRELO_ALSA_DEBUG") != nullptr;
    if (!verbose) {
        return;
    }
    std::fprintf(stderr, "ALSA lib %s:%d:(%s) ", file, line, function);
    va_list args;
    va_start(args, fmt);
    std::vfprintf(stderr, fmt, args);
    va_end(args);
    if (err != 0) {
        std::fprintf(stderr, ": %s", snd_strerror(err));
    }
    std::fputc('\n', stderr);
}

OSStatus statusFor(int error, OSStatus fallback)
{
    switch (error) {
    case -ENOENT:
    case -ENXIO:
    case -ENODEV:
        return kMIDIObjectNotFound;
    case -ENOMEM:
        return kMemFullErr;
    case -EPERM:
    case -EACCES:
        return kMIDINotPermitted;
    default:
        return fallback;
    }
}

snd_seq_addr_t addressOf(int client, int port)
{
    return snd_seq_addr_t{static_cast<unsigned char>(client), static_cast<unsigned char>(port)};
}

std::vector<PortRecord> snapshotPorts(snd_seq_t* seq)
{
    std::vector<PortRecord> records;
    snd_seq_client_info_t* clientInfo = nullptr;
    snd_seq_port_info_t* portInfo = nullptr;
    snd_seq_client_info_alloca(&clientInfo);
    snd_seq_port_info_alloca(&portInfo);
    snd_seq_client_info_set_client(clientInfo, -1);
    while (snd_seq_query_next_client(seq, clientInfo) >= 0) {
        const int client = snd_seq_client_info_get_client(clientInfo);
        snd_seq_port_info_set_client(portInfo, client);
        snd_seq_port_info_set_port(portInfo, -1);
        while (snd_seq_query_next_port(seq, portInfo) >= 0) {
            records.push_back(
                PortRecord{client, snd_seq_port_info_get_port(portInfo), snd_seq_port_info_get_capability(portInfo),
                           snd_seq_client_info_get_name(clientInfo), snd_seq_port_info_get_name(portInfo),
                           snd_seq_client_info_get_type(clientInfo) == SND_SEQ_KERNEL_CLIENT,
                           snd_seq_client_info_get_card(clientInfo), snd_seq_port_info_get_type(portInfo)});
        }
    }
    return records;
}

// The record of the port an endpoint reference names, if it is still the
// same port; kMIDIObjectNotFound once it has gone or been replaced.
OSStatus resolve(snd_seq_t* seq, const EndpointRef& ref, PortRecord* out)
{
    snd_seq_client_info_t* clientInfo = nullptr;
    snd_seq_port_info_t* portInfo = nullptr;
    snd_seq_client_info_alloca(&clientInfo);
    snd_seq_port_info_alloca(&portInfo);
    if (snd_seq_get_any_client_info(seq, ref.client, clientInfo) < 0 ||
        snd_seq_get_any_port_info(seq, ref.client, ref.port, portInfo) < 0) {
        return kMIDIObjectNotFound;
    }
    PortRecord record{ref.client,
                      ref.port,
                      snd_seq_port_info_get_capability(portInfo),
                      snd_seq_client_info_get_name(clientInfo),
                      snd_seq_port_info_get_name(portInfo),
                      snd_seq_client_info_get_type(clientInfo) == SND_SEQ_KERNEL_CLIENT,
                      snd_seq_client_info_get_card(clientInfo),
                      snd_seq_port_info_get_type(portInfo)};
    if (PortMapping::refFor(record, ref.kind) != ref || !PortMapping::matchesKind(record.capability, ref.kind)) {
        return kMIDIObjectNotFound;
    }
    *out = std::move(record);
    return noErr;
}

class AlsaBackend final : public MidiBackend {
public:
    AlsaBackend()
    {
        static std::once_flag installed;
        std::call_once(installed, [] { snd_lib_error_set_handler(alsaLibErrorHandler); });
    }

    AlsaBackend(const AlsaBackend&) = delete;
    AlsaBackend& operator=(const AlsaBackend&) = delete;

    ~AlsaBackend() override
    {
        std::lock_guard lock(m_mutex);
        for (auto& [ref, client] : m_clients) {
            client->retire();
        }
        m_ports.clear();
        m_clients.clear();
    }

    const char* name() const override { return "alsa"; }

    OSStatus clientCreate(const std::string& name, MIDINotifyProc notifyProc, void* notifyRefCon,
                          MIDIClientRef* outClient) override
    {
        if (outClient == nullptr) {
            return kParamErr;
        }
        int error = 0;
        std::shared_ptr<AlsaClient> client = AlsaClient::open(name, notifyProc, notifyRefCon, m_own, &error);
        if (!client) {
            reportOpenFailure(error);
            return kMIDIServerStartErr;
        }
        std::lock_guard lock(m_mutex);
        const MIDIClientRef ref = nextRef(kClientTag);
        m_clients[ref] = std::move(client);
        *outClient = ref;
        return noErr;
    }

    OSStatus clientDispose(MIDIClientRef ref) override
    {
        std::shared_ptr<AlsaClient> client;
        {
            std::lock_guard lock(m_mutex);
            auto it = m_clients.find(ref);
            if (it == m_clients.end()) {
                return kMIDIInvalidClient;
            }
            client = std::move(it->second);
            m_clients.erase(it);
            std::erase_if(m_ports, [&](const auto& entry) { return entry.second.client == client; });
        }
        client->retire();
        return noErr; // the sequencer client closes when its last send has finished
    }

    OSStatus inputPortCreate(MIDIClientRef clientRef, const std::string& portName, MIDIReadProc readProc, void* refCon,
                             MIDIPortRef* outPort) override
    {
        return createPort(clientRef, outPort, true,
                          [&](AlsaClient& client) { return client.createInputPort(portName, readProc, refCon); });
    }

    OSStatus outputPortCreate(MIDIClientRef clientRef, const std::string& portName, MIDIPortRef* outPort) override
    {
        return createPort(clientRef, outPort, false,
                          [&](AlsaClient& client) { return client.createOutputPort(portName); });
    }

    OSStatus portConnectSource(MIDIPortRef portRef, MIDIEndpointRef source, void* connRefCon) override
    {
        PortEntry port;
        EndpointRef ref{};
        if (const OSStatus status = inputPortAndSource(portRef, source, &port, &ref); status != noErr) {
            return status;
        }
        PortRecord record;
        if (const OSStatus status = resolve(port.client->handle(), ref, &record); status != noErr) {
            return status;
        }
        const int result = port.client->connectSource(port.port, addressOf(ref.client, ref.port), connRefCon);
        if (result < 0) {
            std::fprintf(stderr, "ALSA: cannot connect to MIDI source %s (%d:%d): %s\n",
                         PortMapping::displayName(record.clientName, record.portName).c_str(), ref.client, ref.port,
                         snd_strerror(result));
            return statusFor(result, kMIDINoConnection);
        }
        return noErr;
    }

    OSStatus portDisconnectSource(MIDIPortRef portRef, MIDIEndpointRef source) override
    {
        PortEntry port;
        EndpointRef ref{};
        if (const OSStatus status = inputPortAndSource(portRef, source, &port, &ref); status != noErr) {
            return status;
        }
        const int result = port.client->disconnectSource(port.port, addressOf(ref.client, ref.port));
        // A source that has gone took its connection with it.
        if (result < 0 && result != -ENOENT && result != -ENXIO) {
            return statusFor(result, kMIDINoConnection);
        }
        return noErr;
    }

    OSStatus portDispose(MIDIPortRef portRef) override
    {
        PortEntry port;
        {
            std::lock_guard lock(m_mutex);
            auto it = m_ports.find(portRef);
            if (it == m_ports.end()) {
                return kMIDIInvalidPort;
            }
            port = std::move(it->second);
            m_ports.erase(it);
        }
        const int result = port.client->deletePort(port.port);
        return result < 0 ? statusFor(result, kMIDIInvalidPort) : noErr;
    }

    ItemCount numberOfSources() override { return endpoints(EndpointKind::source).size(); }
    MIDIEndpointRef source(ItemCount index) override { return endpointAt(EndpointKind::source, index); }
    ItemCount numberOfDestinations() override { return endpoints(EndpointKind::destination).size(); }
    MIDIEndpointRef destination(ItemCount index) override { return endpointAt(EndpointKind::destination, index); }

    OSStatus stringProperty(MIDIObjectRef obj, MIDIPropertyID propertyID, std::string* outString) override
    {
        if (outString == nullptr) {
            return kParamErr;
        }
        PortRecord record;
        if (const OSStatus status = endpointRecord(obj, &record); status != noErr) {
            return status;
        }
        switch (propertyID) {
        case kMIDIPropertyModel:
            *outString = record.clientName;
            return noErr;
        case kMIDIPropertyName:
            *outString = record.portName;
            return noErr;
        case kMIDIPropertyDisplayName:
            *outString = PortMapping::displayName(record.clientName, record.portName);
            return noErr;
        case kMIDIPropertyHardware:
            return kMIDIWrongPropertyType;
        }
        return kMIDIUnknownProperty;
    }

    OSStatus integerProperty(MIDIObjectRef obj, MIDIPropertyID propertyID, std::int32_t* outValue) override
    {
        if (outValue == nullptr) {
            return kParamErr;
        }
        PortRecord record;
        if (const OSStatus status = endpointRecord(obj, &record); status != noErr) {
            return status;
        }
        switch (propertyID) {
        case kMIDIPropertyHardware:
            *outValue = PortMapping::isHardware(record.type) ? 1 : 0;
            return noErr;
        case kMIDIPropertyModel:
        case kMIDIPropertyName:
        case kMIDIPropertyDisplayName:
            return kMIDIWrongPropertyType;
        }
        return kMIDIUnknownProperty;
    }

    OSStatus send(MIDIPortRef portRef, MIDIEndpointRef dest, const MIDIPacketList* pktlist) override
    {
        if (pktlist == nullptr) {
            return kParamErr;
        }
        PortEntry port;
        if (!findPort(portRef, false, &port)) {
            return kMIDIInvalidPort;
        }
        const std::optional<EndpointRef> ref = EndpointRef::decode(dest);
        if (!ref) {
            return kMIDIUnknownEndpoint;
        }
        if (ref->kind != EndpointKind::destination) {
            return kMIDIWrongEndpointType;
        }
        PortRecord record;
        if (const OSStatus status = resolve(port.client->handle(), *ref, &record); status != noErr) {
            std::fprintf(stderr, "ALSA: MIDI destination %d:%d is gone\n", ref->client, ref->port);
            return status;
        }
        const std::vector<Byte> bytes = allBytes(*pktlist);
        if (bytes.empty()) {
            return noErr;
        }
        const snd_seq_addr_t address = addressOf(record.client, record.port);
        std::shared_ptr<DestinationLine> line = lineTo(address);
        // One message at a time per device, so that the 256-byte events of
        // two senders never interleave on its wire.
        std::lock_guard lineLock(line->mutex);
        int result = port.client->ensureConnectedTo(port.port, address);
        if (result >= 0) {
            const bool paced = PortMapping::drainsToWire(record.kernelClient, record.card);
            SeqEventWriter writer(port.client->handle(), port.client->outputMutex(), port.port, address,
                                  paced ? &line->pacer : nullptr);
            result = writer.write(MidiStreamSplitter::split(bytes));
        }
        if (result < 0) {
            std::fprintf(stderr, "ALSA: sending to MIDI destination %s (%d:%d) failed: %s\n",
                         PortMapping::displayName(record.clientName, record.portName).c_str(), record.client,
                         record.port, snd_strerror(result));
            return statusFor(result, kMIDIMessageSendErr);
        }
        return noErr;
    }

    OSStatus flushOutput(MIDIEndpointRef dest) override
    {
        std::optional<EndpointRef> ref;
        if (dest != 0) {
            ref = EndpointRef::decode(dest);
            if (!ref || ref->kind != EndpointKind::destination) {
                return kMIDIUnknownEndpoint;
            }
        }
        for (const std::shared_ptr<AlsaClient>& client : clients()) {
            std::lock_guard lock(client->outputMutex());
            if (!ref) {
                snd_seq_drop_output(client->handle());
                continue;
            }
            snd_seq_remove_events_t* removal = nullptr;
            snd_seq_remove_events_alloca(&removal);
            const snd_seq_addr_t address = addressOf(ref->client, ref->port);
            snd_seq_remove_events_set_condition(removal, SND_SEQ_REMOVE_OUTPUT | SND_SEQ_REMOVE_DEST);
            snd_seq_remove_events_set_dest(removal, &address);
            snd_seq_remove_events(client->handle(), removal);
        }
        return noErr;
    }

private:
    struct PortEntry {
        std::shared_ptr<AlsaClient> client;
        int port = -1;
        bool input = false;
    };
    struct DestinationLine {
        std::mutex mutex;
        WirePacer pacer;
    };

    // A handle for looking around the sequencer: one of our clients, or a
    // short-lived one while none exists.
    class QueryHandle {
    public:
        explicit QueryHandle(AlsaBackend& backend)
        {
            std::vector<std::shared_ptr<AlsaClient>> all = backend.clients();
            if (!all.empty()) {
                m_client = std::move(all.front());
            } else if (snd_seq_open(&m_temporary, "default", SND_SEQ_OPEN_OUTPUT, SND_SEQ_NONBLOCK) < 0) {
                m_temporary = nullptr;
            }
        }
        ~QueryHandle()
        {
            if (m_temporary != nullptr) {
                snd_seq_close(m_temporary);
            }
        }
        QueryHandle(const QueryHandle&) = delete;
        QueryHandle& operator=(const QueryHandle&) = delete;
        snd_seq_t* get() const { return m_client ? m_client->handle() : m_temporary; }

    private:
        std::shared_ptr<AlsaClient> m_client;
        snd_seq_t* m_temporary = nullptr;
    };

    // The port an endpoint reference names, as the sequencer sees it now.
    OSStatus endpointRecord(MIDIObjectRef obj, PortRecord* out)
    {
        if (objectTag(obj) == kClientTag || objectTag(obj) == kPortTag) {
            return kMIDIUnknownProperty;
        }
        const std::optional<EndpointRef> ref = EndpointRef::decode(obj);
        if (!ref) {
            return kMIDIObjectNotFound;
        }
        QueryHandle query(*this);
        if (query.get() == nullptr) {
            return kMIDIObjectNotFound;
        }
        return resolve(query.get(), *ref, out);
    }

    MIDIObjectRef nextRef(std::uint32_t tag)
    {
        m_nextId = (m_nextId + 1) & ((1u << kObjectTagShift) - 1);
        if (m_nextId == 0) {
            m_nextId = 1;
        }
        return (tag << kObjectTagShift) | m_nextId;
    }

    std::vector<std::shared_ptr<AlsaClient>> clients()
    {
        std::lock_guard lock(m_mutex);
        std::vector<std::shared_ptr<AlsaClient>> all;
        for (const auto& [ref, client] : m_clients) {
            all.push_back(client);
        }
        return all;
    }

    bool findPort(MIDIPortRef ref, bool input, PortEntry* out)
    {
        std::lock_guard lock(m_mutex);
        auto it = m_ports.find(ref);
        if (it == m_ports.end() || it->second.input != input) {
            return false;
        }
        *out = it->second;
        return true;
    }

    OSStatus inputPortAndSource(MIDIPortRef portRef, MIDIEndpointRef source, PortEntry* port, EndpointRef* ref)
    {
        if (!findPort(portRef, true, port)) {
            return kMIDIInvalidPort;
        }
        const std::optional<EndpointRef> decoded = EndpointRef::decode(source);
        if (!decoded) {
            return kMIDIUnknownEndpoint;
        }
        if (decoded->kind != EndpointKind::source) {
            return kMIDIWrongEndpointType;
        }
        *ref = *decoded;
        return noErr;
    }

    template <class Create>
    OSStatus createPort(MIDIClientRef clientRef, MIDIPortRef* outPort, bool input, Create create)
    {
        if (outPort == nullptr) {
            return kParamErr;
        }
        std::shared_ptr<AlsaClient> client;
        {
            std::lock_guard lock(m_mutex);
            auto it = m_clients.find(clientRef);
            if (it == m_clients.end()) {
                return kMIDIInvalidClient;
            }
            client = it->second;
        }
        const int port = create(*client);
        if (port < 0) {
            std::fprintf(stderr, "ALSA: cannot create a MIDI port: %s\n", snd_strerror(port));
            return statusFor(port, kMIDIUnknownError);
        }
        std::lock_guard lock(m_mutex);
        const MIDIPortRef ref = nextRef(kPortTag);
        m_ports[ref] = PortEntry{std::move(client), port, input};
        *outPort = ref;
        return noErr;
    }

    std::vector<PortRecord> endpoints(EndpointKind kind)
    {
        QueryHandle query(*this);
        if (query.get() == nullptr) {
            return {};
        }
        return PortMapping::listEndpoints(snapshotPorts(query.get()), kind, m_own->live());
    }

    MIDIEndpointRef endpointAt(EndpointKind kind, ItemCount index)
    {
        const std::vector<PortRecord> list = endpoints(kind);
        return index < list.size() ? PortMapping::refFor(list[index], kind).encode() : 0;
    }

    std::shared_ptr<DestinationLine> lineTo(snd_seq_addr_t address)
    {
        std::lock_guard lock(m_mutex);
        std::shared_ptr<DestinationLine>& line = m_lines[address.client << 8 | address.port];
        if (!line) {
            line = std::make_shared<DestinationLine>();
        }
        return line;
    }

    static void reportOpenFailure(int error)
    {
        static std::atomic<bool> reported{false};
        if (reported.exchange(true)) {
            return;
        }
        std::fprintf(stderr, "ALSA: cannot open the MIDI sequencer (/dev/snd/seq): %s\n", snd_strerror(error));
    }

    std::mutex m_mutex;
    std::shared_ptr<OwnClientSet> m_own = std::make_shared<OwnClientSet>();
    std::map<MIDIClientRef, std::shared_ptr<AlsaClient>> m_clients;
    std::map<MIDIPortRef, PortEntry> m_ports;
    std::map<int, std::shared_ptr<DestinationLine>> m_lines;
    std::uint32_t m_nextId = 0;
};

} // namespace

} // namespace alsa

std::unique_ptr<MidiBackend> makeAlsaBackend()
{
    return std::make_unique<alsa::AlsaBackend>();
}

} // namespace mirelo::midi
