#include "app/DocumentAlerts.h"

#include "app/AlertPresenter.h"
#include "app/MyErrors.h"
#include "app/SentenceText.h"

#include "update/RunReport.h"
#include "update/StatusText.h"

#include <QFileInfo>

namespace {

constexpr std::int32_t kCocoaFileReadUnknown = 256;
constexpr std::int32_t kCocoaFileReadInvalidFileName = 258;

// Without a presenter no question can be asked: things stay as they are.
bool ask(const CAlertPresenter::SQuestion& question)
{
    CAlertPresenter* alerts = CAlertPresenter::current();
    return alerts != nullptr && alerts->ask(question);
}

} // namespace

CError CDocumentAlerts::notALocalFile(const QUrl& url)
{
    return MyErrors::errorWithCocoaStatus(kCocoaFileReadInvalidFileName)
        .titled(tr("The update file could not be opened."))
        .withReason(tr("%1 is not a file on this computer.").arg(url.toDisplayString()));
}

CError CDocumentAlerts::noFileAt(const QString& path)
{
    return MyErrors::errorWithCocoaStatus(kCocoaFileReadUnknown)
        .titled(tr("The update file \u201C%1\u201D could not be opened.").arg(QFileInfo(path).fileName()))
        .withReason(tr("There is no file at %1.").arg(path))
        .withSuggestion(tr("Reinstall mirelo updater, or open another update file."));
}

CError CDocumentAlerts::cannotBeSent(const SUpdateFileLoad& load, const QString& name, bool bundled)
{
    using EOutcome = SUpdateFileLoad::EOutcome;
    const QString headline =
        load.outcome == EOutcome::kRefused       ? tr("\u201C%1\u201D is damaged and cannot be sent.").arg(name)
        : load.outcome == EOutcome::kOutOfMemory ? tr("There is not enough memory to check \u201C%1\u201D.").arg(name)
                                                 : tr("\u201C%1\u201D cannot be read.").arg(name);
    const QString suggestion = bundled ? tr("Nothing was sent. Reinstall mirelo updater to restore its update file.")
                                       : tr("Nothing was sent. Download the update file again, or open another one.");
    return CError(kUpdaterErrorDomain, kUpdateFileRefused, headline)
        .withReason(CSentenceText::sentenceOf(CRunReport::cannotBeSent(load, name.toStdString())))
        .withSuggestion(suggestion);
}

CError CDocumentAlerts::captureRefusedAtStart(const std::string& problem)
{
    return CError(kUpdaterErrorDomain, kCaptureRefused, tr("The capture file cannot be used."))
        .withReason(tr("MIRELO_CAPTURE: %1.").arg(QString::fromStdString(problem)))
        .withSuggestion(tr("Set MIRELO_CAPTURE to a new file name in a folder you may write to, "
                           "then start mirelo updater again."));
}

CError CDocumentAlerts::captureRefusedForFile(const std::string& problem)
{
    return CError(kUpdaterErrorDomain, kCaptureRefused,
                  tr("This file cannot be opened while the capture writes there."))
        .withReason(tr("MIRELO_CAPTURE: %1.").arg(QString::fromStdString(problem)))
        .withSuggestion(tr("Open another update file."));
}

CError CDocumentAlerts::captureUnwritable(const std::string& reason, bool atStart)
{
    return CError(kUpdaterErrorDomain, kCaptureRefused, tr("The capture file cannot be written."))
        .withReason(tr("MIRELO_CAPTURE: %1.").arg(QString::fromStdString(reason)))
        .withSuggestion(atStart ? tr("Set MIRELO_CAPTURE to a file in a folder you may write to, which no "
                                     "other capture is writing, then start mirelo updater again.")
                                : tr("Make sure the capture file can be written, then send again."));
}

bool CDocumentAlerts::retryWithoutMidiSystem(std::int32_t status)
{
    return ask({tr("There is no MIDI system to send the update through."),
                QString::fromStdString(CStatusText::meaning(status)), tr("&Quit"), tr("&Retry"), true});
}

bool CDocumentAlerts::sendAgain(const QString& destination)
{
    return ask({tr("Send the update again?"),
                tr("The whole update was sent to \u201C%1\u201D. Sending it again starts over from the first "
                   "message.")
                    .arg(destination),
                tr("Cancel"), tr("Send &Again")});
}

bool CDocumentAlerts::sendToSoftwarePort(const QString& destination)
{
    return ask({tr("Send the update to \u201C%1\u201D?").arg(destination),
                tr("\u201C%1\u201D is a software port, not an instrument connected by USB: the instrument may "
                   "receive nothing. Choose the instrument under Output unless you know this port leads to it.")
                    .arg(destination),
                tr("Cancel"), tr("Send &Anyway")});
}

bool CDocumentAlerts::closeDuringRun(const std::optional<std::string>& destination)
{
    return ask({tr("Stop sending the update?"), CSentenceText::sentenceOf(CRunReport::closeQuestion(destination)),
                tr("&Keep Sending"), tr("&Close Anyway")});
}

bool CDocumentAlerts::confirmSend(const QString& destination, bool afterWholeRun, bool toSoftwarePort)
{
    return (!afterWholeRun || sendAgain(destination)) && (!toSoftwarePort || sendToSoftwarePort(destination));
}
