// mirelo-updater: the desktop window that sends the bundled firmware update
// to a MIDI instrument.
//
// MIRELO_MIDI_BACKEND=virtual with MIRELO_CAPTURE=OUT.syx runs the window
// against a capture destination instead of MIDI hardware, as the CLI's
// `send --capture` does.

#include "app/CommandLineHelp.h"
#include "app/DocumentController.h"
#include "app/QtEventLoop.h"
#include "app/REVArodozDelegate.h"
#include "app/REVArodozDoc.h"

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

// Quit while the worker still sends: the instrument holds half an update.
constexpr int kExitQuitDuringUpdate = 2;

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
    // A send the capture refused says why in the window's alert.
    REVArodozDoc::setFailureDetail([capture = capture.get()]() -> std::optional<QString> {
        const std::optional<std::string> failure = capture->failure();
        return failure ? std::optional<QString>(QStringLiteral("capture: ") + QString::fromStdString(*failure))
                       : std::nullopt;
    });
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
    REVArodozDoc::setFailureDetail({});
    std::string reason;
    if (!capture->finish(reason)) {
        std::fprintf(stderr, "mirelo-updater: %s\n", reason.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (const std::optional<int> status = CCommandLineHelp::answer(argc, argv)) {
        return *status;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("mirelo-updater"));
    QApplication::setApplicationDisplayName(QStringLiteral("mirelo updater"));
    QGuiApplication::setDesktopFileName(QStringLiteral("mirelo-updater"));
    QApplication::setWindowIcon(REVArodozDoc::applicationIcon());

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
        REVArodozDelegate delegate;
        app.setQuitOnLastWindowClosed(delegate.applicationShouldTerminateAfterLastWindowClosed(&app));
        QTimer::singleShot(0, &delegate, [&delegate, &app] { delegate.applicationDidFinishLaunching(&app); });
        status = QApplication::exec();
        delegate.applicationWillTerminate(&app);

        if (REVArodozDoc::liveRunCount() != 0) {
            // Closed during a run ("Close Anyway", or a quit that could not
            // ask): the message in flight finishes, nothing more is sent, and
            // the status says the instrument is half-written.
            REVArodozDoc::stopLiveRuns();
            REVArodozDoc::waitForRunWorkers();
            std::fprintf(stderr, "mirelo-updater: quit during the update; the instrument must be updated again.\n");
            status = kExitQuitDuringUpdate;
        }
        // A run that ended may still be handing over its last step.
        REVArodozDoc::waitForRunWorkers();
        documents.closeAllDocuments();
    }
    CZAVController::terminate();
    mirelo::platform::setMainLoop(nullptr);
    if (!finishCapture(capture) && status != kExitQuitDuringUpdate) {
        status = EXIT_FAILURE;
    }
    return status;
}
