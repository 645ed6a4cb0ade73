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

// Installs the capture destination when asked for. False when it was asked for
// and cannot be made.
bool setUpCapture(std::unique_ptr<Capture>& capture)
{
    const QByteArray path = qgetenv("MIRELO_CAPTURE");
    if (path.isEmpty()) {
        return true;
    }
    if (qgetenv("MIRELO_MIDI_BACKEND") != "virtual") {
        std::fprintf(stderr, "mirelo-updater: MIRELO_CAPTURE needs MIRELO_MIDI_BACKEND=virtual; ignored.\n");
        return true;
    }
    capture = std::make_unique<Capture>(std::filesystem::path(path.toStdString()));
    std::string reason;
    if (capture->open(reason) != Capture::OpenResult::kOk) {
        std::fprintf(stderr, "mirelo-updater: %s\n", reason.c_str());
        capture.reset();
        return false;
    }
    mirelo::midi::setActiveBackend(&capture->backend());
    return true;
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
    QApplication::setApplicationDisplayName(QStringLiteral("mirelo updater"));
    QGuiApplication::setDesktopFileName(QStringLiteral("mirelo-updater"));
    QApplication::setWindowIcon(REVArodozDoc::applicationIcon());
    const CTranslations translations;
    const CInstalledAlerts alerts;

    std::unique_ptr<Capture> capture;
    if (!setUpCapture(capture)) {
        return EXIT_FAILURE;
    }

    // Timers, notifications and queued work of the core all run on this thread.
    CQtEventLoop loop;
    mirelo::platform::setMainLoop(&loop);

    int status = EXIT_SUCCESS;
    {
        CDocumentController documents;
        if (capture) {
            // A send the capture refused says why in the window's alert.
            documents.setFailureDetail([capture = capture.get()]() -> std::optional<std::string> {
                const std::optional<std::string> failure = capture->failure();
                return failure ? std::optional<std::string>("capture: " + *failure) : std::nullopt;
            });
        }
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
