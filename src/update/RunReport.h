#pragma once
// What both front ends say about an update: how it ended (sent, failed at
// message k of n with its cause, interrupted, not started), how far a run has
// got, the warnings before one, and the percentage shown while it goes. The
// tool prints these in plain English; the window shows them as sentences in
// its status line and alerts.

#include "update/IdentityCheck.h"
#include "update/Sentence.h"
#include "update/UpdateFileLoader.h"
#include "update/UpdateRun.h"

#include "platform/midi/MIDIServices.h"

#include <cstdint>
#include <optional>
#include <string>

class CRunReport {
public:
    // While a run goes the percentage stops here: 100 says the instrument was
    // updated, and only a run that sent every message may say it.
    static constexpr int kMostWhileRunning = 99;
    // A held-up sender that moved the schedule back less than this is not
    // worth a word: a wake-up is usually a little late.
    static constexpr std::uint64_t kHeldUpWorthSaying = 100;
    // A run longer than this is announced before it starts.
    static constexpr std::uint64_t kLongRunMs = 3'600'000;

    // The share of messages that reached the destination, whole percent
    // rounded down; 100 only for a whole run.
    static int percentShown(const SRunProgress& progress, bool whole);

    // How long the run has still to go: the file's time, and whatever a
    // held-up sender moved it back, less the time gone.
    static std::uint64_t leftMs(const SRunProgress& progress, std::uint64_t elapsedMs);

    // "1 message", "242 messages"
    static CSentence messages(std::uint64_t count);
    // "4 of 12 messages"
    static CSentence messagesOf(std::uint64_t reached, std::uint64_t total);
    // "4 of 12 messages, about 1.0 s left"
    static CSentence timeLeft(const SRunProgress& progress, std::uint64_t elapsedMs);

    // The destination as the user picked it; none: no device was open.
    using Destination = std::optional<std::string>;

    // "sent 242 messages (37231 bytes) in 14.9 s to "Synth"", and when the
    // sender was held up how much later than the file it ended, and why.
    static CSentence sent(const SRunEnd& end, const Destination& destination);
    // "send failed at message 5 of 12: " and the cause in plain words, the
    // status after them.
    static CSentence failedAt(const SRunEnd& end);
    // "interrupted after message 7 of 60; the instrument must be updated again"
    static CSentence interrupted(const SRunEnd& end);
    // "4 of 12 messages (1200 bytes) reached "Synth"; the instrument must
    // receive the whole update: send it again"
    static CSentence reached(const SRunEnd& end, const Destination& destination);
    // How the run ended in one sentence: sent, failed at, interrupted, or
    // why the file named shownName was not sent.
    static CSentence ended(const SRunEnd& end, const Destination& destination, const std::string& shownName);

    // Who the instrument said it was around the update: "instrument:
    // firmware 1.0 → 1.1" once it answered before and after it; none else.
    static std::optional<CSentence> firmwareChange(const SIdentityCheck& check);
    // What its answers say of the update: "the instrument reports 1.1, the
    // version this update carries", "the instrument still reports 1.0: the
    // update did not take", or why that is not known; none when there is
    // nothing to add (the update did not go out whole).
    static std::optional<CSentence> identityVerdict(const SIdentityCheck& check, const Destination& destination);
    // While the instrument is waited for after the update.
    static CSentence waitingForAnswer();
    // Who the instrument asked says it is, as one line: "manufacturer 0x7D,
    // family 0x0001, model 0x000A · firmware 1.0", or that it did not answer
    // (and why, where that is known).
    static CSentence instrumentAnswer(const SIdentityAnswer& answer);

    // Why the file cannot be sent, naming it as shownName.
    static CSentence notLoaded(const SUpdateFileLoad& load, const std::string& shownName);
    // Why the file the window opened may not be sent.
    static CSentence cannotBeSent(const SUpdateFileLoad& load, const std::string& shownName);
    // A status in plain words first, its number and name after them.
    static CSentence statusCause(OSStatus status);

    // The window's words for the end of a run.
    static CSentence stoppedAt(const SRunEnd& end);
    static CSentence didNotComplete(const SRunEnd& end);
    static CSentence notStartedStatus();
    static CSentence notStartedAlert(const SRunEnd& end, const std::string& shownName);
    // The window asks this before closing during a run.
    static CSentence closeQuestion(const Destination& destination);
    // A window closed during a run ends the application with this: how far
    // the run got, and that the instrument must be updated again.
    static CSentence closedDuringRun(const SRunEnd& end);

    // Before a run: messages the file orders after one due later leave late.
    static CSentence fileOrderWarning(std::uint64_t lateMessages, std::uint64_t total, std::uint64_t mostLateMs);
    // Before a run that takes more than kLongRunMs.
    static CSentence longRunWarning(std::uint64_t fileMs);
};
