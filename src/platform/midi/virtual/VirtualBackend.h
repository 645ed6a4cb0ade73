#pragma once
// In-process MIDI endpoints: the backend of the tests and of the CLI's capture
// destination. Besides the MIDI API it offers a control surface to build a
// MIDI setup, inject failures, record what was sent and feed input.
//
// Threads: every method may be called from any thread. Read procedures run on
// the backend's receive thread; client notifications are posted to
// platform::mainLoop() and run when that loop runs; receive hooks run on the
// thread that called MIDISend, after the send was recorded, with no backend
// lock held.

#include "platform/midi/MidiBackend.h"
#include "platform/midi/virtual/VirtualReceiver.h"

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
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

struct SentPacket {
    MIDITimeStamp timeStamp;
    std::vector<Byte> bytes;
};

// One MIDISend call as the backend saw it, whatever its outcome.
struct SentPacketList {
    MIDIPortRef port;
    MIDIEndpointRef destination;
    std::vector<SentPacket> packets;
    OSStatus status; // what MIDISend returned
};

class VirtualBackend final : public MidiBackend {
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
    // Waits for a read procedure of the port that is running on the receive
    // thread (unless called from it), so none runs after this returns.
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

    // --- failures ---
    void failNextClientCreate(OSStatus status);
    void failNextPortCreate(OSStatus status); // input or output
    void failNextDisconnect(OSStatus status);
    // The k-th MIDISend from now (1 = the next one) returns the status and
    // delivers nothing. Several may be pending.
    void failSend(std::size_t k, OSStatus status);

    // --- recordings ---
    std::vector<SentPacketList> sentLists() const;
    std::size_t sendCount() const; // MIDISend calls so far, failed ones included
    void clearSent();
    // Off: sends are no longer kept (a long capture would hold the update twice).
    void setRecording(bool record);
    std::vector<MIDIEndpointRef> flushes() const; // MIDIFlushOutput arguments, in order

    // --- input ---
    // Queues one packet list (one packet per entry, all with the timestamp)
    // for delivery on the receive thread to every input port connected to the
    // source. False when the source is unknown or a packet is over 65535 bytes.
    [[nodiscard]] bool injectIncoming(MIDIEndpointRef source, const std::vector<std::vector<Byte>>& packets,
                                      MIDITimeStamp timeStamp = 0);
    // Blocks until every injected list has been delivered.
    void waitForIncoming();

    // --- notifications ---
    // Posts the notification to every live client through the main loop.
    void notifyClients(MIDINotificationMessageID messageID);

    // --- inspection ---
    std::size_t clientCount() const;
    std::size_t portCount() const;
    std::vector<std::string> clientNames() const;
    bool isConnected(MIDIPortRef port, MIDIEndpointRef source) const;

private:
    struct State;

    MIDIPortRef createPort(MIDIClientRef client, const std::string& portName, MIDIReadProc readProc, void* refCon,
                           bool input, OSStatus* status);
    void deliver(MIDIEndpointRef source, const MIDIPacketList& list);
    void postToClients(MIDINotificationMessageID messageID); // m_state->mutex held

    std::shared_ptr<State> m_state; // shared with notification tasks, which may outlive us
    VirtualReceiver m_receiver;
};

} // namespace mirelo::midi
