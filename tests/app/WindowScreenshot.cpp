// mirelo_window_screenshot OUT.png: starts the application as it launches, in
// the session's language, against the capture destination, presses Play, waits until the update has
// reached 100 % and saves a picture of the window. scripts/screenshot runs it
// under Xvfb.

#include "app/DocumentController.h"
#include "app/DocumentWindow.h"
#include "app/QtEventLoop.h"
#include "app/REVArodozDelegate.h"
#include "app/REVArodozDoc.h"
#include "app/Translations.h"
#include "ui_REVArodozDoc.h"
#include "platform/midi/virtual/CaptureDestination.h"

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

namespace {

constexpr int kRunLimitMs = 120'000;
// Lets the elapsed-time field and the bar paint their final state.
constexpr int kSettleMs = 400;

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("mirelo updater"));
    // In the session's language, as the application starts.
    const CTranslations translations;
    if (argc != 2) {
        std::fprintf(stderr, "usage: mirelo_window_screenshot OUT.png\n");
        return EXIT_FAILURE;
    }

    using mirelo::midi::CaptureDestination;
    CaptureDestination capture(std::filesystem::path(QDir::tempPath().toStdString()) / "mirelo-screenshot.syx");
    std::string reason;
    if (capture.open(reason) != CaptureDestination::OpenResult::kOk) {
        std::fprintf(stderr, "%s\n", reason.c_str());
        return EXIT_FAILURE;
    }
    mirelo::midi::setActiveBackend(&capture.backend());
    CQtEventLoop loop;
    mirelo::platform::setMainLoop(&loop);

    int status = EXIT_FAILURE;
    {
        CDocumentController documents;
        REVArodozDelegate delegate;
        delegate.applicationDidFinishLaunching(&app);
        if (documents.documents().empty()) {
            std::fprintf(stderr, "the update document did not open\n");
        } else {
            const std::shared_ptr<REVArodozDoc> document = documents.documents().front();
            QTest::qWait(kSettleMs);
            document->form()->m_btnPlay->click();
            const bool finished = QTest::qWaitFor(
                [&] { return !document->smfIsRunning() && document->form()->m_progress->value() == 100; }, kRunLimitMs);
            QTest::qWait(kSettleMs);
            if (!finished) {
                std::fprintf(stderr, "the update did not reach 100 %%\n");
            } else if (!document->window()->grab().save(QString::fromLocal8Bit(argv[1]))) {
                std::fprintf(stderr, "cannot write %s\n", argv[1]);
            } else {
                std::printf("%s: window after the whole update\n", argv[1]);
                status = EXIT_SUCCESS;
            }
        }
        documents.closeAllDocuments();
    }
    CZAVController::terminate();
    mirelo::platform::setMainLoop(nullptr);
    mirelo::midi::setActiveBackend(nullptr);
    // The picture is the product here; the capture only stood in for an instrument.
    static_cast<void>(capture.finish(reason));
    return status;
}
