#include "app/DocumentRun.h"

#include "app/Error.h"
#include "app/ErrorPresentingTarget.h"
#include "app/InstrumentLine.h"
#include "app/OutcomeLine.h"
#include "app/SentenceText.h"
#include "ui_REVArodozDoc.h"

#include "platform/midi/virtual/CaptureDestination.h"
#include "update/RunReport.h"
#include "update/StatusText.h"

#include "platform/base/EventLoop.h"

#include <QFileInfo>
#include <QLabel>
#include <QStringList>

#include <mutex>

void CDocumentRun::postProgress(void* context)
{
    // The transfer's percentage is the share before the message just sent.
    const auto* target = static_cast<const SProgressContext*>(context);
    const int shown = CRunReport::percentShown(target->run->progress(), false);
    mirelo::platform::mainLoop().post([bar = target->bar, shown] {
        if (const auto link = bar.lock(); link && *link) {
            (*link)->setValue(shown);
        }
    });
}

bool CDocumentRun::start(const std::optional<QString>& filePath, const std::optional<QString>& destination,
                         QProgressBar* bar, CUpdateRun::ProgressProc progress, EndHandler onEnd,
                         mirelo::midi::CaptureDestination* capture, std::optional<SIdentitySetup> instrument,
                         QLabel* label)
{
    if (m_run.live()) {
        return false;
    }
    m_destination = destination ? std::optional<std::string>(destination->toStdString()) : std::nullopt;
    m_run.setDestination(m_destination);
    m_waitingForInstrument = std::make_shared<bool>(false);
    if (instrument) {
        instrument->waiting = [link = QPointer<QLabel>(label), waiting = std::weak_ptr<bool>(m_waitingForInstrument)] {
            mirelo::platform::mainLoop().post([link, waiting] {
                if (const std::shared_ptr<bool> flag = waiting.lock()) {
                    // The count has nothing more to say: the wait is the news.
                    *flag = true;
                }
                if (link) {
                    link->setText(CSentenceText::textOf(CRunReport::waitingForAnswer()));
                }
            });
        };
    }
    m_run.setIdentityCheck(std::move(instrument));
    m_fileName = filePath ? QFileInfo(*filePath).fileName().toStdString() : CUpdateFileLoader::kBundledFileName;
    // A fresh link for each run: reports of an earlier run left in the queue go nowhere.
    m_bar = std::make_shared<const QPointer<QProgressBar>>(bar);
    m_context = SProgressContext{m_bar, &m_run};
    const std::optional<std::filesystem::path> path =
        filePath ? std::optional<std::filesystem::path>(filePath->toStdString()) : std::nullopt;
    // Translated here, on the window's thread, and handed to the worker as is.
    std::string gone = tr("it is no longer open").toStdString();
    return m_run.start(
        [path, progress, capture, context = &m_context, gone = std::move(gone)](CUpdateRun& run) {
            if (!path) {
                SRunEnd end;
                end.notStarted = {SUpdateFileLoad::EOutcome::kUnreadable, {}, gone, {}};
                return end;
            }
            // The run asks the instrument on the manager's input, as the
            // instrument line does: one at a time.
            const std::lock_guard ports(CInstrumentLine::portsInUse());
            // On the worker, which also writes the capture: the rows count
            // from this run's start.
            if (capture != nullptr) {
                capture->countFrom(run.startInstant());
            }
            return run.sendFile(*path, progress, context);
        },
        std::move(onEnd));
}

void CDocumentRun::closeAnyway()
{
    m_closedAnyway = true;
    m_run.stop();
}

void CDocumentRun::showProgress(QLabel* label, std::uint64_t elapsedMs) const
{
    const SRunProgress progress = m_run.progress();
    if (label != nullptr && progress.total != 0 && !(m_waitingForInstrument && *m_waitingForInstrument)) {
        label->setText(CSentenceText::textOf(CRunReport::timeLeft(progress, elapsedMs)));
    }
}

CError CDocumentRun::incompleteAlert(const SRunEnd& end, const std::optional<std::string>& destination)
{
    const QLocale locale = CSentenceText::locale();
    const QString at = locale.toString(static_cast<qulonglong>(end.progress.reached) + 1);
    const QString total = locale.toString(static_cast<qulonglong>(end.progress.total));
    const QString device =
        destination ? QStringLiteral("\u201C%1\u201D").arg(QString::fromStdString(*destination)) : tr("the output");
    CError error(kUpdaterErrorDomain, kUpdateIncomplete, tr("The update did not complete."));
    // With nothing sent the instrument still runs its old firmware.
    const QString consequence = end.progress.reached == 0
                                    ? tr("Nothing was sent: the instrument still has its old firmware.")
                                    : tr("The instrument is half-written and must be updated again before it is used.");
    if (end.how == SRunEnd::EHow::kOutputClosed) {
        error.withReason(tr("%1 went away at message %2 of %3. %4").arg(device, at, total, consequence))
            .withSuggestion(tr("Connect the instrument again, choose it under Output and send the update again."));
    } else if (end.detail) {
        error
            .withReason(tr("Message %1 of %2 could not be sent: %3. %4")
                            .arg(at, total, QString::fromStdString(*end.detail), consequence))
            .withSuggestion(tr("Make sure the capture file can be written (free space, the file left in place), "
                               "then send the update again."));
    } else if (end.status != noErr) {
        // The status's own text says what went wrong and what to do.
        error.withReason(tr("Sending stopped at message %1 of %2. %3").arg(at, total, consequence))
            .withSuggestion(QString::fromStdString(CStatusText::meaning(end.status)));
    } else {
        error.withReason(tr("The transfer stopped at message %1 of %2. %3").arg(at, total, consequence))
            .withSuggestion(tr("Check the cable and that the instrument is switched on, then send the update again."));
    }
    if (end.status != noErr) {
        error.withDetail(tr("status %1").arg(QString::fromStdString(CStatusText::name(end.status))));
    }
    return error;
}

void CDocumentRun::showEnd(const SRunEnd& end, Ui::REVArodozDoc* form, CErrorPresentingTarget& target) const
{
    using EOutcome = COutcomeLine::EOutcome;
    if (end.how == SRunEnd::EHow::kNotStarted) {
        if (form != nullptr) {
            COutcomeLine::show(*form, EOutcome::kRefused, CSentenceText::sentenceOf(CRunReport::notStartedStatus()),
                               true);
        }
        target.presentError(CError(kUpdaterErrorDomain, kUpdateFileRefused, tr("The update was not started."))
                                .withReason(CSentenceText::sentenceOf(CRunReport::notStartedAlert(end, m_fileName)))
                                .withSuggestion(tr("Put the update file back, or open it again with File \u203A Open "
                                                   "Update File\u2026, then send it.")));
        return;
    }
    if (form != nullptr) {
        // The run is over: no time left to wait for.
        form->m_txtRunProgress->setText(
            CSentenceText::textOf(CRunReport::messagesOf(end.progress.reached, end.progress.total)));
        // A failed run keeps the share that reached the instrument: a full
        // bar would say it was updated.
        form->m_progress->setValue(CRunReport::percentShown(end.progress, end.whole()));
        if (!end.whole()) {
            COutcomeLine::showBarFailed(*form);
        }
        // An update the instrument did not take failed, however whole it went out.
        const bool took = !end.identity || end.identity->verdict != SIdentityCheck::EVerdict::kDidNotTake;
        QStringList lines{
            CSentenceText::sentenceOf(end.whole() ? CRunReport::sent(end, m_destination) : CRunReport::stoppedAt(end))};
        if (end.identity && end.identity->asked()) {
            // What the instrument said around the update, as the command-line tool says it;
            // one not asked (no source of its own) leaves the outcome as it always was.
            if (const std::optional<CSentence> change = CRunReport::firmwareChange(*end.identity)) {
                lines.append(CSentenceText::sentenceOf(*change));
            }
            if (const std::optional<CSentence> verdict = CRunReport::identityVerdict(*end.identity, m_destination)) {
                lines.append(CSentenceText::sentenceOf(*verdict));
            }
        }
        COutcomeLine::show(*form, end.whole() && took ? EOutcome::kSent : EOutcome::kFailed,
                           lines.join(QLatin1Char('\n')), true);
    }
    if (!end.whole()) {
        target.presentError(incompleteAlert(end, m_destination));
    }
}

std::optional<std::string> CDocumentRun::endForExit()
{
    const bool wasCutShort = cutShort();
    m_run.stop();
    const std::optional<SRunEnd> end = m_run.wait();
    if (!wasCutShort || !end || end->whole() || end->how == SRunEnd::EHow::kNotStarted) {
        return std::nullopt;
    }
    return CRunReport::closedDuringRun(*end).plain();
}
