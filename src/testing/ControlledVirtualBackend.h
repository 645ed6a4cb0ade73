#pragma once
// The virtual backend as the tests drive it: failures on cue, a record of
// every send and flush, input fed from a source on a receive thread of its
// own, notifications on demand, and a count of the clients and ports that are
// open.
//
// Threads: every method may be called from any thread. Read procedures run on
// the receive thread; what VirtualBackend says of notifications and hooks
// holds here too.

#include "platform/midi/virtual/VirtualBackend.h"
#include "testing/VirtualReceiver.h"

#include <condition_variable>
#include <cstddef>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace mirelo::midi {

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

class ControlledVirtualBackend final : public VirtualBackend {
public:
    ControlledVirtualBackend() = default;
    ~ControlledVirtualBackend() override = default;

    // --- the MIDI API, with the controls below applied ---
    OSStatus clientCreate(const std::string& name, MIDINotifyProc notifyProc, void* notifyRefCon,
                          MIDIClientRef* outClient) override;
    OSStatus clientDispose(MIDIClientRef client) override;
    OSStatus inputPortCreate(MIDIClientRef client, const std::string& portName, MIDIReadProc readProc, void* refCon,
                             MIDIPortRef* outPort) override;
    OSStatus outputPortCreate(MIDIClientRef client, const std::string& portName, MIDIPortRef* outPort) override;
    OSStatus portDisconnectSource(MIDIPortRef port, MIDIEndpointRef source) override;
    // Waits for a read procedure of the port that is running on the receive
    // thread (unless called from it), so none runs after this returns.
    OSStatus portDispose(MIDIPortRef port) override;
    OSStatus send(MIDIPortRef port, MIDIEndpointRef dest, const MIDIPacketList* pktlist) override;
    OSStatus flushOutput(MIDIEndpointRef dest) override;

    // --- failures ---
    void failNextClientCreate(OSStatus status);
    void failNextPortCreate(OSStatus status); // input or output
    void failNextDisconnect(OSStatus status);
    // The k-th MIDISend from now (1 = the next one) returns the status and
    // delivers nothing. Several may be pending.
    void failSend(std::size_t k, OSStatus status);

    // --- recordings ---
    std::vector<SentPacketList> sentLists() const; // in the order the sends were made
    std::size_t sendCount() const;                 // MIDISend calls so far, failed ones included
    void clearSent();                              // the sends and the flushes
    std::vector<MIDIEndpointRef> flushes() const;  // MIDIFlushOutput arguments, in order

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
    void notifyClients(MIDINotificationMessageID messageID) { announce(messageID); }

    // --- what is open ---
    std::size_t clientCount() const;
    std::size_t portCount() const;
    std::vector<std::string> clientNames() const; // in the order created
    bool isConnected(MIDIPortRef port, MIDIEndpointRef source) const;

private:
    bool isSource(MIDIEndpointRef endpoint);
    void deliver(MIDIEndpointRef source, const MIDIPacketList& list);
    std::optional<OSStatus> takePortFailure();
    void portCreated(OSStatus status, MIDIClientRef client, const MIDIPortRef* port);

    mutable std::mutex m_mutex;
    std::condition_variable m_deliveryDone;
    std::optional<OSStatus> m_failClientCreate;
    std::optional<OSStatus> m_failPortCreate;
    std::optional<OSStatus> m_failDisconnect;
    std::map<std::size_t, OSStatus> m_failSends; // by 1-based send number
    std::size_t m_sends = 0;
    std::map<std::size_t, SentPacketList> m_sent; // by send number
    std::vector<MIDIEndpointRef> m_flushes;
    std::map<MIDIClientRef, std::string> m_clients;
    std::map<MIDIPortRef, MIDIClientRef> m_ports;
    MIDIPortRef m_delivering = 0; // port whose read procedure is running now
    VirtualReceiver m_receiver;   // last: its thread is joined before the rest goes
};

} // namespace mirelo::midi
