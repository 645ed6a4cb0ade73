#pragma once
// The window's update run: the run module's worker with its count and stop,
// what a run was started with (the file, the destination as the list showed
// it), the link through which progress reaches the bar, and what the window
// shows of a run: the count and the time left while it goes, how it ended
// after it.
//
// GUI thread only, but for progressContext(), which the transfer's progress
// function reads on the worker.

#include "update/UpdateRun.h"

#include <QCoreApplication>
#include <QPointer>
#include <QProgressBar>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class CError;
class CErrorPresentingTarget;
class QLabel;
namespace mirelo::midi {
class CaptureDestination;
}
namespace Ui {
class REVArodozDoc;
}

class CDocumentRun {
    Q_DECLARE_TR_FUNCTIONS(CDocumentRun)

public:
    // What the progress function is handed: the bar, which may go before a
    // report reaches it, and the run whose count it shows.
    struct SProgressContext {
        std::weak_ptr<const QPointer<QProgressBar>> bar;
        const CUpdateRun* run = nullptr;
    };
    // The document's end-of-run step, on the main loop.
    using EndHandler = std::function<void(const SRunEnd&)>;

    CDocumentRun() = default;
    ~CDocumentRun() = default;
    CDocumentRun(const CDocumentRun&) = delete;
    CDocumentRun& operator=(const CDocumentRun&) = delete;

    void setFailureDetail(CUpdateRun::FailureDetail detail) { m_run.setFailureDetail(std::move(detail)); }

    // Starts a run that loads the file again and sends it; its end goes to
    // onEnd on the main loop. False, starting nothing, while a run goes.
    // A capture, when given, counts its rows from the run's own start. With
    // an instrument to ask, it is asked who it is before the first message
    // and after the last; while it is waited for, label says so.
    bool start(const std::optional<QString>& filePath, const std::optional<QString>& destination, QProgressBar* bar,
               CUpdateRun::ProgressProc progress, EndHandler onEnd, mirelo::midi::CaptureDestination* capture = nullptr,
               std::optional<SIdentitySetup> instrument = std::nullopt, QLabel* label = nullptr);
    // "Close Anyway": the run ends after the message in flight, and the
    // application's end says how far it got.
    void closeAnyway();
    // The transfer has not returned yet.
    bool live() const { return m_run.live(); }
    // Still going, or ended by "Close Anyway": the application's end has
    // something to say about it.
    bool cutShort() const { return m_run.live() || m_closedAnyway; }
    const std::optional<std::string>& destination() const { return m_destination; }

    // On the worker: the bar shows the messages that went, as the count
    // beside it does. context is the run's SProgressContext.
    static void postProgress(void* context);
    // "3 of 4 messages, about 1.0 s left" while a run goes.
    void showProgress(QLabel* label, std::uint64_t elapsedMs) const;
    // How a run ended: the count, the bar, the outcome line, and an alert to
    // target when it did not complete.
    void showEnd(const SRunEnd& end, Ui::REVArodozDoc* form, CErrorPresentingTarget& target) const;
    // The alert for a run that did not complete: what happened, where, and
    // the one thing to do about it.
    static CError incompleteAlert(const SRunEnd& end, const std::optional<std::string>& destination);
    // At the application's end: stops a run still going and waits for it.
    // What to say when a run was cut short by the end, else none.
    std::optional<std::string> endForExit();

private:
    std::optional<std::string> m_destination;
    std::string m_fileName;
    bool m_closedAnyway = false;
    std::shared_ptr<const QPointer<QProgressBar>> m_bar;
    // Raised on the main loop once the instrument is waited for after the run.
    std::shared_ptr<bool> m_waitingForInstrument;
    SProgressContext m_context;
    CUpdateRun m_run; // last: its worker has ended before the rest goes
};
