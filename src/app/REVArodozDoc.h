#pragma once
// The update document: the bundled update file and its window. The output
// list and the update run are parts of their own (COutputList, CDocumentRun);
// the document keeps the operations through which the window's actions, the
// MIDI system and the display timer reach them.
//
// The update file is checked off the GUI thread when it is opened (a large
// file takes seconds): the window appears at once and says so, and the
// update can be sent once the check has passed.
//
// Threads: everything runs on the GUI thread except the progress function,
// which the transfer calls on the run's worker, and the file check. The
// document owns the run and the check, whose threads it waits for when it goes.

#include "app/DocumentCapture.h"
#include "app/DocumentRun.h"
#include "app/Error.h"
#include "app/ErrorPresentingTarget.h"
#include "app/InstrumentLine.h"
#include "app/OutputList.h"
#include "app/UpdateFileCheck.h"
#include "app/UpdateMemory.h"

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
namespace mirelo::midi {
class CaptureDestination;
}

class REVArodozDoc final : public QObject,
                           public CErrorPresentingTarget,
                           public std::enable_shared_from_this<REVArodozDoc> {
    Q_OBJECT
public:
    static constexpr const char* kDocumentType = "mirelo update file"; // notr: document type name, never shown
    static constexpr const char* kMIDIClientName = "REVArodoz";        // notr: sequencer client name
    static constexpr int kIdleIntervalMs = 200;

    // What the display timer reads as "now"; tests set a fixed one.
    using DateSource = std::function<QDateTime()>;
    // Told when the document closes, so that its owner lets it go.
    using CloseHandler = std::function<void(REVArodozDoc&)>;
    // Told once the file opened with the document has been checked: false
    // when it may not be sent (the alert has been shown).
    using CheckedHandler = std::function<void(bool ready)>;

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
    // The update file's name once it is checked; the application's before.
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

    // --- the update file ---
    // Checks the file at path and, when it may be sent, makes it the
    // document's file; otherwise says why and keeps the file it had.
    void openUpdateFile(const QString& path);
    // File › Open Update File…: asks for a file, then opens it.
    void chooseUpdateFile();
    bool isChecking() const { return m_check.busy(); }
    const std::optional<SUpdateFileFacts>& facts() const { return m_facts; }

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
    // The window offers no Stop, Rewind, position or tempo control: none of
    // them could change an update, which always goes out whole, from the
    // start, at the pace its file sets. Their operations change nothing.
    void smfStop(QObject* /*sender*/) {}
    void smfRewind(QObject* /*sender*/) { static_cast<void>(smfLocate(0.0)); }
    void smfPosition(QObject* /*sender*/) { smfRewind(nullptr); }
    void smfTempo(QObject* /*sender*/) {}
    OSStatus smfLocate(double /*beats*/) { return noErr; }

    // --- for the application and tests ---
    void setCloseHandler(CloseHandler handler) { m_closeHandler = std::move(handler); }
    void setCheckedHandler(CheckedHandler handler) { m_checkedHandler = std::move(handler); }
    // MIRELO_CAPTURE's destination: refused when it would write over the
    // update file, opened once the file has passed its check, emptied as
    // each run starts. Set before readFromURL.
    void setCapture(mirelo::midi::CaptureDestination* capture);
    // More about a failed send than its status (a capture file that could not be written).
    void setFailureDetail(CUpdateRun::FailureDetail detail) { m_run.setFailureDetail(std::move(detail)); }
    // The transfer of a run has not returned: quitting now would leave the
    // instrument half-written.
    bool runIsLive() const { return m_run.live(); }
    // The instrument line waits for an answer.
    bool instrumentBusy() const { return m_instrument && m_instrument->busy(); }
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
    void requestClose();
    void endOfRun(const SRunEnd& end);
    void startCheck(const QString& path, bool opening);
    void showChecking();
    void checked(const CUpdateFileCheck::SResult& result, bool opening);
    // Before a run the user started: true to go ahead.
    bool confirmSend();
    void showRememberedUpdate();
    void connectActions();
    void stopIdleTimer();
    void setForm(std::unique_ptr<Ui::REVArodozDoc> form);
    // Asks the selected instrument who it is, where it can be asked and the
    // user lets it be; else hides the line.
    void showInstrument();

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
    bool m_askingToClose = false;
    // The last run sent every message: sending again asks first.
    bool m_lastRunWhole = false;
    std::optional<SUpdateFileFacts> m_facts;
    std::optional<CUpdateMemory::SIncomplete> m_incomplete;
    CDocumentCapture m_capture;
    DateSource m_dateSource;
    CloseHandler m_closeHandler;
    CheckedHandler m_checkedHandler;
    CUpdateFileCheck m_check;
    std::unique_ptr<CDocumentWindow> m_window;
    std::unique_ptr<Ui::REVArodozDoc> m_form;      // the controls of m_window
    std::unique_ptr<CInstrumentLine> m_instrument; // under the output list
    COutputList m_outputs{*this};
    CDocumentRun m_run; // last: its worker has ended before the rest goes
};
