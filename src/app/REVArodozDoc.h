#pragma once
// The update document: the bundled update file and its window. The output
// list and the update run are parts of their own (COutputList, CDocumentRun);
// the document keeps the operations through which the window's actions, the
// MIDI system and the display timer reach them.
//
// Threads: everything runs on the GUI thread except the progress function,
// which the transfer calls on the run's worker. The document owns the run,
// whose worker it waits for when it goes.

#include "app/DocumentRun.h"
#include "app/Error.h"
#include "app/ErrorPresentingTarget.h"
#include "app/OutputList.h"

#include "platform/base/EventLoop.h"
#include "platform/midi/MIDIServices.h"

#include <QDateTime>
#include <QFileInfo>
#include <QIcon>
#include <QObject>
#include <QString>
#include <QUrl>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class CDocumentWindow;
namespace Ui {
class REVArodozDoc;
}

class REVArodozDoc final : public QObject,
                           public CErrorPresentingTarget,
                           public std::enable_shared_from_this<REVArodozDoc> {
public:
    static constexpr const char* kDocumentType = "mirelo update file";
    static constexpr const char* kMIDIClientName = "REVArodoz";
    static constexpr int kIdleIntervalMs = 200;

    // What the display timer reads as "now"; tests set a fixed one.
    using DateSource = std::function<QDateTime()>;
    // Told when the document closes, so that its owner lets it go.
    using CloseHandler = std::function<void(REVArodozDoc&)>;

    // A document with every state field cleared; not read yet.
    static std::shared_ptr<REVArodozDoc> create();
    ~REVArodozDoc() override;

    REVArodozDoc(const REVArodozDoc&) = delete;
    REVArodozDoc& operator=(const REVArodozDoc&) = delete;

    // --- lifecycle and window ---
    // False with the error stored in *outError (when given) and presented.
    bool readFromURL(const QUrl& url, const QString& typeName, std::optional<CError>* outError);
    // The document cannot be saved: always none, with -4 in the OS status domain.
    std::optional<QByteArray> dataOfType(const QString& typeName, std::optional<CError>* outError);
    QString windowNibName() const;
    QString displayName() const;
    // Loads the window from the form named by windowNibName and connects the
    // outlets and actions; ends in windowControllerDidLoadNib.
    void makeWindowControllers();
    void showWindows();
    void windowControllerDidLoadNib(CDocumentWindow* windowController);
    // Tears down, lets the window go, leaves its owner and asks the
    // application to terminate.
    void close();
    void setupWindow();
    // Releases everything the document holds; safe to call any number of times.
    void terminateREVArodozDoc();
    void presentError(const CError& error) override;

    // Asks before a run in progress is ended by closing; false keeps it (and
    // the window) going. "Close Anyway" tells the run to stop after the
    // message in flight.
    bool mayClose();
    // The window's and the application's icon.
    static QIcon applicationIcon();

    // --- output list (fixed surface) ---
    OSStatus initMIDI();
    OSStatus resetOutputDevice();
    void setupOutputDeviceMenu();
    void smfOutputDevice(QObject* sender);
    void midiNotifyProc(const MIDINotification* message);
    static void midiNotifyProc(const MIDINotification* message, void* refCon);

    // --- update run (fixed surface) ---
    void smfPlay(QObject* sender);
    static bool updateProgress(int percent, void* context);
    void idleRoutine();
    static QString timeStringWithSeconds(double seconds);
    bool smfIsRunning() const { return m_isRunning; }
    void smfStop(QObject* sender);
    void smfRewind(QObject* sender);
    void smfPosition(QObject* sender);
    void smfTempo(QObject* sender);
    OSStatus smfLocate(double beats);
    // The tempo-rate percentage for a slider value read in single precision.
    static std::int32_t tempoRateForValue(float value);

    // --- for the application and tests ---
    void setCloseHandler(CloseHandler handler) { m_closeHandler = std::move(handler); }
    // More about a failed send than its status (a capture file that could not be written).
    void setFailureDetail(CUpdateRun::FailureDetail detail) { m_run.setFailureDetail(std::move(detail)); }
    // The transfer of a run has not returned: quitting now would leave the
    // instrument half-written.
    bool runIsLive() const { return m_run.live(); }
    // A run still going, or one that "Close Anyway" ended: the application's
    // end says what became of it.
    bool runIsCutShort() const { return m_run.cutShort(); }
    // At the application's end: stops a run still going, waits for its
    // worker, and says what became of a run that the end cut short.
    std::optional<std::string> endRunForExit() { return m_run.endForExit(); }
    CDocumentWindow* window() const;
    const std::optional<QString>& filePath() const { return m_filePath; }
    MIDIClientRef midiClient() const { return m_midiClient; }
    std::uint64_t outputNumEndpoints() const { return m_outputs.count(); }
    // The remembered device: none, the no-device mark, or a device name.
    bool remembersNoDeviceMark() const { return m_outputs.remembersNoDeviceMark(); }
    std::optional<QString> rememberedDeviceName() const { return m_outputs.rememberedDeviceName(); }
    void setDateSource(DateSource source);

    // The window's generated form, through which the document reads its
    // controls; null until the window loads and after it goes.
    const Ui::REVArodozDoc* form() const { return m_form.get(); }

private:
    REVArodozDoc();

    void showRunningState();
    void showStatus(const QString& text);
    void requestClose();
    void endOfRun(const SRunEnd& end);
    void stopIdleTimer();
    void setForm(std::unique_ptr<Ui::REVArodozDoc> form);

    std::optional<QString> m_filePath;
    std::optional<QFileInfo> m_fileAttr;
    MIDIClientRef m_midiClient = 0;
    bool m_isRunning = false;
    mirelo::platform::EventLoop::TimerId m_idleTimer = 0;
    mirelo::platform::EventLoop* m_idleTimerLoop = nullptr;
    std::optional<QDateTime> m_date;

    // A setup change during a run is handled when the run has ended, so the
    // output the run sends through is never closed under it.
    bool m_setupChangedDuringRun = false;
    bool m_closed = false;
    DateSource m_dateSource;
    CloseHandler m_closeHandler;
    std::unique_ptr<CDocumentWindow> m_window;
    std::unique_ptr<Ui::REVArodozDoc> m_form; // the controls of m_window
    COutputList m_outputs{*this};
    CDocumentRun m_run; // last: its worker has ended before the rest goes
};
