#include "app/DocumentRun.h"

#include "app/Error.h"
#include "app/ErrorPresentingTarget.h"
#include "app/SentenceText.h"
#include "ui_REVArodozDoc.h"

#include "update/RunReport.h"

#include <QFileInfo>
#include <QLabel>

bool CDocumentRun::start(const std::optional<QString>& filePath, const std::optional<QString>& destination,
                         QProgressBar* bar, CUpdateRun::ProgressProc progress, EndHandler onEnd)
{
    if (m_run.live()) {
        return false;
    }
    m_destination = destination ? std::optional<std::string>(destination->toStdString()) : std::nullopt;
    m_run.setDestination(m_destination);
    m_fileName = filePath ? QFileInfo(*filePath).fileName().toStdString() : CUpdateFileLoader::kBundledFileName;
    // A fresh link for each run: reports of an earlier run left in the queue go nowhere.
    m_bar = std::make_shared<const QPointer<QProgressBar>>(bar);
    m_context = SProgressContext{m_bar, &m_run};
    const std::optional<std::filesystem::path> path =
        filePath ? std::optional<std::filesystem::path>(filePath->toStdString()) : std::nullopt;
    return m_run.start(
        [path, progress, context = &m_context](CUpdateRun& run) {
            if (!path) {
                SRunEnd end;
                end.notStarted = {SUpdateFileLoad::EOutcome::kUnreadable, {}, "it is no longer open", {}};
                return end;
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
    if (label != nullptr && progress.total != 0) {
        label->setText(CSentenceText::textOf(CRunReport::timeLeft(progress, elapsedMs)));
    }
}

void CDocumentRun::showEnd(const SRunEnd& end, Ui::REVArodozDoc* form, CErrorPresentingTarget& target) const
{
    if (end.how == SRunEnd::EHow::kNotStarted) {
        if (form != nullptr) {
            form->m_txtStatus->setText(CSentenceText::sentenceOf(CRunReport::notStartedStatus()));
        }
        target.presentError(CError(kUpdaterErrorDomain, kUpdateFileRefused,
                                   CSentenceText::sentenceOf(CRunReport::notStartedAlert(end, m_fileName))));
        return;
    }
    if (form != nullptr) {
        // The run is over: no time left to wait for.
        form->m_txtRunProgress->setText(
            CSentenceText::textOf(CRunReport::messagesOf(end.progress.reached, end.progress.total)));
        // A failed run keeps the share that reached the instrument: a full
        // bar would say it was updated.
        form->m_progress->setValue(CRunReport::percentShown(end.progress, end.whole()));
        form->m_txtStatus->setText(CSentenceText::sentenceOf(
            end.whole() ? CRunReport::sent(end, m_destination) : CRunReport::stoppedAt(end)));
    }
    if (!end.whole()) {
        target.presentError(CError(kUpdaterErrorDomain, kUpdateIncomplete,
                                   CSentenceText::sentenceOf(CRunReport::didNotComplete(end))));
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
