#pragma once
// The update document: the bundled update file, its window, the choice of the
// MIDI output and the update run with its progress. One per application.
//
// Threads: everything runs on the GUI thread except runUpdate and the
// progress function, which run on the worker of a run. The worker holds the
// document (shared ownership) until its end-of-run step has been queued, so
// the document always dies on the GUI thread.

#include "app/Error.h"
#include "app/ErrorPresentingTarget.h"

#include "platform/base/EventLoop.h"
#include "platform/base/Interrupt.h"
#include "platform/midi/MIDIServices.h"

#include <QDateTime>
#include <QFileInfo>
#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class CDocumentWindow;
class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSlider;
namespace Ui {
class REVArodozDoc;
}

class REVArodozDoc final : public QObject,
                           public CErrorPresentingTarget,
                           public std::enable_shared_from_this<REVArodozDoc> {
public:
    static constexpr const char* kDocumentType = "mirelo update file";
    static constexpr const char* kMIDIClientName = "REVArodoz";
    static constexpr const char* kNoDevice = "No Device";
    // Beside the output list while the selected output is not hardware: a
    // loop-back port such as Midi Through would take the update and report
    // success while the instrument receives nothing.
    static constexpr const char* kNoInstrumentHint = "No instrument found — connect it by USB or pick an output";
    static constexpr int kIdleIntervalMs = 200;
    static constexpr double kFullBar = 100.0;
    // While a run goes the bar stops here: only a transfer that returned
    // success fills it.
    static constexpr int kMostWhileRunning = 99;

    // What the display timer reads as "now"; tests set a fixed one.
    using DateSource = std::function<QDateTime()>;

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
    // Tears down, lets the window go, leaves the document controller and asks
    // the application to terminate.
    void close();
    void setupWindow();
    // Releases everything the document holds; safe to call any number of times.
    void terminateREVArodozDoc();

    // --- output list ---
    OSStatus initMIDI();
    OSStatus resetOutputDevice();
    void setupOutputDeviceMenu();
    void smfOutputDevice(QObject* sender);
    void midiNotifyProc(const MIDINotification* message);
    static void midiNotifyProc(const MIDINotification* message, void* refCon);

    // --- update run ---
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

    void presentError(const CError& error) override;

    // Asks before a run in progress is ended by closing; false keeps it (and
    // the window) going. "Close Anyway" tells the run to stop after the
    // message in flight.
    bool mayClose();
    // Tells every run still sending to stop after its message in flight.
    static void stopLiveRuns();
    // The window's and the application's icon.
    static QIcon applicationIcon();
    // More about a failed send than its status, when the destination knows it
    // (a capture file that could not be written); added to the alert.
    using FailureDetail = std::function<std::optional<QString>()>;
    static void setFailureDetail(FailureDetail detail);

    // --- for the application and tests ---
    CDocumentWindow* window() const;
    const std::optional<QString>& filePath() const { return m_filePath; }
    MIDIClientRef midiClient() const { return m_midiClient; }
    std::uint64_t outputNumEndpoints() const { return m_outputNumEndpoints; }
    // The remembered device: none, the no-device mark, or a device name.
    bool remembersNoDeviceMark() const;
    std::optional<QString> rememberedDeviceName() const;
    void setDateSource(DateSource source);
    // Transfers that have not returned yet, over all documents: quitting now
    // would leave an instrument half-written.
    static int liveRunCount();
    // Blocks until every run's worker has handed over its end-of-run step and
    // touches nothing more (transfers that have returned end within moments).
    static void waitForRunWorkers();

    // The window's generated form, through which the document reads its
    // controls; null until the window loads and after it goes.
    const Ui::REVArodozDoc* form() const { return m_form.get(); }

private:
    REVArodozDoc();

    // What a run needs, fixed on the GUI thread before its worker starts and
    // left alone until the worker has ended.
    struct SRunInput {
        std::optional<QString> filePath;
        QPointer<QProgressBar> progress;
        QString destination; // as the list showed it at Play
        // Raised when the window is closed anyway: the run ends after the
        // message in flight.
        std::shared_ptr<mirelo::platform::Interrupt> stop;
    };
    // How far a run got, written by its worker and read by the display timer.
    struct SRunCounters {
        std::atomic<std::uint64_t> sent{0};
        std::atomic<std::uint64_t> bytes{0};
        std::atomic<std::uint64_t> total{0};
        std::atomic<std::uint64_t> expectedMs{0};
        std::atomic<OSStatus> failedStatus{noErr};
    };

    // The open step: position k, with the name the scan read for it.
    void openOutputDevice(std::uint64_t k, const std::optional<QString>& scannedName);
    void forgetOutputDevice();
    void rememberNoDevice();
    bool remembersDeviceName() const;
    std::optional<QString> listTitleAt(std::uint64_t k) const;
    void showOutputHint();
    void showRunningState();
    void showStatus(const QString& text);
    void requestClose();
    QString runFailureText(std::uint64_t sent, std::uint64_t total, OSStatus status) const;
    void showRunProgress(std::int64_t elapsedMs);

    // How a run ended: sent whole, a failed transfer, or not started because
    // the update file could not be read or was refused (nothing was sent).
    struct SRunOutcome {
        bool succeeded = false;
        std::optional<QString> notStarted;
    };

    SRunOutcome runUpdate();
    void endOfRun(const SRunOutcome& outcome);
    void stopIdleTimer();

    std::optional<QString> m_filePath;
    std::optional<QFileInfo> m_fileAttr;
    MIDIClientRef m_midiClient = 0;
    std::uint64_t m_outputNumEndpoints = 0;
    // The output kept between scans of the destinations: none yet, the
    // "No Device" entry (chosen or fallen back to), or a device by its name.
    enum class EOutputKind { kNone, kNoDevice, kNamed };
    EOutputKind m_outputKind = EOutputKind::kNone;
    QString m_outputDeviceName; // with kNamed only
    bool m_isRunning = false;
    mirelo::platform::EventLoop::TimerId m_idleTimer = 0;
    mirelo::platform::EventLoop* m_idleTimerLoop = nullptr;
    std::optional<QDateTime> m_date;

    // A setup change during a run is handled when the run has ended, so the
    // output the run sends through is never closed under it.
    bool m_setupChangedDuringRun = false;
    bool m_closed = false;
    SRunInput m_run;
    std::shared_ptr<SRunCounters> m_runCounters = std::make_shared<SRunCounters>();
    DateSource m_dateSource;
    std::unique_ptr<CDocumentWindow> m_window;
    std::unique_ptr<Ui::REVArodozDoc> m_form; // the controls of m_window

    static std::atomic<int> s_liveRuns;
};
