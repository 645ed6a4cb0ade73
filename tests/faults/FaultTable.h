#pragma once
// The fault matrix: every fault the updater must survive, with what the user
// sees through the command-line tool and through the update document. Both
// halves run the same rows on the virtual MIDI backend: a ten-message update
// file, messages 10 ms apart, sent to the destination "Synth", a hardware
// port (the instrument) unless the row says otherwise.

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>

namespace mirelo::test {

enum class EFault {
    kClientCreate,       // the MIDI client cannot be created
    kPortCreate,         // the output port cannot be created
    kSendFailsFirst,     // MIDISend fails at message 1
    kSendFailsMiddle,    // ... at message 5
    kSendFailsLast,      // ... at message 10
    kDestinationRemoved, // unplugged right after message 3 went out
    kOutputClosed,       // the manager closes its output after message 3: later sends succeed unsent
    kFileRemoved,        // the update file, after the document opened it
    kFileTruncated,
    kFileGarbage,
    kFileLostAByte,    // a channel message lost its velocity and swallows the SysEx lead after it
    kFileWithoutSysEx, // nothing to send
    kFileEmptySysEx,   // an empty SysEx event (0xF7, length 0) before the messages
    kDisplayNameUnreadable,
    kModelUnreadable,
    kSameName,       // a second destination called "Synth" comes after it
    kSetupChange,    // a device comes and goes after message 3
    kNoInstrument,   // "Synth" is a software port: no destination is hardware
    kTwoInstruments, // a second hardware destination comes after "Synth"
};

constexpr std::size_t kFaultMessages = 10;
constexpr std::size_t kNoBar = ~std::size_t{0};

struct SFaultRow {
    EFault fault;
    const char* name;
    std::size_t failingSend; // 1-based MIDISend that fails; 0: none does

    // Through the command-line tool (`send FILE`).
    int cliExit;
    const char* cliMessage; // on standard error (standard output when the exit is 0)
    std::size_t cliSent;    // messages that reach "Synth"

    // Through the document: the alert (null: none), the bar after the run
    // (kNoBar: no window, no run), the messages that reach "Synth".
    const char* documentAlert;
    std::size_t documentBar;
    std::size_t documentSent;

    // The result each front end keeps in the record of updates (null: no
    // record, since no run was started).
    const char* cliRecord;
    const char* documentRecord;
};

// The bar after a run that stopped at message k (1-based): the share of
// messages that went, rounded down.
constexpr std::size_t barAfterFailureAt(std::size_t k)
{
    return (k - 1) * 100 / kFaultMessages;
}

inline constexpr SFaultRow kFaultRows[] = {
    {EFault::kClientCreate, "client creation fails", 0, 3, "No MIDI system is available", 0,
     "The MIDI system could not be started", kNoBar, 0, "failed", nullptr},
    {EFault::kPortCreate, "output port creation fails", 0, 3, "cannot open \"Synth\"", 0,
     "Access to the MIDI system was refused", 100, kFaultMessages, "failed", "completed"},
    // The cause in plain words first (the application's table), the status after them.
    {EFault::kSendFailsFirst, "send fails at the first message", 1, 1,
     "send failed at message 1 of 10: The update data could not be sent to the MIDI device.", 0,
     "Sending stopped at message 1 of 10. Nothing was sent: the instrument still has its old firmware. The update data could not be sent",
     barAfterFailureAt(1), 0, "failed", "failed"},
    {EFault::kSendFailsMiddle, "send fails at a middle message", 5, 1, "send failed at message 5 of 10", 4,
     "Sending stopped at message 5 of 10. The instrument is half-written and must be updated again before it is used. The update data could not be sent",
     barAfterFailureAt(5), 4, "failed", "failed"},
    {EFault::kSendFailsLast, "send fails at the last message", 10, 1,
     "before it is used (status -10838 kMIDIMessageSendErr)\n", 9,
     "Sending stopped at message 10 of 10. The instrument is half-written and must be updated again before it is used. The update data could not be sent",
     barAfterFailureAt(10), 9, "failed", "failed"},
    {EFault::kDestinationRemoved, "destination removed mid-run", 4, 1, "send failed at message 4 of 10", 3,
     "Sending stopped at message 4 of 10. The instrument is half-written and must be updated again before it is used. The MIDI device or port was not found",
     barAfterFailureAt(4), 3, "failed", "failed"},
    // The transfer succeeds, yet nothing after message 3 went anywhere.
    {EFault::kOutputClosed, "output closed mid-run", 0, 1,
     "send failed at message 4 of 10: the destination went away and its output was closed", 3,
     "\u201CSynth\u201D went away at message 4 of 10.", barAfterFailureAt(4), 3, "failed", "failed"},
    // A file refused when Play is pressed: nothing is sent, and nothing says
    // the instrument was half-written.
    {EFault::kFileRemoved, "update file removed", 0, 2, "update.mid: No such file or directory", 0,
     "nothing was sent to the instrument: cannot read mirelo updater.dat: No such file or directory", 0, 0, "refused",
     "refused"},
    {EFault::kFileTruncated, "update file truncated", 0, 2,
     "update.mid: track 0 at byte 18: chunk length 2,041 runs past the end of the file (1,009 bytes left)", 0,
     "nothing was sent to the instrument: mirelo updater.dat: track 0 at byte 18: chunk length 2,041 runs past", 0, 0,
     "refused", "refused"},
    {EFault::kFileGarbage, "update file replaced by garbage", 0, 2,
     "update.mid: the file holds 12 bytes, too few for a Standard MIDI File header", 0,
     "nothing was sent to the instrument: mirelo updater.dat: the file holds 12 bytes", 0, 0, "refused", "refused"},
    {EFault::kFileLostAByte, "update file with a channel message that lost a byte", 0, 2,
     "update.mid: track 0, event 1 at byte 32: channel message 0x90 holds 0xF0 where a data byte belongs", 0,
     "nothing was sent to the instrument: mirelo updater.dat: track 0, event 1 at byte 32: channel message 0x90", 0, 0,
     "refused", "refused"},
    {EFault::kFileWithoutSysEx, "update file without SysEx", 0, 2, "update.mid: the file holds no SysEx message", 0,
     "nothing was sent to the instrument: mirelo updater.dat: the file holds no SysEx message", 0, 0, "refused",
     "refused"},
    {EFault::kFileEmptySysEx, "update file with an empty SysEx event", 0, 2,
     "update.mid: track 0, event 1 at byte 30: empty SysEx event (0xF7 with length 0): it holds no byte to send", 0,
     "nothing was sent to the instrument: mirelo updater.dat: track 0, event 1 at byte 30: empty SysEx event", 0, 0,
     "refused", "refused"},
    {EFault::kDisplayNameUnreadable, "display name unreadable", 0, 0, "sent 10 messages", kFaultMessages, nullptr, 100,
     kFaultMessages, "completed", "completed"},
    {EFault::kModelUnreadable, "model unreadable", 0, 0, "sent 10 messages", kFaultMessages, nullptr, 100,
     kFaultMessages, "completed", "completed"},
    {EFault::kSameName, "two devices with the same name", 0, 0, "sent 10 messages", kFaultMessages, nullptr, 100,
     kFaultMessages, "completed", "completed"},
    {EFault::kSetupChange, "setup change during a run", 0, 0, "sent 10 messages", kFaultMessages, nullptr, 100,
     kFaultMessages, "completed", "completed"},
    // `send` without --to never guesses; the window opens destination 0 and
    // says when it is not an instrument.
    {EFault::kNoInstrument, "no instrument connected", 0, 3, "no MIDI destination is a hardware port", 0, nullptr, 100,
     kFaultMessages, "failed", "completed"},
    {EFault::kTwoInstruments, "two instruments connected", 0, 3, "2 MIDI destinations are hardware ports", 0, nullptr,
     100, kFaultMessages, "failed", "completed"},
};

// The row's name as a test name: "send fails at ..." -> "send_fails_at_...".
inline std::string rowTestName(const SFaultRow& row)
{
    std::string name;
    for (const char* c = row.name; *c != '\0'; ++c) {
        name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
    }
    return name;
}

} // namespace mirelo::test
