// mirelo_window_screenshot OUT.png [sent|failed]: starts the application as
// it launches, in the session's language, presses Send Update and saves a picture of the window once the
// run has ended: after a whole update sent to the capture destination (sent,
// the default), or after a send that failed part-way to an instrument on the
// virtual backend (failed). scripts/screenshot runs it under Xvfb.

#include "app/DocumentController.h"
#include "app/DocumentWindow.h"
#include "app/QtEventLoop.h"
#include "app/REVArodozDelegate.h"
#include "app/REVArodozDoc.h"
#include "app/Translations.h"
#include "ui_REVArodozDoc.h"
#include "platform/midi/virtual/CaptureDestination.h"
#include "testing/ControlledVirtualBackend.h"

#include "platform/base/EventLoop.h"
#include "platform/midi/MidiBackend.h"
#include "ZAVController.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kRunLimitMs = 120'000;
// Lets the elapsed-time field and the bar paint their final state.
constexpr int kSettleMs = 400;
// Where the failed run stops: about a third of the bundled update.
constexpr int kFailingSend = 81;

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("mirelo updater"));
    // In the session's language, as the application starts.
    const CTranslations translations;
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: mirelo_window_screenshot OUT.png [sent|failed]\n");
        return EXIT_FAILURE;
    }
    const bool failed = argc == 3 && std::strcmp(argv[2], "failed") == 0;

    using mirelo::midi::CaptureDestination;
    CaptureDestination capture(std::filesystem::path(QDir::tempPath().toStdString()) / "mirelo-screenshot.syx");
    mirelo::midi::ControlledVirtualBackend instrument;
    if (failed) {
        instrument.addDestination({"ZAV10", "ZAV10 MIDI 1", "ZAV10 MIDI 1", true}, {},
                                  mirelo::midi::ControlledVirtualBackend::Announce::No);
        instrument.failSend(kFailingSend, kMIDIMessageSendErr);
        mirelo::midi::setActiveBackend(&instrument);
    } else {
        mirelo::midi::setActiveBackend(&capture.backend());
    }
    CQtEventLoop loop;
    mirelo::platform::setMainLoop(&loop);

    int status = EXIT_FAILURE;
    {
        CDocumentController documents;
        if (!failed) {
            documents.setCapture(&capture);
        }
        REVArodozDelegate delegate;
        delegate.applicationDidFinishLaunching(&app);
        if (documents.documents().empty()) {
            std::fprintf(stderr, "the update document did not open\n");
        } else {
            const std::shared_ptr<REVArodozDoc> document = documents.documents().front();
            static_cast<void>(QTest::qWaitFor([&] { return !document->isChecking(); }, kRunLimitMs));
            QTest::qWait(kSettleMs);
            document->form()->m_btnPlay->click();
            const bool finished =
                QTest::qWaitFor([&] { return !document->smfIsRunning() && !document->runIsLive(); }, kRunLimitMs);
            QTest::qWait(kSettleMs);
            if (!finished) {
                std::fprintf(stderr, "the update did not end\n");
            } else if (!document->window()->grab().save(QString::fromLocal8Bit(argv[1]))) {
                std::fprintf(stderr, "cannot write %s\n", argv[1]);
            } else {
                std::printf("%s: window after the update\n", argv[1]);
                status = EXIT_SUCCESS;
            }
        }
        documents.closeAllDocuments();
    }
    CZAVController::terminate();
    mirelo::platform::setMainLoop(nullptr);
    mirelo::midi::setActiveBackend(nullptr);
    // The picture is the product here; the capture only stood in for an instrument.
    std::string reason;
    static_cast<void>(capture.finish(reason));
    return status;
}
