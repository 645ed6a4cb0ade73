#pragma once
// The process-wide controller of the instrument. It brings the MIDI manager
// into being and takes it down, sends firmware updates, and runs a 50 ms
// timer on the main loop that hands queued events to the listeners.
//
// The front ends use initialize, instance, terminate and updateFirmware. The
// rest is fixed surface that they do not call: finding and opening the
// instrument by its model name, the listeners, and a heartbeat watch that
// never sees a heartbeat, because nothing records one. So every tick reports
// kEventNoHeartbeat, kEventHeartbeatLost comes only from healthCheck, and
// openZAVForUpdate never throws 1002. healthCheck runs only when called: the
// notification procedure would call it for a removed device, but start-up
// registers that procedure with a null context (the controller does not
// exist yet), so a removal is only reported on standard error.

#include <atomic>
#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

#include "platform/base/CriticalRegion.h"
#include "platform/base/EventLoop.h"
#include "platform/midi/MIDIServices.h"

enum EQOREventID : std::int32_t {
    kEventHeartbeatLost = 2,
    kEventNoHeartbeat = 3,
};

class CFirmwareSchedule;

namespace mirelo::platform {
class Interrupt;
}

// What a caller may ask of a transfer beyond the file: to stop, and to know
// the instant every send time counts from.
struct STransferControl {
    // Once raised, no further message is sent and a wait for the next one
    // ends at once; the message being sent finishes, so none goes out in half.
    const mirelo::platform::Interrupt* stop = nullptr;
    // Set before the first send: the start, in nanoseconds of the monotonic
    // clock (a whole millisecond), that every send time counts from.
    std::atomic<std::uint64_t>* startNanoseconds = nullptr;
    // Count the messages the MIDI manager accepted, and their bytes, as they go.
    std::atomic<std::uint64_t>* sentMessages = nullptr;
    std::atomic<std::uint64_t>* sentBytes = nullptr;
    // The status of the send that failed, when one did.
    std::atomic<OSStatus>* failedStatus = nullptr;
    std::atomic<std::uint64_t>* heldUpMs = nullptr; // how far the rest of the schedule was moved back
};

class CZAVController {
public:
    using ListenerCallback = void (*)(void* context, EQOREventID event, int param1, int param2);
    // Gets the whole percentage of messages sent; its result is not looked at.
    using ProgressProc = bool (*)(int percent, void* context);

    struct QOREvent {
        EQOREventID event;
        std::int32_t param1;
        std::int32_t param2;
    };

    // Creates the MIDI manager, then the controller; does nothing when a
    // controller exists.
    static void initialize();
    // Creates the controller on first use.
    static CZAVController* instance();
    // Destroys the controller, then the manager; does nothing without a controller.
    static void terminate();

    static void MIDINotifyProc(const MIDINotification* message, void* refCon);
    static void procTimer(EventLoopTimerRef timer, void* context);
    static void procMIDIIn(void* context, const Byte* data, std::uint32_t length);

    CZAVController(const CZAVController&) = delete;
    CZAVController& operator=(const CZAVController&) = delete;

    // Opens the first source whose model names a ZAV5 or ZAV10 together with
    // the first destination of the very same model. False when none is found.
    // Throws mstd::CGenericException (1000) when opening fails.
    bool openZAV();
    void closeZAV();
    void openMidiIn(int sourceIndex);
    void openMidiOut(int destinationIndex);
    // Returns with the instrument open after a one-second wait, or throws
    // mstd::CGenericException 1000 when it is not found. (1002, a heartbeat
    // seen during the wait, cannot happen: none is ever recorded.)
    void openZAVForUpdate();
    // Closes the input and output of endpoints that are gone; with the input
    // closed, reports kEventHeartbeatLost to the listeners at once.
    void healthCheck();
    // One tick: the queued events, then kEventNoHeartbeat (the heartbeat-lost
    // branch waits for a heartbeat that is never recorded).
    void doTimerFunc();
    // Input is ignored: these record nothing, and checkHeartbeat stays false.
    void handleMIDIIn(const Byte* data, std::uint32_t length);
    bool checkHeartbeat() const;
    bool receiveHeartbeatMessage(const Byte* data, std::uint32_t length);

    void addListenerCallback(ListenerCallback callback, void* context);
    // Removes the first registration of the callback, whatever its context.
    void removeListenerCallback(ListenerCallback callback);
    // Hands the event to the listeners now, on the caller's thread.
    void notifyQOREvent(EQOREventID event, int param1, int param2);
    // Queues the event; the listeners get it on the main thread at the next tick.
    // Callable from any thread.
    void notifyQOREventAsync(EQOREventID event, int param1, int param2);

    // Sends every SysEx message of the update file, each no earlier than its
    // send time, on the calling thread. False when the file is refused or a
    // send fails; the first failure ends the transfer. A message never leaves
    // sooner after the one before it than the file spaces them: when the
    // sender was held up and a message leaves more than a millisecond late,
    // the rest of the schedule moves back by that much.
    bool updateFirmware(const std::uint8_t* data, std::uint32_t length, ProgressProc progress, void* context);
    // The same with a schedule built beforehand, so a caller that has already
    // verified and shown it does not hold the file twice.
    bool updateFirmware(const CFirmwareSchedule& schedule, ProgressProc progress, void* context,
                        const STransferControl& control = {});

private:
    CZAVController();
    ~CZAVController();

    void handToListeners(EQOREventID event, int param1, int param2);

    std::vector<std::pair<ListenerCallback, void*>> m_listeners;
    std::int64_t m_lastHeartbeat = 0; // set back to 0 in places, never set otherwise
    EventLoopTimerRef m_timer = nullptr;
    MPCriticalRegionID m_criticalRegion = nullptr;
    std::deque<QOREvent> m_eventQueue;

    static CZAVController* s_instance;
};
