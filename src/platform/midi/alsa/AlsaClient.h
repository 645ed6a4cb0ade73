#pragma once
// One sequencer client, made for each MIDIClientCreate: its handle, a private
// port subscribed to System Announce, the ports made for the caller, and the
// receive thread that hands incoming MIDI to read procedures and turns
// announcements into notifications on the main loop.

#include "platform/midi/alsa/EndpointRef.h"
#include "platform/midi/alsa/OwnClientSet.h"

#include <alsa/asoundlib.h>

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

namespace mirelo::midi::alsa {

class AlsaClient {
public:
    // Opens the client; on failure returns null and sets *outError to the
    // negative error code of libasound.
    static std::unique_ptr<AlsaClient> open(const std::string& name, MIDINotifyProc notifyProc, void* notifyRefCon,
                                            std::shared_ptr<OwnClientSet> ownClients, int* outError);
    ~AlsaClient();
    AlsaClient(const AlsaClient&) = delete;
    AlsaClient& operator=(const AlsaClient&) = delete;

    // No notification reaches the caller's procedure after this, not even
    // one already posted. The sequencer client itself goes with the object.
    void retire() { m_notify->alive = false; }

    int clientId() const { return m_clientId; }
    snd_seq_t* handle() { return m_seq; }
    std::mutex& outputMutex() { return m_outputMutex; }

    // Port numbers, or negative error codes.
    int createInputPort(const std::string& name, MIDIReadProc readProc, void* refCon);
    int createOutputPort(const std::string& name);
    // Once an input port is deleted its read procedure is no longer running
    // and will not run again (unless called from within that procedure).
    int deletePort(int port);
    // Only connected sources reach a read procedure: once this returns no
    // new call for the source begins.
    int connectSource(int port, snd_seq_addr_t source, void* connRefCon);
    int disconnectSource(int port, snd_seq_addr_t source);
    // Subscribes an output port to a destination unless it already is: the
    // kernel's MIDI driver opens the device only for a subscribed port.
    // -ENODEV when a subscription made earlier has vanished: the destination
    // went away in between, even if a device of the same name now stands at
    // its address, and the messages sent before did not reach that one.
    int ensureConnectedTo(int port, snd_seq_addr_t dest);

private:
    struct NotifyTarget {
        MIDINotifyProc proc;
        void* refCon;
        std::atomic<bool> alive{true};
    };
    struct InputPort {
        MIDIReadProc readProc;
        void* refCon;
        std::map<int, void*> connRefCons; // by client << 8 | port
    };

    AlsaClient(snd_seq_t* seq, int clientId, std::shared_ptr<OwnClientSet> ownClients, MIDINotifyProc notifyProc,
               void* notifyRefCon);
    [[nodiscard]] bool start(int* outError);
    void close();
    void receiveLoop();
    void drainEvents();
    void deliverInput(const snd_seq_event_t& ev);
    void post(MIDINotificationMessageID id);

    snd_seq_t* m_seq;
    int m_clientId;
    std::shared_ptr<OwnClientSet> m_ownClients;
    std::shared_ptr<NotifyTarget> m_notify;
    int m_announcePort = -1;
    int m_wakeFd = -1;
    snd_midi_event_t* m_decoder = nullptr;
    std::thread m_thread;
    std::mutex m_outputMutex;
    // Guards the input port table; never held while a read procedure runs,
    // since callers disconnect while holding locks the procedure takes.
    std::mutex m_inputMutex;
    std::condition_variable m_inputIdle;
    std::map<int, InputPort> m_inputPorts;
    int m_portInCallback = -1;
    bool m_reportedOverrun = false;
    std::mutex m_subscriptionMutex;
    std::set<std::pair<int, int>> m_subscriptions; // (our port, destination client << 8 | port)
};

} // namespace mirelo::midi::alsa
