#include "platform/midi/alsa/PortMapping.h"

#include <alsa/asoundlib.h>

#include <algorithm>

namespace mirelo::midi::alsa {

namespace {
constexpr unsigned kSourceCaps = SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;
constexpr unsigned kDestinationCaps = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;
} // namespace

bool PortMapping::isSource(unsigned capability)
{
    return (capability & kSourceCaps) == kSourceCaps && !(capability & SND_SEQ_PORT_CAP_NO_EXPORT);
}

bool PortMapping::isDestination(unsigned capability)
{
    return (capability & kDestinationCaps) == kDestinationCaps && !(capability & SND_SEQ_PORT_CAP_NO_EXPORT);
}

bool PortMapping::matchesKind(unsigned capability, EndpointKind kind)
{
    return kind == EndpointKind::source ? isSource(capability) : isDestination(capability);
}

bool PortMapping::isHardware(unsigned type)
{
    return (type & SND_SEQ_PORT_TYPE_HARDWARE) != 0;
}

std::vector<PortRecord> PortMapping::listEndpoints(std::vector<PortRecord> ports, EndpointKind kind,
                                                   const std::set<int>& ownClients)
{
    std::erase_if(ports, [&](const PortRecord& p) {
        return p.client == SND_SEQ_CLIENT_SYSTEM || ownClients.count(p.client) != 0 || !matchesKind(p.capability, kind);
    });
    std::stable_sort(ports.begin(), ports.end(), [](const PortRecord& a, const PortRecord& b) {
        const bool aHardware = isHardware(a.type);
        if (aHardware != isHardware(b.type)) {
            return aHardware;
        }
        return a.client != b.client ? a.client < b.client : a.port < b.port;
    });
    return ports;
}

std::string PortMapping::displayName(const std::string& clientName, const std::string& portName)
{
    // USB devices and Midi Through already name their ports after the client
    // ("UM-ONE MIDI 1", "Midi Through Port-0"): repeating it only adds noise.
    // Other ports get the client in front ("Virtual Raw MIDI 0-0:VirMIDI 0-0"),
    // the form of aconnect's addresses, because bare port names such as
    // "MIDI 1" or "Port 0" repeat across devices. No client numbers: they
    // change when a device is plugged in again, and the window finds its
    // device again by this name.
    if (portName.empty()) {
        return clientName;
    }
    if (clientName.empty() || portName.starts_with(clientName)) {
        return portName;
    }
    return clientName + ":" + portName;
}

bool PortMapping::drainsToWire(bool kernelClient, int card)
{
    return kernelClient && card >= 0;
}

EndpointRef PortMapping::refFor(const PortRecord& record, EndpointKind kind)
{
    return EndpointRef{kind, static_cast<std::uint8_t>(record.client), static_cast<std::uint8_t>(record.port),
                       EndpointRef::hashNames(record.clientName, record.portName)};
}

} // namespace mirelo::midi::alsa
