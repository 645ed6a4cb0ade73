#pragma once
// How sequencer ports map onto the endpoints the MIDI services list: which
// ports are sources and destinations, in what order, under what names, and
// which ones need their output paced to the MIDI wire.

#include "platform/midi/alsa/EndpointRef.h"

#include <set>
#include <string>
#include <vector>

namespace mirelo::midi::alsa {

// What the sequencer tells about one port (and its client).
struct PortRecord {
    int client = 0;
    int port = 0;
    unsigned capability = 0; // SND_SEQ_PORT_CAP_* bits
    std::string clientName;
    std::string portName;
    bool kernelClient = false;
    int card = -1;     // the sound card behind a kernel client, -1 when none
    unsigned type = 0; // SND_SEQ_PORT_TYPE_* bits
};

class PortMapping {
public:
    static bool isSource(unsigned capability);
    static bool isDestination(unsigned capability);
    static bool matchesKind(unsigned capability, EndpointKind kind);

    // Whether the port belongs to a device the kernel drives (USB MIDI, a
    // card's MIDI port). Client numbers cannot tell: Midi Through is always
    // client 14, ahead of every USB device, and virmidi ports have a card too.
    static bool isHardware(unsigned type);

    // The endpoints of one kind, hardware ports first, each group in
    // sequencer order (client, then port), leaving out the system client and
    // the clients of this process.
    static std::vector<PortRecord> listEndpoints(std::vector<PortRecord> ports, EndpointKind kind,
                                                 const std::set<int>& ownClients);

    // The name a user knows the port by from aconnect -l / aplaymidi -l.
    static std::string displayName(const std::string& clientName, const std::string& portName);

    // Ports of a kernel client with a card end in a raw MIDI device whose
    // buffer overflows silently; only those need pacing and small events.
    static bool drainsToWire(bool kernelClient, int card);

    static EndpointRef refFor(const PortRecord& record, EndpointKind kind);
};

} // namespace mirelo::midi::alsa
