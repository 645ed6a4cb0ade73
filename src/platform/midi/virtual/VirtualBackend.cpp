#include "platform/midi/virtual/VirtualBackend.h"

#include "platform/base/EventLoop.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <utility>

namespace mirelo::midi {
namespace {

constexpr MIDIObjectRef kFirstRef = 0x10000;

struct Client {
    std::string name;
    MIDINotifyProc notifyProc;
    void* notifyRefCon;
};

struct Port {
    MIDIClientRef client;
    bool input;
    std::string name;
    MIDIReadProc readProc;
    void* refCon;
    std::map<MIDIEndpointRef, void*> connections; // source -> connection context
};

struct Endpoint {
    MIDIEndpointRef ref;
    VirtualEndpointProperties properties;
    std::shared_ptr<const VirtualBackend::DeliveryHook> hook;
};

// Keeps a list hardware first, each group in the order its endpoints came.
void hardwareFirst(std::vector<Endpoint>& endpoints)
{
    std::stable_partition(endpoints.begin(), endpoints.end(), [](const Endpoint& e) { return e.properties.hardware; });
}

} // namespace

struct VirtualBackend::State {
    mutable std::mutex mutex;
    MIDIObjectRef nextRef = kFirstRef;
    std::map<MIDIClientRef, Client> clients;
    std::map<MIDIPortRef, Port> ports;
    std::vector<Endpoint> sources;
    std::vector<Endpoint> destinations;

    MIDIObjectRef newRef() { return nextRef++; }

    Endpoint* findEndpoint(MIDIObjectRef ref)
    {
        for (auto* list : {&sources, &destinations}) {
            auto it = std::find_if(list->begin(), list->end(), [ref](const Endpoint& e) { return e.ref == ref; });
            if (it != list->end()) {
                return &*it;
            }
        }
        return nullptr;
    }

    bool isSource(MIDIEndpointRef ref) const
    {
        return std::any_of(sources.begin(), sources.end(), [ref](const Endpoint& e) { return e.ref == ref; });
    }

    const Endpoint* findDestination(MIDIEndpointRef ref) const
    {
        auto it =
            std::find_if(destinations.begin(), destinations.end(), [ref](const Endpoint& e) { return e.ref == ref; });
        return it == destinations.end() ? nullptr : &*it;
    }
};

VirtualBackend::VirtualBackend() : m_state(std::make_shared<State>()) {}

VirtualBackend::~VirtualBackend() = default;

const char* VirtualBackend::name() const
{
    return "virtual";
}

OSStatus VirtualBackend::clientCreate(const std::string& name, MIDINotifyProc notifyProc, void* notifyRefCon,
                                      MIDIClientRef* outClient)
{
    std::lock_guard lock(m_state->mutex);
    const MIDIClientRef ref = m_state->newRef();
    m_state->clients.emplace(ref, Client{name, notifyProc, notifyRefCon});
    *outClient = ref;
    return noErr;
}

OSStatus VirtualBackend::clientDispose(MIDIClientRef client)
{
    std::vector<MIDIPortRef> owned;
    {
        std::lock_guard lock(m_state->mutex);
        if (m_state->clients.erase(client) == 0) {
            return kMIDIInvalidClient;
        }
        for (const auto& [ref, port] : m_state->ports) {
            if (port.client == client) {
                owned.push_back(ref);
            }
        }
    }
    for (MIDIPortRef port : owned) {
        portDispose(port);
    }
    return noErr;
}

MIDIPortRef VirtualBackend::createPort(MIDIClientRef client, const std::string& portName, MIDIReadProc readProc,
                                       void* refCon, bool input, OSStatus* status)
{
    std::lock_guard lock(m_state->mutex);
    if (m_state->clients.count(client) == 0) {
        *status = kMIDIInvalidClient;
        return 0;
    }
    const MIDIPortRef ref = m_state->newRef();
    m_state->ports.emplace(ref, Port{client, input, portName, readProc, refCon, {}});
    *status = noErr;
    return ref;
}

OSStatus VirtualBackend::inputPortCreate(MIDIClientRef client, const std::string& portName, MIDIReadProc readProc,
                                         void* refCon, MIDIPortRef* outPort)
{
    if (readProc == nullptr) {
        return kParamErr;
    }
    OSStatus status = noErr;
    const MIDIPortRef port = createPort(client, portName, readProc, refCon, true, &status);
    if (status == noErr) {
        *outPort = port;
    }
    return status;
}

OSStatus VirtualBackend::outputPortCreate(MIDIClientRef client, const std::string& portName, MIDIPortRef* outPort)
{
    OSStatus status = noErr;
    const MIDIPortRef port = createPort(client, portName, nullptr, nullptr, false, &status);
    if (status == noErr) {
        *outPort = port;
    }
    return status;
}

OSStatus VirtualBackend::portConnectSource(MIDIPortRef port, MIDIEndpointRef source, void* connRefCon)
{
    std::lock_guard lock(m_state->mutex);
    auto it = m_state->ports.find(port);
    if (it == m_state->ports.end() || !it->second.input) {
        return kMIDIInvalidPort;
    }
    if (!m_state->isSource(source)) {
        return m_state->findDestination(source) ? kMIDIWrongEndpointType : kMIDIObjectNotFound;
    }
    it->second.connections[source] = connRefCon;
    return noErr;
}

OSStatus VirtualBackend::portDisconnectSource(MIDIPortRef port, MIDIEndpointRef source)
{
    std::lock_guard lock(m_state->mutex);
    auto it = m_state->ports.find(port);
    if (it == m_state->ports.end() || !it->second.input) {
        return kMIDIInvalidPort;
    }
    return it->second.connections.erase(source) ? noErr : kMIDINoConnection;
}

OSStatus VirtualBackend::portDispose(MIDIPortRef port)
{
    std::lock_guard lock(m_state->mutex);
    return m_state->ports.erase(port) != 0 ? noErr : kMIDIInvalidPort;
}

ItemCount VirtualBackend::numberOfSources()
{
    std::lock_guard lock(m_state->mutex);
    return m_state->sources.size();
}

MIDIEndpointRef VirtualBackend::source(ItemCount index)
{
    std::lock_guard lock(m_state->mutex);
    return index < m_state->sources.size() ? m_state->sources[index].ref : 0;
}

ItemCount VirtualBackend::numberOfDestinations()
{
    std::lock_guard lock(m_state->mutex);
    return m_state->destinations.size();
}

MIDIEndpointRef VirtualBackend::destination(ItemCount index)
{
    std::lock_guard lock(m_state->mutex);
    return index < m_state->destinations.size() ? m_state->destinations[index].ref : 0;
}

OSStatus VirtualBackend::stringProperty(MIDIObjectRef obj, MIDIPropertyID propertyID, std::string* outString)
{
    std::lock_guard lock(m_state->mutex);
    const Endpoint* endpoint = m_state->findEndpoint(obj);
    if (endpoint == nullptr) {
        return kMIDIObjectNotFound;
    }
    const std::optional<std::string>* value = nullptr;
    switch (propertyID) {
    case kMIDIPropertyName:
        value = &endpoint->properties.name;
        break;
    case kMIDIPropertyModel:
        value = &endpoint->properties.model;
        break;
    case kMIDIPropertyDisplayName:
        value = &endpoint->properties.displayName;
        break;
    case kMIDIPropertyHardware:
        return kMIDIWrongPropertyType;
    }
    if (value == nullptr || !value->has_value()) {
        return kMIDIUnknownProperty;
    }
    *outString = **value;
    return noErr;
}

OSStatus VirtualBackend::integerProperty(MIDIObjectRef obj, MIDIPropertyID propertyID, std::int32_t* outValue)
{
    std::lock_guard lock(m_state->mutex);
    const Endpoint* endpoint = m_state->findEndpoint(obj);
    if (endpoint == nullptr) {
        return kMIDIObjectNotFound;
    }
    switch (propertyID) {
    case kMIDIPropertyHardware:
        *outValue = endpoint->properties.hardware ? 1 : 0;
        return noErr;
    case kMIDIPropertyName:
    case kMIDIPropertyModel:
    case kMIDIPropertyDisplayName:
        return kMIDIWrongPropertyType;
    }
    return kMIDIUnknownProperty;
}

OSStatus VirtualBackend::send(MIDIPortRef port, MIDIEndpointRef dest, const MIDIPacketList* pktlist)
{
    std::shared_ptr<const DeliveryHook> hook;
    {
        std::lock_guard lock(m_state->mutex);
        auto portIt = m_state->ports.find(port);
        if (portIt == m_state->ports.end() || portIt->second.input) {
            return kMIDIInvalidPort;
        }
        const Endpoint* destination = m_state->findDestination(dest);
        if (destination == nullptr) {
            return kMIDIObjectNotFound;
        }
        hook = destination->hook;
    }
    return hook && *hook ? (*hook)(dest, *pktlist) : noErr;
}

OSStatus VirtualBackend::flushOutput(MIDIEndpointRef dest)
{
    std::lock_guard lock(m_state->mutex);
    return dest == 0 || m_state->findDestination(dest) ? noErr : kMIDIObjectNotFound;
}

MIDIEndpointRef VirtualBackend::addSource(VirtualEndpointProperties properties, Announce announce)
{
    std::lock_guard lock(m_state->mutex);
    const MIDIEndpointRef ref = m_state->newRef();
    m_state->sources.push_back(Endpoint{ref, std::move(properties), nullptr});
    hardwareFirst(m_state->sources);
    if (announce == Announce::Yes) {
        postToClients(kMIDIMsgObjectAdded);
        postToClients(kMIDIMsgSetupChanged);
    }
    return ref;
}

MIDIEndpointRef VirtualBackend::addDestination(VirtualEndpointProperties properties, ReceiveHook hook,
                                               Announce announce)
{
    DeliveryHook delivery;
    if (hook) {
        delivery = [hook = std::move(hook)](MIDIEndpointRef destination, const MIDIPacketList& list) {
            hook(destination, list);
            return OSStatus{noErr};
        };
    }
    return addDeliveringDestination(std::move(properties), std::move(delivery), announce);
}

MIDIEndpointRef VirtualBackend::addDeliveringDestination(VirtualEndpointProperties properties, DeliveryHook hook,
                                                         Announce announce)
{
    std::lock_guard lock(m_state->mutex);
    const MIDIEndpointRef ref = m_state->newRef();
    m_state->destinations.push_back(
        Endpoint{ref, std::move(properties), std::make_shared<const DeliveryHook>(std::move(hook))});
    hardwareFirst(m_state->destinations);
    if (announce == Announce::Yes) {
        postToClients(kMIDIMsgObjectAdded);
        postToClients(kMIDIMsgSetupChanged);
    }
    return ref;
}

bool VirtualBackend::removeEndpoint(MIDIEndpointRef endpoint, Announce announce)
{
    std::lock_guard lock(m_state->mutex);
    bool removed = false;
    for (auto* list : {&m_state->sources, &m_state->destinations}) {
        auto it = std::find_if(list->begin(), list->end(), [endpoint](const Endpoint& e) { return e.ref == endpoint; });
        if (it != list->end()) {
            list->erase(it);
            removed = true;
        }
    }
    if (!removed) {
        return false;
    }
    for (auto& [ref, port] : m_state->ports) {
        port.connections.erase(endpoint);
    }
    if (announce == Announce::Yes) {
        postToClients(kMIDIMsgObjectRemoved);
        postToClients(kMIDIMsgSetupChanged);
    }
    return true;
}

bool VirtualBackend::setProperty(MIDIEndpointRef endpoint, MIDIPropertyID propertyID, std::optional<std::string> value)
{
    std::lock_guard lock(m_state->mutex);
    Endpoint* found = m_state->findEndpoint(endpoint);
    if (found == nullptr) {
        return false;
    }
    switch (propertyID) {
    case kMIDIPropertyName:
        found->properties.name = std::move(value);
        return true;
    case kMIDIPropertyModel:
        found->properties.model = std::move(value);
        return true;
    case kMIDIPropertyDisplayName:
        found->properties.displayName = std::move(value);
        return true;
    case kMIDIPropertyHardware:
        break;
    }
    return false;
}

std::vector<VirtualBackend::Reader> VirtualBackend::readersOf(MIDIEndpointRef source) const
{
    std::lock_guard lock(m_state->mutex);
    std::vector<Reader> readers;
    for (const auto& [ref, port] : m_state->ports) {
        if (auto connection = port.connections.find(source); connection != port.connections.end()) {
            readers.push_back(Reader{ref, port.readProc, port.refCon, connection->second});
        }
    }
    return readers;
}

std::optional<VirtualBackend::Reader> VirtualBackend::readerOf(MIDIPortRef port, MIDIEndpointRef source) const
{
    std::lock_guard lock(m_state->mutex);
    auto it = m_state->ports.find(port);
    if (it == m_state->ports.end()) {
        return std::nullopt;
    }
    auto connection = it->second.connections.find(source);
    if (connection == it->second.connections.end()) {
        return std::nullopt;
    }
    return Reader{port, it->second.readProc, it->second.refCon, connection->second};
}

void VirtualBackend::announce(MIDINotificationMessageID messageID)
{
    std::lock_guard lock(m_state->mutex);
    postToClients(messageID);
}

void VirtualBackend::postToClients(MIDINotificationMessageID messageID)
{
    std::weak_ptr<State> weakState = m_state;
    for (const auto& [ref, client] : m_state->clients) {
        if (client.notifyProc == nullptr) {
            continue;
        }
        platform::mainLoop().post([weakState, clientRef = ref, messageID] {
            auto state = weakState.lock();
            if (!state) {
                return;
            }
            MIDINotifyProc proc = nullptr;
            void* refCon = nullptr;
            {
                std::lock_guard lock(state->mutex);
                auto it = state->clients.find(clientRef);
                if (it == state->clients.end()) {
                    return; // disposed since
                }
                proc = it->second.notifyProc;
                refCon = it->second.notifyRefCon;
            }
            const MIDINotification notification{messageID, sizeof(MIDINotification)};
            proc(&notification, refCon);
        });
    }
}

} // namespace mirelo::midi
