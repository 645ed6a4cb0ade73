#pragma once
// Whether an update took, in the instrument's own words: who it says it is
// once before the update's first message, and, after the last, its answer
// when it answers again (it may restart first: its device goes away and comes
// back), which is waited for up to CIdentityInquiry::kRestartWait. Where the
// update carries a version, that answer tells whether the update took.
//
// No request goes out between the update's first and last message: before()
// returns before the transfer starts and after() is called once it is over.
// An instrument that did not answer before is not waited for after: many
// devices never answer, and they would hold every update up for the wait.
//
// Threads: blocks its caller for the waits, and opens and closes the MIDI
// manager's input and (in after()) its output: nothing else may open or close
// them meanwhile.

#include "instrument/IdentityInquiry.h"
#include "update/FirmwareVersion.h"

#include <cstddef>
#include <optional>
#include <string>

class CQORMIDIManager;

namespace mirelo::platform {
class Interrupt;
}

struct SIdentityCheck {
    enum class EVerdict {
        kNoInput,     // the destination has no source of its own to answer on: not asked
        kUnanswered,  // asked before the update, no answer (or it could not be asked): not asked after
        kIncomplete,  // the update did not go out whole: not asked after
        kTook,        // after it, the instrument reports the version the update carries
        kDidNotTake,  // after it, the instrument reports another version
        kNoVersion,   // it answered after; the update carries no version to compare with
        kSilentAfter, // it answered before and not again within the wait
        kGoneAfter,   // it went away after the update and did not come back within the wait
        kStopped,     // the wait after the update was stopped
    };

    EVerdict verdict = EVerdict::kNoInput;
    SIdentityAnswer before;
    std::optional<SIdentityAnswer> after; // asked after the update
    std::optional<SFirmwareVersion> carried;

    // A request went out before the update.
    bool asked() const { return verdict != EVerdict::kNoInput; }
    // Both answers, when there are both.
    const SDeviceIdentity* identityBefore() const;
    const SDeviceIdentity* identityAfter() const;
};

class CIdentityCheck {
public:
    // Asks the destination the manager's output is open on (at index
    // `destination`, called `displayName`) on its own source.
    static SIdentityCheck before(CQORMIDIManager& manager, std::size_t destination, const std::string& displayName,
                                 const std::optional<SFirmwareVersion>& carried);
    // Once every message has gone: asks until the instrument answers with the
    // version the update carries (or, when it carries none, with another
    // version than before), finding it again by `displayName`; `stop` ends
    // the wait. Does nothing unless it answered before.
    static void after(CQORMIDIManager& manager, const std::string& displayName, SIdentityCheck& check,
                      const mirelo::platform::Interrupt* stop);
    // The update did not go out whole: what the instrument runs now says
    // nothing of it.
    static void incomplete(SIdentityCheck& check);
};
