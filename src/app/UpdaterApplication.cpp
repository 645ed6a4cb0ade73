#include "app/UpdaterApplication.h"

#include "app/DocumentController.h"
#include "app/MessageBoxPresenter.h"
#include "app/QtEventLoop.h"
#include "app/REVArodozDelegate.h"
#include "app/REVArodozDoc.h"
#include "app/Translations.h"

#include "ZAVController.h"
#include "platform/base/EventLoop.h"
#include "platform/midi/MidiBackend.h"
#include "platform/midi/virtual/CaptureDestination.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

namespace {

using Capture = mirelo::midi::CaptureDestination;

// The capture destination when MIRELO_CAPTURE asks for one. Its files are
// neither opened nor emptied here: the document first refuses a capture
// path that would write over the update file, and opens it only once the
// update file has passed its check.
std::unique_ptr<Capture> captureFromEnvironment()
{
    const QByteArray path = qgetenv("MIRELO_CAPTURE");
    if (path.isEmpty()) {
        return nullptr;
    }
    if (qgetenv("MIRELO_MIDI_BACKEND") != "virtual") { // notr: environment value
        std::fprintf(stderr, "mirelo-updater: MIRELO_CAPTURE needs MIRELO_MIDI_BACKEND=virtual; ignored.\n");
        return nullptr;
    }
    auto capture = std::make_unique<Capture>(std::filesystem::path(QString::fromLocal8Bit(path).toStdString()));
    mirelo::midi::setActiveBackend(&capture->backend());
    return capture;
}

// False when the capture could not be written: the run that hit it stopped
// there, and the application's status says so too.
bool finishCapture(std::unique_ptr<Capture>& capture)
{
    if (!capture) {
        return true;
    }
    mirelo::midi::setActiveBackend(nullptr);
    std::string reason;
    if (!capture->finish(reason)) {
        std::fprintf(stderr, "mirelo-updater: %s\n", reason.c_str());
        return false;
    }
    return true;
}

// The application's alerts, installed for as long as it runs.
class CInstalledAlerts {
public:
    CInstalledAlerts() { CAlertPresenter::setCurrent(&m_presenter); }
    ~CInstalledAlerts() { CAlertPresenter::setCurrent(nullptr); }
    CInstalledAlerts(const CInstalledAlerts&) = delete;
    CInstalledAlerts& operator=(const CInstalledAlerts&) = delete;

private:
    CMessageBoxPresenter m_presenter;
};

} // namespace

int CUpdaterApplication::run(int argc, char** argv, const std::function<void()>& afterLaunch)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("mirelo-updater"));
    QApplication::setApplicationDisplayName(QStringLiteral("mirelo updater")); // notr: the product name
    QGuiApplication::setDesktopFileName(QStringLiteral("mirelo-updater"));
    QApplication::setWindowIcon(REVArodozDoc::applicationIcon());
    const CTranslations translations;
    const CInstalledAlerts alerts;

    std::unique_ptr<Capture> capture = captureFromEnvironment();

    // Timers, notifications and queued work of the core all run on this thread.
    CQtEventLoop loop;
    mirelo::platform::setMainLoop(&loop);

    int status = EXIT_SUCCESS;
    {
        CDocumentController documents;
        documents.setCapture(capture.get());
        REVArodozDelegate delegate;
        app.setQuitOnLastWindowClosed(delegate.applicationShouldTerminateAfterLastWindowClosed(&app));
        QTimer::singleShot(0, &delegate, [&delegate, &app, &afterLaunch] {
            delegate.applicationDidFinishLaunching(&app);
            if (afterLaunch) {
                afterLaunch();
            }
        });
        status = QApplication::exec();
        delegate.applicationWillTerminate(&app);

        // Closed during a run ("Close Anyway", or a quit that could not ask):
        // the message in flight finishes, nothing more is sent, and the
        // status says the instrument is half-written.
        for (const std::string& notice : documents.endRunsForExit()) {
            std::fprintf(stderr, "mirelo-updater: %s.\n", notice.c_str());
            status = kExitQuitDuringUpdate;
        }
        documents.closeAllDocuments();
    }
    CZAVController::terminate();
    mirelo::platform::setMainLoop(nullptr);
    if (!finishCapture(capture) && status != kExitQuitDuringUpdate) {
        status = EXIT_FAILURE;
    }
    return status;
}
