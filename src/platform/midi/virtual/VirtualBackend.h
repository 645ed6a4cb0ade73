#pragma once
// In-process MIDI endpoints: the backend of MIRELO_MIDI_BACKEND=virtual and
// of the capture destination, which adds the one destination it writes to.
// A send to a destination hands the list to that destination's hook; sources
// can be listed and connected, and nothing feeds them here (the tests'
// controlled backend, built on this one, does).
//
// Threads: every method may be called from any thread. Client notifications
// are posted to platform::mainLoop() and run when that loop runs; hooks run
// on the thread that called MIDISend, with no backend lock held.

#include "platform/midi/MidiBackend.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace mirelo::midi {

// The properties of a virtual endpoint; an empty optional cannot be read.
// Hardware endpoints stand for connected instruments: they are listed before
// the others, as the ALSA backend lists a USB device before Midi Through.
struct VirtualEndpointProperties {
    std::optional<std::string> model;
    std::optional<std::string> name;
    std::optional<std::string> displayName;
    bool hardware = false;
};

class VirtualBackend : public MidiBackend {
public:
    // Called for every list sent successfully to the destination it was given
    // with; the list is valid only during the call.
    using ReceiveHook = std::function<void(MIDIEndpointRef destination, const MIDIPacketList& list)>;
    // The same, for a destination that may refuse what it receives: a
    // non-zero status becomes the status of the send (a capture file that
    // cannot be written).
    using DeliveryHook = std::function<OSStatus(MIDIEndpointRef destination, const MIDIPacketList& list)>;
    // Whether adding or removing an endpoint notifies the clients
    // (object added/removed, then setup changed), as a hot-plug would.
    enum class Announce { No, Yes };

    VirtualBackend();
    ~VirtualBackend() override;
    VirtualBackend(const VirtualBackend&) = delete;
    VirtualBackend& operator=(const VirtualBackend&) = delete;

    // --- the MIDI API ---
    const char* name() const override;
    OSStatus clientCreate(const std::string& name, MIDINotifyProc notifyProc, void* notifyRefCon,
                          MIDIClientRef* outClient) override;
    OSStatus clientDispose(MIDIClientRef client) override;
    OSStatus inputPortCreate(MIDIClientRef client, const std::string& portName, MIDIReadProc readProc, void* refCon,
                             MIDIPortRef* outPort) override;
    OSStatus outputPortCreate(MIDIClientRef client, const std::string& portName, MIDIPortRef* outPort) override;
    OSStatus portConnectSource(MIDIPortRef port, MIDIEndpointRef source, void* connRefCon) override;
    OSStatus portDisconnectSource(MIDIPortRef port, MIDIEndpointRef source) override;
    OSStatus portDispose(MIDIPortRef port) override;
    ItemCount numberOfSources() override;
    MIDIEndpointRef source(ItemCount index) override;
    ItemCount numberOfDestinations() override;
    MIDIEndpointRef destination(ItemCount index) override;
    OSStatus stringProperty(MIDIObjectRef obj, MIDIPropertyID propertyID, std::string* outString) override;
    OSStatus integerProperty(MIDIObjectRef obj, MIDIPropertyID propertyID, std::int32_t* outValue) override;
    OSStatus send(MIDIPortRef port, MIDIEndpointRef dest, const MIDIPacketList* pktlist) override;
    OSStatus flushOutput(MIDIEndpointRef dest) override;

    // --- the setup ---
    // Endpoints are listed hardware first, each group in the order added.
    MIDIEndpointRef addSource(VirtualEndpointProperties properties, Announce announce = Announce::Yes);
    MIDIEndpointRef addDestination(VirtualEndpointProperties properties, ReceiveHook hook = {},
                                   Announce announce = Announce::Yes);
    MIDIEndpointRef addDeliveringDestination(VirtualEndpointProperties properties, DeliveryHook hook,
                                             Announce announce = Announce::Yes);
    // Removes a source (disconnecting it from every port) or a destination.
    bool removeEndpoint(MIDIEndpointRef endpoint, Announce announce = Announce::Yes);
    // Changes one string property; nullopt makes it unreadable.
    bool setProperty(MIDIEndpointRef endpoint, MIDIPropertyID propertyID, std::optional<std::string> value);

protected:
    // An input port's read procedure, with the contexts it is called with.
    struct Reader {
        MIDIPortRef port;
        MIDIReadProc readProc;
        void* refCon;
        void* connRefCon;
    };
    // The input ports connected to the source now, and one of them if it
    // still is: what a backend that feeds sources delivers to.
    std::vector<Reader> readersOf(MIDIEndpointRef source) const;
    std::optional<Reader> readerOf(MIDIPortRef port, MIDIEndpointRef source) const;
    // Posts the notification to every live client through the main loop.
    void announce(MIDINotificationMessageID messageID);

private:
    struct State;

    MIDIPortRef createPort(MIDIClientRef client, const std::string& portName, MIDIReadProc readProc, void* refCon,
                           bool input, OSStatus* status);
    void postToClients(MIDINotificationMessageID messageID); // m_state->mutex held

    std::shared_ptr<State> m_state; // shared with notification tasks, which may outlive us
};

} // namespace mirelo::midi
