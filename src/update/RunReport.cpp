#include "update/RunReport.h"

#include "update/StatusText.h"

#include <algorithm>
#include <chrono>

namespace {

using Part = CSentence::Part;

CSentence::Part destinationPart(const CRunReport::Destination& destination)
{
    if (!destination) {
        return CSentence(QT_TRANSLATE_NOOP("RunReport", "no device")).shared();
    }
    return CSentence::SName{*destination};
}

// The message a failed run stopped at: the one after the last that reached.
std::uint64_t stoppedAtMessage(const SRunEnd& end)
{
    return end.progress.reached + 1;
}

// How long an instrument is waited for after an update.
CSentence::SDuration restartWait()
{
    return {static_cast<std::uint64_t>(std::chrono::milliseconds(CIdentityInquiry::kRestartWait).count())};
}

} // namespace

int CRunReport::percentShown(const SRunProgress& progress, bool whole)
{
    if (whole) {
        return 100;
    }
    if (progress.total == 0) {
        return 0;
    }
    const std::uint64_t percent = std::min(progress.reached, progress.total) * 100 / progress.total;
    return static_cast<int>(std::min<std::uint64_t>(percent, kMostWhileRunning));
}

CSentence CRunReport::messages(std::uint64_t count)
{
    return CSentence(count == 1 ? QT_TRANSLATE_NOOP("RunReport", "%1 message")
                                : QT_TRANSLATE_NOOP("RunReport", "%1 messages"),
                     {count});
}

CSentence CRunReport::messagesOf(std::uint64_t reached, std::uint64_t total)
{
    return CSentence(total == 1 ? QT_TRANSLATE_NOOP("RunReport", "%1 of %2 message")
                                : QT_TRANSLATE_NOOP("RunReport", "%1 of %2 messages"),
                     {reached, total});
}

std::uint64_t CRunReport::leftMs(const SRunProgress& progress, std::uint64_t elapsedMs)
{
    // The schedule fixes how long a run takes (pacing, not the cable, sets
    // the pace), so users know how long not to unplug.
    const std::uint64_t expected = progress.fileMs + progress.heldUpMs;
    return expected > elapsedMs ? expected - elapsedMs : 0;
}

CSentence CRunReport::timeLeft(const SRunProgress& progress, std::uint64_t elapsedMs)
{
    return CSentence(
        QT_TRANSLATE_NOOP("RunReport", "%1, about %2 left"),
        {messagesOf(progress.reached, progress.total).shared(), CSentence::SDuration{leftMs(progress, elapsedMs)}});
}

CSentence CRunReport::sent(const SRunEnd& end, const Destination& destination)
{
    std::vector<Part> parts{messages(end.progress.reached).shared(), end.progress.bytes,
                            CSentence::SDuration{end.elapsedMs}, destinationPart(destination)};
    if (end.progress.heldUpMs < kHeldUpWorthSaying) {
        return CSentence(QT_TRANSLATE_NOOP("RunReport", "sent %1 (%2 bytes) in %3 to %4"), std::move(parts));
    }
    parts.emplace_back(CSentence::SDuration{end.progress.heldUpMs});
    parts.emplace_back(CSentence::SDuration{end.progress.fileMs});
    return CSentence(QT_TRANSLATE_NOOP("RunReport", "sent %1 (%2 bytes) in %3 to %4, %5 later than the file's %6: "
                                                    "the sender was held up; the file's spacing was kept"),
                     std::move(parts));
}

CSentence CRunReport::statusCause(OSStatus status)
{
    std::string meaning = CStatusText::meaning(status);
    // The tables write whole sentences; the status follows in brackets.
    while (!meaning.empty() && (meaning.back() == '.' || meaning.back() == ' ')) {
        meaning.pop_back();
    }
    return CSentence(QT_TRANSLATE_NOOP("RunReport", "%1 (status %2)"), {meaning, CStatusText::name(status)});
}

CSentence CRunReport::failedAt(const SRunEnd& end)
{
    CSentence cause(QT_TRANSLATE_NOOP("RunReport", "the transfer stopped"));
    if (end.how == SRunEnd::EHow::kOutputClosed) {
        cause = CSentence(QT_TRANSLATE_NOOP("RunReport", "the destination went away and its output was closed"));
    } else if (end.detail) {
        cause =
            CSentence(QT_TRANSLATE_NOOP("RunReport", "%1 (status %2)"), {*end.detail, CStatusText::name(end.status)});
    } else if (end.status != noErr) {
        cause = statusCause(end.status);
    }
    return CSentence(QT_TRANSLATE_NOOP("RunReport", "send failed at message %1 of %2: %3"),
                     {stoppedAtMessage(end), end.progress.total, cause.shared()});
}

CSentence CRunReport::interrupted(const SRunEnd& end)
{
    if (end.progress.reached == 0) {
        return CSentence(QT_TRANSLATE_NOOP("RunReport", "interrupted before the first message; nothing was sent"));
    }
    return CSentence(
        QT_TRANSLATE_NOOP("RunReport", "interrupted after message %1 of %2; the instrument must be updated again"),
        {end.progress.reached, end.progress.total});
}

CSentence CRunReport::reached(const SRunEnd& end, const Destination& destination)
{
    return CSentence(QT_TRANSLATE_NOOP("RunReport", "%1 (%2 bytes) reached %3; the instrument must receive the "
                                                    "whole update: send it again"),
                     {messagesOf(end.progress.reached, end.progress.total).shared(), end.progress.bytes,
                      destinationPart(destination)});
}

CSentence CRunReport::ended(const SRunEnd& end, const Destination& destination, const std::string& shownName)
{
    switch (end.how) {
    case SRunEnd::EHow::kSent:
        return sent(end, destination);
    case SRunEnd::EHow::kInterrupted:
        return interrupted(end);
    case SRunEnd::EHow::kNotStarted:
        return notLoaded(end.notStarted, shownName);
    case SRunEnd::EHow::kFailed:
    case SRunEnd::EHow::kOutputClosed:
        break;
    }
    return failedAt(end);
}

std::optional<CSentence> CRunReport::firmwareChange(const SIdentityCheck& check)
{
    const SDeviceIdentity* before = check.identityBefore();
    const SDeviceIdentity* after = check.identityAfter();
    if (before == nullptr || after == nullptr) {
        return std::nullopt;
    }
    return CSentence(QT_TRANSLATE_NOOP("RunReport", "instrument: firmware %1 \u2192 %2"),
                     {before->versionText(), after->versionText()});
}

CSentence CRunReport::instrumentAnswer(const SIdentityAnswer& answer)
{
    using EOutcome = SIdentityAnswer::EOutcome;
    if (answer.identity) {
        const SDeviceIdentity& identity = *answer.identity;
        return CSentence(
            QT_TRANSLATE_NOOP("RunReport", "manufacturer %1, family %2, model %3 \u00b7 firmware %4"),
            {identity.manufacturerText(), identity.familyText(), identity.modelText(), identity.versionText()});
    }
    switch (answer.outcome) {
    case EOutcome::kNoInput:
        return CSentence(QT_TRANSLATE_NOOP("RunReport", "it has no MIDI source of its own to answer on"));
    case EOutcome::kInputFailed:
    case EOutcome::kRequestFailed:
        return CSentence(QT_TRANSLATE_NOOP("RunReport", "it could not be asked who it is: %1"),
                         {statusCause(answer.status).shared()});
    default:
        break;
    }
    if (answer.heardOwnRequest) {
        return CSentence(QT_TRANSLATE_NOOP("RunReport", "did not answer: it sent our request back, as a loop-back "
                                                        "does, so it is no instrument"));
    }
    return CSentence(QT_TRANSLATE_NOOP("RunReport", "did not answer (many instruments do not)"));
}

std::optional<CSentence> CRunReport::identityVerdict(const SIdentityCheck& check, const Destination& destination)
{
    using EVerdict = SIdentityCheck::EVerdict;
    const CSentence::SDuration wait = restartWait();
    const SDeviceIdentity* before = check.identityBefore();
    const SDeviceIdentity* after = check.identityAfter();
    switch (check.verdict) {
    case EVerdict::kNoInput:
        return CSentence(QT_TRANSLATE_NOOP("RunReport", "%1 has no MIDI source of its own to answer on, so the "
                                                        "instrument was not asked which firmware it runs"),
                         {destinationPart(destination)});
    case EVerdict::kUnanswered:
        if (check.before.outcome == SIdentityAnswer::EOutcome::kInputFailed ||
            check.before.outcome == SIdentityAnswer::EOutcome::kRequestFailed) {
            return CSentence(QT_TRANSLATE_NOOP("RunReport", "the instrument could not be asked which firmware it "
                                                            "runs: %1; whether it took the update was not checked"),
                             {statusCause(check.before.status).shared()});
        }
        if (check.before.heardOwnRequest) {
            return CSentence(QT_TRANSLATE_NOOP("RunReport", "%1 sent our identity request back, as a loop-back "
                                                            "does: no instrument answered, so whether one took the "
                                                            "update was not checked"),
                             {destinationPart(destination)});
        }
        return CSentence(QT_TRANSLATE_NOOP("RunReport", "the instrument did not say which firmware it runs (many "
                                                        "instruments do not), so whether it took the update was "
                                                        "not checked"));
    case EVerdict::kIncomplete:
        return std::nullopt;
    case EVerdict::kTook:
        return CSentence(QT_TRANSLATE_NOOP("RunReport", "the instrument reports %1, the version this update carries"),
                         {after->versionText()});
    case EVerdict::kDidNotTake:
        if (after->revision == before->revision) {
            return CSentence(QT_TRANSLATE_NOOP("RunReport", "the instrument still reports %1: the update did not take"),
                             {after->versionText()});
        }
        return CSentence(QT_TRANSLATE_NOOP("RunReport", "the instrument reports %1, not %2, the version this update "
                                                        "carries: the update did not take"),
                         {after->versionText(), check.carried->text()});
    case EVerdict::kNoVersion:
        if (after->revision != before->revision) {
            return std::nullopt;
        }
        return CSentence(QT_TRANSLATE_NOOP("RunReport", "the instrument still reports %1, and the update file does "
                                                        "not say which version it carries: whether it took the "
                                                        "update is not known"),
                         {after->versionText()});
    case EVerdict::kSilentAfter:
        return CSentence(QT_TRANSLATE_NOOP("RunReport", "the instrument reported firmware %1 before the update and "
                                                        "did not answer within %2 after it: whether it took the "
                                                        "update is not known"),
                         {before->versionText(), wait});
    case EVerdict::kGoneAfter:
        return CSentence(QT_TRANSLATE_NOOP("RunReport", "the instrument went away after the update and did not come "
                                                        "back within %1: whether it took the update is not known"),
                         {wait});
    case EVerdict::kStopped:
        return CSentence(QT_TRANSLATE_NOOP("RunReport", "interrupted while waiting for the instrument to answer "
                                                        "after the update: whether it took the update is not known"));
    }
    return std::nullopt;
}

CSentence CRunReport::waitingForAnswer()
{
    return CSentence(QT_TRANSLATE_NOOP("RunReport", "every message was sent; waiting up to %1 for the instrument to "
                                                    "answer again (it may restart): keep it connected"),
                     {restartWait()});
}

CSentence CRunReport::notLoaded(const SUpdateFileLoad& load, const std::string& shownName)
{
    using EOutcome = SUpdateFileLoad::EOutcome;
    switch (load.outcome) {
    case EOutcome::kReady:
        break;
    case EOutcome::kNoBundledFile:
        if (load.path.empty()) {
            return CSentence(
                QT_TRANSLATE_NOOP("RunReport", "the bundled update file %1 was not found: there is no resource folder"),
                {CSentence::SName{CUpdateFileLoader::kBundledFileName}});
        }
        return CSentence(
            QT_TRANSLATE_NOOP("RunReport", "the bundled update file %1 was not found in the resource folder %2"),
            {CSentence::SName{CUpdateFileLoader::kBundledFileName}, load.path.string()});
    case EOutcome::kUnreadable:
    case EOutcome::kTooLarge:
        return CSentence(QT_TRANSLATE_NOOP("RunReport", "cannot read %1: %2"), {shownName, load.reason});
    case EOutcome::kRefused:
        return CSentence(QT_TRANSLATE_NOOP("RunReport", "%1: %2"),
                         {shownName, load.refusal ? load.refusal->sentence() : std::string()});
    case EOutcome::kOutOfMemory:
        if (load.reason.empty()) {
            return CSentence(QT_TRANSLATE_NOOP("RunReport", "%1: out of memory while building the schedule"),
                             {shownName});
        }
        return CSentence(QT_TRANSLATE_NOOP("RunReport", "%1: %2"), {shownName, load.reason});
    }
    return CSentence(QT_TRANSLATE_NOOP("RunReport", "%1 can be sent"), {shownName});
}

CSentence CRunReport::cannotBeSent(const SUpdateFileLoad& load, const std::string& shownName)
{
    return CSentence(QT_TRANSLATE_NOOP("RunReport", "the update file cannot be sent: %1"),
                     {notLoaded(load, shownName).shared()});
}

CSentence CRunReport::stoppedAt(const SRunEnd& end)
{
    if (end.progress.reached == 0) {
        return CSentence(QT_TRANSLATE_NOOP("RunReport", "stopped at message 1 of %1: nothing was sent"),
                         {end.progress.total});
    }
    return CSentence(
        QT_TRANSLATE_NOOP("RunReport", "stopped at message %1 of %2: the instrument must be updated again"),
        {stoppedAtMessage(end), end.progress.total});
}

CSentence CRunReport::didNotComplete(const SRunEnd& end)
{
    // With nothing sent the instrument still holds its old firmware.
    if (end.progress.reached == 0) {
        return CSentence(
            QT_TRANSLATE_NOOP("RunReport", "the update did not complete: %1; nothing was sent to the instrument"),
            {failedAt(end).shared()});
    }
    return CSentence(
        QT_TRANSLATE_NOOP("RunReport", "the update did not complete: %1; the instrument must be updated again"),
        {failedAt(end).shared()});
}

CSentence CRunReport::notStartedStatus()
{
    return CSentence(QT_TRANSLATE_NOOP("RunReport", "not started: nothing was sent"));
}

CSentence CRunReport::notStartedAlert(const SRunEnd& end, const std::string& shownName)
{
    return CSentence(
        QT_TRANSLATE_NOOP("RunReport", "the update was not started, and nothing was sent to the instrument: %1"),
        {notLoaded(end.notStarted, shownName).shared()});
}

CSentence CRunReport::closeQuestion(const Destination& destination)
{
    return CSentence(QT_TRANSLATE_NOOP("RunReport", "an update is being sent to %1. Closing now leaves the "
                                                    "instrument half-written and it must be updated again"),
                     {destinationPart(destination)});
}

CSentence CRunReport::closedDuringRun(const SRunEnd& end)
{
    if (end.how == SRunEnd::EHow::kInterrupted) {
        return CSentence(QT_TRANSLATE_NOOP("RunReport", "the window was closed during the update: %1"),
                         {interrupted(end).shared()});
    }
    return CSentence(QT_TRANSLATE_NOOP("RunReport", "the window was closed during the update: %1; the instrument "
                                                    "must be updated again"),
                     {failedAt(end).shared()});
}

CSentence CRunReport::fileOrderWarning(std::uint64_t lateMessages, std::uint64_t total, std::uint64_t mostLateMs)
{
    return CSentence(QT_TRANSLATE_NOOP("RunReport", "%1 of %2 are due before a message ahead of them in the file "
                                                    "and will leave up to %3 ms late"),
                     {lateMessages, messages(total).shared(), mostLateMs});
}

CSentence CRunReport::longRunWarning(std::uint64_t fileMs)
{
    return CSentence(QT_TRANSLATE_NOOP("RunReport", "the file times this update to take %1; keep the instrument "
                                                    "connected and switched on until it ends"),
                     {CSentence::SDuration{fileMs}});
}
