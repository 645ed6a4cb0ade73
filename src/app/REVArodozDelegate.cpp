#include "app/REVArodozDelegate.h"

#include "app/AppTerminator.h"
#include "app/DocumentController.h"
#include "app/DocumentWindow.h"
#include "app/MyErrors.h"
#include "app/ProcessActivity.h"
#include "app/REVArodozDoc.h"
#include "app/SentenceText.h"

#include "ZAVController.h"
#include "update/RunReport.h"
#include "update/UpdateFileLoader.h"

#include <QUrl>

namespace {

constexpr std::int32_t kCocoaFileReadNoSuchFile = 260;

} // namespace

bool REVArodozDelegate::applicationShouldOpenUntitledFile(QObject* /*sender*/) const
{
    return false;
}

void REVArodozDelegate::applicationDidFinishLaunching(QObject* /*sender*/)
{
    // The document's first scan may already open the output through the manager.
    CZAVController::initialize();
    if (CDocumentController::sharedDocumentController() != nullptr && !openUpdateDocument()) {
        CAppTerminator::terminate(this, kExitNoDocument);
        return;
    }
    setActivity(CProcessActivity::beginActivity(CProcessActivity::kUserInitiatedLatencyCritical,
                                                QString::fromLatin1(kActivityReason)));
}

bool REVArodozDelegate::openUpdateDocument()
{
    const SUpdateFileLoad located = CUpdateFileLoader::locate(std::nullopt);
    if (!located.ready()) {
        MyErrors::presentError(
            CError(NSCocoaErrorDomain, kCocoaFileReadNoSuchFile,
                   QCoreApplication::translate("REVArodozDelegate", "The bundled update file is missing."))
                .withReason(CSentenceText::sentenceOf(CRunReport::notLoaded(located, {})))
                .withSuggestion(QCoreApplication::translate("REVArodozDelegate",
                                                            "Reinstall mirelo updater, or set MIRELO_RESOURCES to "
                                                            "the folder that holds its update file.")));
        return false;
    }
    const QUrl url = QUrl::fromLocalFile(QString::fromStdString(located.path.string()));
    const std::shared_ptr<REVArodozDoc> document =
        CDocumentController::sharedDocumentController()->openDocumentWithContentsOfURL(url, true);
    if (!document) {
        // The document has shown why; without it there is nothing to do.
        return false;
    }
    // The window is up while the file is checked; a file that may not be
    // sent, or a capture that cannot be written, ends the application once
    // the alert has said why.
    document->setCheckedHandler([](bool ready) {
        if (!ready) {
            CAppTerminator::terminate(nullptr, kExitNoDocument);
        }
    });
    if (CDocumentWindow* window = document->window()) {
        connect(window, &CDocumentWindow::closing, this, [this](QObject* sender) { windowWillClose(sender); });
    }
    return true;
}

bool REVArodozDelegate::applicationShouldTerminateAfterLastWindowClosed(QObject* /*sender*/) const
{
    return true;
}

REVArodozDelegate::ETerminateReply REVArodozDelegate::applicationShouldTerminate(QObject* /*sender*/) const
{
    return ETerminateReply::kTerminateNow;
}

void REVArodozDelegate::applicationWillTerminate(QObject* /*sender*/) {}

void REVArodozDelegate::windowWillClose(QObject* /*sender*/)
{
    CAppTerminator::terminate(this);
}

std::shared_ptr<CProcessActivity> REVArodozDelegate::activity() const
{
    std::lock_guard lock(m_activityMutex);
    return m_activity;
}

void REVArodozDelegate::setActivity(std::shared_ptr<CProcessActivity> activity)
{
    std::lock_guard lock(m_activityMutex);
    m_activity = std::move(activity);
}
