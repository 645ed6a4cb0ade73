#pragma once
// Asks an instrument who it is: an Identity Request through the MIDI
// manager's output, the answer read on the instrument's own input (its
// source, opened for the wait and closed again). Many devices never answer,
// so silence is an outcome, not an error. Whatever else the source sends
// meanwhile (other devices' replies, our own request looped back, a flood of
// anything) is counted and otherwise ignored.
//
// Threads: the caller's thread blocks for the wait, on the platform clock;
// the answer is handed over from the backend's receive thread. The calls use
// the manager's input (replacing any input it had open) and, in askUntil, its
// output: call them where the manager's ports may be opened and closed.

#include "instrument/DeviceIdentity.h"
#include "instrument/DeviceInquiry.h"
#include "platform/midi/MIDIServices.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>

class CQORMIDIManager;

namespace mirelo::platform {
class Interrupt;
}

struct SIdentityAnswer {
    enum class EOutcome {
        kAnswered,
        kNoAnswer,      // no answer within the wait
        kNoInput,       // the destination has no source of its own to answer on
        kGone,          // no destination of that name is there (askUntil)
        kInputFailed,   // its source could not be opened: status
        kRequestFailed, // the request could not be sent: status
    };

    EOutcome outcome = EOutcome::kNoAnswer;
    std::optional<SDeviceIdentity> identity; // when answered
    OSStatus status = noErr;
    // SysEx messages heard during the wait that were not the answer.
    std::size_t otherMessages = 0;
    // Our own request came back: the port loops its output to its input (Midi
    // Through does), so it is not an instrument.
    bool heardOwnRequest = false;
};

struct SInquiryOptions {
    static constexpr std::chrono::milliseconds kAnswerWait{1000};

    // The device asked. Every device answers a request to 0x7F with its own
    // ID; to another ID, answers from other devices are not taken.
    Byte deviceId = CDeviceInquiry::kEveryDevice;
    std::chrono::nanoseconds wait = kAnswerWait;
    // Raised: askUntil stops before its next try.
    const mirelo::platform::Interrupt* stop = nullptr;
};

class CIdentityInquiry {
public:
    using SOptions = SInquiryOptions;
    static constexpr std::chrono::milliseconds kAnswerWait = SInquiryOptions::kAnswerWait;
    // How long an instrument may take to restart after an update.
    static constexpr std::chrono::seconds kRestartWait{30};
    // Between two tries while an instrument is away or silent.
    static constexpr std::chrono::milliseconds kRetryPause{250};

    // Whether askUntil may stop at this answer (the version expected, say);
    // when none is given, any answer will do.
    using Acceptance = std::function<bool(const SIdentityAnswer&)>;

    // One request to the destination the manager's output is open on; the
    // answer is read on source `sourceIndex`.
    static SIdentityAnswer ask(CQORMIDIManager& manager, std::size_t sourceIndex, const SOptions& options = {});

    // Asks the destination called `displayName` again and again, finding it
    // anew each time (an instrument that restarts goes away and comes back
    // under another index), until an answer `accept` takes or `within` has
    // passed. Then the last answer heard since it was last seen gone, else
    // what the last try found.
    // Leaves the manager's output open on that destination.
    static SIdentityAnswer askUntil(CQORMIDIManager& manager, const std::string& displayName,
                                    std::chrono::nanoseconds within, const Acceptance& accept = {},
                                    const SOptions& options = {});
};
