#include "app/REVArodozDoc.h"

#include "app/AccessibleControls.h"
#include "app/AlertPresenter.h"
#include "app/AppTerminator.h"
#include "app/DocumentController.h"
#include "app/DocumentWindow.h"
#include "app/MyErrors.h"
#include "ui_REVArodozDoc.h"

#include "update/FirmwareSchedule.h"
#include "QORMIDIManager_Mac.h"
#include "update/StatusText.h"
#include "ZAVController.h"
#include "platform/base/WholeFile.h"

#include <QAction>
#include <QGuiApplication>
#include <QIcon>
#include <QLocale>
#include <QSessionManager>
#include <QCheckBox>
#include <QComboBox>
#include <QKeySequence>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>

#include <syslog.h>

#include <algorithm>
#include <mutex>
#include <condition_variable>
#include <thread>
#include <vector>

namespace {

constexpr std::int32_t kCocoaFileReadUnknown = 256;
constexpr std::int32_t kCocoaFileReadInvalidFileName = 258;
// The tempo slider counts in hundredths of the file's tempo.
constexpr float kTempoSliderScale = 100.0F;
// Beyond this many seconds the minute count would not fit in 32 bits.
constexpr double kLongestTimeString = 2147483647.0 * 60.0;

const QLatin1StringView kUpdaterErrorDomain{"MireloUpdaterErrorDomain"};
constexpr std::int64_t kUpdateIncomplete = 1;
constexpr std::int64_t kUpdateFileRefused = 2;

std::optional<QString> displayNameOf(MIDIEndpointRef endpoint)
{
    std::string name;
    if (MIDIObjectGetStringProperty(endpoint, kMIDIPropertyDisplayName, &name) != noErr) {
        return std::nullopt;
    }
    return QString::fromStdString(name);
}

// "14.9 s" below a minute, "4:05" from a minute on, as the tool says it.
QString durationText(std::int64_t ms)
{
    const std::int64_t clamped = std::max<std::int64_t>(ms, 0);
    if (clamped < 60'000) {
        return QStringLiteral("%1.%2 s").arg(clamped / 1000).arg(clamped % 1000 / 100);
    }
    const std::int64_t seconds = clamped / 1000;
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

// Reads and verifies the update file and builds what the transfer sends. The
// sentence the user sees when that cannot be done, naming the file: the same
// one the command-line tool prints.
std::optional<QString> loadSchedule(const QString& path, CFirmwareSchedule& outSchedule)
{
    const QString name = QFileInfo(path).fileName();
    std::vector<std::uint8_t> bytes;
    if (const auto read = mirelo::platform::readWholeFile(path.toStdString(), bytes); !read.ok()) {
        return QStringLiteral("%1: %2").arg(name, QString::fromStdString(read.reason));
    }
    switch (outSchedule.build(bytes.data(), static_cast<std::uint32_t>(bytes.size()))) {
    case CFirmwareSchedule::EResult::kOk:
        return std::nullopt;
    case CFirmwareSchedule::EResult::kRefused:
        return QString::fromStdString(outSchedule.refusal()->sentenceFor(name.toStdString()));
    case CFirmwareSchedule::EResult::kOutOfMemory:
        break;
    }
    return QStringLiteral("%1: out of memory while building the schedule").arg(name);
}

} // namespace

std::atomic<int> REVArodozDoc::s_liveRuns{0};

namespace {

// Worker threads of runs, counted until their last step, so the application
// never takes down what a worker still touches.
std::mutex s_workersMutex;
std::condition_variable s_workersDone;
int s_workers = 0;

// GUI thread only.
REVArodozDoc::FailureDetail& failureDetail()
{
    static REVArodozDoc::FailureDetail s_detail;
    return s_detail;
}
std::vector<std::weak_ptr<mirelo::platform::Interrupt>> s_liveStops;

} // namespace

std::shared_ptr<REVArodozDoc> REVArodozDoc::create()
{
    return std::shared_ptr<REVArodozDoc>(new REVArodozDoc());
}

REVArodozDoc::REVArodozDoc() : m_dateSource([] { return QDateTime::currentDateTimeUtc(); })
{
}

REVArodozDoc::~REVArodozDoc()
{
    terminateREVArodozDoc();
}

// ------------------------------------------------------------------ lifecycle

bool REVArodozDoc::readFromURL(const QUrl& url, const QString& /*typeName*/, std::optional<CError>* outError)
{
    syslog(LOG_NOTICE, "%s", url.toEncoded().constData());
    terminateREVArodozDoc();

    std::optional<CError> error;
    const QString path = url.isLocalFile() ? url.toLocalFile() : QString();
    if (path.isEmpty()) {
        error = MyErrors::errorWithCocoaStatus(kCocoaFileReadInvalidFileName);
    } else {
        QFileInfo attributes(path);
        if (!attributes.exists() || !attributes.isReadable()) {
            error = MyErrors::errorWithCocoaStatus(kCocoaFileReadUnknown);
        } else {
            CFirmwareSchedule schedule;
            if (const std::optional<QString> refused = loadSchedule(path, schedule)) {
                // A damaged update never gets as far as a Play button.
                error = CError(kUpdaterErrorDomain, kUpdateFileRefused,
                               QStringLiteral("The update file cannot be sent. %1").arg(*refused));
            } else {
                m_fileAttr = attributes;
                m_filePath = path;
                if (const OSStatus status = initMIDI(); status != noErr) {
                    error = MyErrors::errorWithCode(status);
                }
            }
        }
    }

    if (error) {
        if (outError != nullptr) {
            *outError = *error;
        }
        presentError(*error);
        terminateREVArodozDoc();
        return false;
    }
    setupWindow();
    return true;
}

std::optional<QByteArray> REVArodozDoc::dataOfType(const QString& /*typeName*/, std::optional<CError>* outError)
{
    if (outError != nullptr) {
        *outError = MyErrors::errorWithOSStatus(kUnimpErr);
    }
    return std::nullopt;
}

QString REVArodozDoc::windowNibName() const
{
    return QStringLiteral("REVArodozDoc");
}

QString REVArodozDoc::displayName() const
{
    return QStringLiteral("mirelo updater");
}

void REVArodozDoc::makeWindowControllers()
{
    if (m_window) {
        return;
    }
    // Before the first control exists: an accessible once made is kept.
    installAccessibleControls();
    m_window = std::make_unique<CDocumentWindow>();
    m_form = std::make_unique<Ui::REVArodozDoc>();
    m_form->setupUi(m_window.get());
    const Ui::REVArodozDoc& form = *m_form;
    Q_ASSERT(m_window->objectName() == windowNibName());
    m_window->setWindowTitle(displayName());


    // The document is the context: no action reaches it once it is gone.
    connect(form.m_btnPlay, &QPushButton::clicked, this, [this, sender = form.m_btnPlay] { smfPlay(sender); });
    connect(form.m_btnStop, &QPushButton::clicked, this, [this, sender = form.m_btnStop] { smfStop(sender); });
    connect(form.m_btnRewind, &QPushButton::clicked, this, [this, sender = form.m_btnRewind] { smfRewind(sender); });
    connect(form.m_sldPosition, &QSlider::valueChanged, this,
            [this, sender = form.m_sldPosition] { smfPosition(sender); });
    connect(form.m_sldTempo, &QSlider::valueChanged, this, [this, sender = form.m_sldTempo] { smfTempo(sender); });
    connect(form.m_popOutput, &QComboBox::activated, this,
            [this, sender = form.m_popOutput] { smfOutputDevice(sender); });

    // Every way of closing asks first while a run goes: the window's close
    // button, Ctrl+W, Ctrl+Q and the desktop session ending.
    m_window->setCloseGuard([this] { return mayClose(); });
    for (const QKeySequence::StandardKey key : {QKeySequence::Close, QKeySequence::Quit}) {
        auto* action = new QAction(m_window.get());
        action->setShortcut(key);
        connect(action, &QAction::triggered, this, [this] { requestClose(); });
        m_window->addAction(action);
    }
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& session) {
            if (m_isRunning && session.allowsInteraction()) {
                const bool closeAnyway = mayClose();
                session.release();
                if (!closeAnyway) {
                    session.cancel();
                }
            }
        });
    }
    m_window->setWindowIcon(applicationIcon());
    CAlertPresenter::setAnchor(m_window.get());

    windowControllerDidLoadNib(m_window.get());
}

void REVArodozDoc::showWindows()
{
    if (m_window) {
        m_window->show();
        m_window->raise();
        m_window->activateWindow();
    }
    // Return presses Play: the one thing a user opens this window to do.
    if (m_form) {
        m_form->m_btnPlay->setFocus(Qt::OtherFocusReason);
    }
}

QIcon REVArodozDoc::applicationIcon()
{
    // The installed icon by its theme name; beside the program otherwise (a
    // build that was never installed).
    return QIcon::fromTheme(QStringLiteral("mirelo-updater"),
                            QIcon(QCoreApplication::applicationDirPath() + QStringLiteral("/mirelo-updater.svg")));
}

void REVArodozDoc::requestClose()
{
    if (mayClose()) {
        close();
    }
}

bool REVArodozDoc::mayClose()
{
    if (!m_isRunning) {
        return true;
    }
    const bool closeAnyway = CAlertPresenter::current().ask(
        {QStringLiteral("An update is being sent to %1. Closing now leaves the instrument half-written and it must "
                        "be updated again.")
             .arg(m_run.destination),
         QStringLiteral("Keep Sending"), QStringLiteral("Close Anyway")});
    if (closeAnyway) {
        // The application ends: nothing more is said of this run.
        m_closed = true;
        if (m_run.stop) {
            m_run.stop->raise();
        }
    }
    return closeAnyway;
}

void REVArodozDoc::windowControllerDidLoadNib(CDocumentWindow* /*windowController*/)
{
    setupWindow();
    stopIdleTimer();
    m_idleTimerLoop = &mirelo::platform::mainLoop();
    const auto interval = std::chrono::milliseconds(kIdleIntervalMs);
    m_idleTimer = m_idleTimerLoop->addTimer(interval, interval, [this] { idleRoutine(); });
    if (m_idleTimer == 0) {
        m_idleTimerLoop = nullptr;
        MyErrors::presentOSError(kMemFullErr, *this);
    }
}

void REVArodozDoc::close()
{
    // Leaving the document controller may drop the last owner but this one.
    const std::shared_ptr<REVArodozDoc> self = weak_from_this().lock();
    m_closed = true;
    terminateREVArodozDoc();
    if (m_window) {
        m_window->hide();
        // The call may come from an action inside the window.
        m_window.release()->deleteLater();
        m_form.reset();
    }
    if (CDocumentController* controller = CDocumentController::sharedDocumentController()) {
        controller->removeDocument(this);
    }
    CAppTerminator::terminate(this);
}

void REVArodozDoc::setupWindow()
{
    if (m_form) {
        m_form->m_txtTracks->setText(QString::number(0));
    }
    if (m_form) {
        m_form->m_txtLength_time->setText(timeStringWithSeconds(0.0));
        m_form->m_txtLength_beats->setText(QString::asprintf("%.1f", 0.0));
    }
    setupOutputDeviceMenu();
}

void REVArodozDoc::terminateREVArodozDoc()
{
    if (smfIsRunning()) {
        smfStop(nullptr);
    }
    stopIdleTimer();
    if (m_midiClient != 0) {
        const OSStatus status = MIDIClientDispose(m_midiClient);
        m_midiClient = 0;
        if (status != noErr) {
            MyErrors::presentGeneralError(status);
        }
    }
    m_fileAttr.reset();
    m_filePath.reset();
    if (remembersDeviceName()) {
        forgetOutputDevice();
    }
    m_date.reset();
    m_outputNumEndpoints = 0;
}

void REVArodozDoc::stopIdleTimer()
{
    if (m_idleTimer != 0 && m_idleTimerLoop != nullptr) {
        m_idleTimerLoop->removeTimer(m_idleTimer);
    }
    m_idleTimer = 0;
    m_idleTimerLoop = nullptr;
}

void REVArodozDoc::presentError(const CError& error)
{
    CAlertPresenter::current().runModal(error);
}

CDocumentWindow* REVArodozDoc::window() const
{
    return m_window.get();
}

void REVArodozDoc::setDateSource(DateSource source)
{
    m_dateSource = std::move(source);
}

int REVArodozDoc::liveRunCount()
{
    return s_liveRuns.load(std::memory_order_acquire);
}

void REVArodozDoc::stopLiveRuns()
{
    std::lock_guard lock(s_workersMutex);
    for (const auto& weak : s_liveStops) {
        if (const auto stop = weak.lock()) {
            stop->raise();
        }
    }
}

void REVArodozDoc::waitForRunWorkers()
{
    std::unique_lock lock(s_workersMutex);
    s_workersDone.wait(lock, [] { return s_workers == 0; });
}

// ---------------------------------------------------------------- output list

OSStatus REVArodozDoc::initMIDI()
{
    const OSStatus status =
        MIDIClientCreate(kMIDIClientName, &REVArodozDoc::midiNotifyProc, this, &m_midiClient);
    if (status != noErr) {
        m_midiClient = 0;
        return status;
    }
    return resetOutputDevice();
}

void REVArodozDoc::midiNotifyProc(const MIDINotification* message, void* refCon)
{
    if (refCon != nullptr) {
        static_cast<REVArodozDoc*>(refCon)->midiNotifyProc(message);
    }
}

void REVArodozDoc::midiNotifyProc(const MIDINotification* /*message*/)
{
    const bool wasRunning = smfIsRunning();
    if (wasRunning) {
        smfStop(nullptr);
        m_setupChangedDuringRun = true;
        smfPlay(nullptr);
        return;
    }
    resetOutputDevice();
    setupOutputDeviceMenu();
}

OSStatus REVArodozDoc::resetOutputDevice()
{
    m_outputNumEndpoints = MIDIGetNumberOfDestinations();
    if (remembersNoDeviceMark()) {
        return noErr;
    }
    if (m_outputNumEndpoints == 0) {
        rememberNoDevice();
        return noErr;
    }
    if (m_outputKind == EOutputKind::kNone) {
        const MIDIEndpointRef endpoint = MIDIGetDestination(0);
        if (endpoint == 0) {
            rememberNoDevice();
            return noErr;
        }
        openOutputDevice(0, displayNameOf(endpoint));
        return noErr;
    }
    for (std::uint64_t i = 0; i < m_outputNumEndpoints; ++i) {
        const MIDIEndpointRef endpoint = MIDIGetDestination(static_cast<ItemCount>(i));
        if (endpoint == 0) {
            continue;
        }
        const std::optional<QString> name = displayNameOf(endpoint);
        if (name && *name == m_outputDeviceName) {
            openOutputDevice(i, name);
            return noErr;
        }
    }
    rememberNoDevice();
    return noErr;
}

void REVArodozDoc::setupOutputDeviceMenu()
{
    if (!m_form) {
        return;
    }
    m_form->m_popOutput->clear();
    if (m_outputNumEndpoints == 0) {
        m_form->m_popOutput->addItem(QString::fromLatin1(kNoDevice));
        m_form->m_popOutput->setEnabled(false);
        m_form->m_btnPlay->setEnabled(false);
        showOutputHint();
        return;
    }
    for (std::uint64_t i = 0; i < m_outputNumEndpoints; ++i) {
        const MIDIEndpointRef endpoint = MIDIGetDestination(static_cast<ItemCount>(i));
        std::optional<QString> title = endpoint != 0 ? displayNameOf(endpoint) : std::nullopt;
        m_form->m_popOutput->addItem(title ? *title : QStringLiteral("Endpoint-%1").arg(i));
    }
    if (remembersDeviceName()) {
        m_form->m_popOutput->setCurrentIndex(m_form->m_popOutput->findText(m_outputDeviceName));
    } else {
        m_form->m_popOutput->setCurrentIndex(0);
        smfOutputDevice(m_form->m_popOutput);
    }
    // smfOutputDevice may have presented an alert; the list may be gone since.
    if (m_form) {
        m_form->m_popOutput->setEnabled(true);
    }
    if (m_form) {
        m_form->m_btnPlay->setEnabled(true);
    }
    showOutputHint();
}

void REVArodozDoc::smfOutputDevice(QObject* /*sender*/)
{
    const std::int64_t k = m_form ? m_form->m_popOutput->currentIndex() : 0;
    openOutputDevice(static_cast<std::uint64_t>(k), std::nullopt);
    showOutputHint();
}

void REVArodozDoc::openOutputDevice(std::uint64_t k, const std::optional<QString>& scannedName)
{
    forgetOutputDevice();
    OSStatus status = kIOReturnNoDevice;
    if (k < m_outputNumEndpoints) {
        CQORMIDIManager* manager = CQORMIDIManager::instance();
        status = manager != nullptr ? manager->openMidiOut(static_cast<unsigned long>(k)) : kMIDIInvalidClient;
        const std::optional<QString> name = scannedName ? scannedName : listTitleAt(k);
        if (name) {
            m_outputKind = EOutputKind::kNamed;
            m_outputDeviceName = *name;
        }
        if (status == noErr) {
            return;
        }
    }
    rememberNoDevice();
    if (k < m_outputNumEndpoints && m_form) {
        // One past the last entry: the list then shows no selection.
        m_form->m_popOutput->setCurrentIndex(static_cast<int>(m_outputNumEndpoints));
    }
    MyErrors::presentGeneralError(status, *this);
}

void REVArodozDoc::forgetOutputDevice()
{
    m_outputKind = EOutputKind::kNone;
    m_outputDeviceName.clear();
}

void REVArodozDoc::rememberNoDevice()
{
    m_outputKind = EOutputKind::kNoDevice;
    m_outputDeviceName.clear();
}

bool REVArodozDoc::remembersNoDeviceMark() const
{
    return m_outputKind == EOutputKind::kNoDevice;
}

bool REVArodozDoc::remembersDeviceName() const
{
    return m_outputKind == EOutputKind::kNamed;
}

std::optional<QString> REVArodozDoc::rememberedDeviceName() const
{
    if (!remembersDeviceName()) {
        return std::nullopt;
    }
    return m_outputDeviceName;
}

std::optional<QString> REVArodozDoc::listTitleAt(std::uint64_t k) const
{
    if (!m_form || k >= static_cast<std::uint64_t>(m_form->m_popOutput->count())) {
        return std::nullopt;
    }
    return m_form->m_popOutput->itemText(static_cast<int>(k));
}

void REVArodozDoc::showOutputHint()
{
    if (!m_form) {
        return;
    }
    const int k = m_form ? m_form->m_popOutput->currentIndex() : -1;
    bool instrument = false;
    if (k >= 0 && static_cast<std::uint64_t>(k) < m_outputNumEndpoints) {
        std::int32_t hardware = 0;
        instrument = MIDIObjectGetIntegerProperty(MIDIGetDestination(static_cast<ItemCount>(k)),
                                                  kMIDIPropertyHardware, &hardware) == noErr &&
                     hardware != 0;
    }
    m_form->m_txtOutputHint->setText(QString::fromUtf8(kNoInstrumentHint));
    m_form->m_txtOutputHint->setVisible(m_outputNumEndpoints != 0 && !instrument);
}

// ----------------------------------------------------------------- update run

void REVArodozDoc::smfPlay(QObject* /*sender*/)
{
    if (!m_isRunning) {
        std::shared_ptr<REVArodozDoc> self = weak_from_this().lock();
        if (self) {
            m_isRunning = true;
            m_date = m_dateSource();
            const std::optional<QString> destination = rememberedDeviceName();
            m_run = SRunInput{m_filePath, m_form ? m_form->m_progress : nullptr,
                              destination ? QStringLiteral("\u201C%1\u201D").arg(*destination)
                                          : QStringLiteral("no device"),
                              std::make_shared<mirelo::platform::Interrupt>()};
            m_runCounters = std::make_shared<SRunCounters>();
            showStatus(QString());
            s_liveRuns.fetch_add(1, std::memory_order_acq_rel);
            {
                std::lock_guard lock(s_workersMutex);
                ++s_workers;
                s_liveStops.push_back(m_run.stop);
            }
            std::thread([self = std::move(self)]() mutable {
                SRunOutcome outcome = self->runUpdate();
                // Over from here on: a quit now interrupts nothing.
                s_liveRuns.fetch_sub(1, std::memory_order_acq_rel);
                // The queued step takes over the worker's hold on the document,
                // so the document is never released on this thread.
                mirelo::platform::mainLoop().post(
                    [self = std::move(self), outcome = std::move(outcome)] { self->endOfRun(outcome); });
                std::lock_guard lock(s_workersMutex);
                --s_workers;
                std::erase_if(s_liveStops, [](const auto& stop) { return stop.expired(); });
                s_workersDone.notify_all();
            }).detach();
        }
    }
    showRunningState();
}

void REVArodozDoc::showRunningState()
{
    if (m_isRunning) {
        if (m_form) {
            m_form->m_btnPlay->setChecked(true);
        }
        if (m_form) {
            m_form->m_popOutput->setEnabled(false);
        }
        return;
    }
    if (m_form) {
        m_form->m_btnPlay->setChecked(false);
    }
    if (m_form) {
        m_form->m_popOutput->setEnabled(m_outputNumEndpoints != 0);
    }
}

REVArodozDoc::SRunOutcome REVArodozDoc::runUpdate()
{
    // Verified again: the file may have changed since the document opened it.
    CFirmwareSchedule schedule;
    if (!m_run.filePath) {
        return {false, QStringLiteral("the update file is no longer open")};
    }
    if (std::optional<QString> refused = loadSchedule(*m_run.filePath, schedule)) {
        return {false, std::move(refused)};
    }
    const std::shared_ptr<SRunCounters> counters = m_runCounters;
    counters->total.store(schedule.size(), std::memory_order_release);
    counters->expectedMs.store(schedule.duration(), std::memory_order_release);
    STransferControl control;
    control.stop = m_run.stop.get();
    control.sentMessages = &counters->sent;
    control.sentBytes = &counters->bytes;
    control.failedStatus = &counters->failedStatus;
    return {CZAVController::instance()->updateFirmware(schedule, &REVArodozDoc::updateProgress, &m_run.progress,
                                                       control),
            std::nullopt};
}

bool REVArodozDoc::updateProgress(int percent, void* context)
{
    // A copy of the guarded pointer travels with the report: the bar may go
    // before the report runs.
    QPointer<QProgressBar> bar = *static_cast<const QPointer<QProgressBar>*>(context);
    mirelo::platform::mainLoop().post([bar = std::move(bar), percent] {
        // A full bar says the instrument was updated: only the end of a
        // successful run shows it.
        if (bar) {
            bar->setValue(std::min(static_cast<int>(static_cast<double>(percent)), kMostWhileRunning));
        }
    });
    return true;
}

void REVArodozDoc::endOfRun(const SRunOutcome& outcome)
{
    m_isRunning = false;
    if (m_setupChangedDuringRun) {
        m_setupChangedDuringRun = false;
        if (m_midiClient != 0) {
            resetOutputDevice();
            setupOutputDeviceMenu();
        }
    }
    showRunningState();
    const SRunCounters& counters = *m_runCounters;
    const std::uint64_t sent = counters.sent.load(std::memory_order_acquire);
    const std::uint64_t total = counters.total.load(std::memory_order_acquire);
    if (m_form && total != 0) {
        // The run is over: no time left to wait for.
        m_form->m_txtRunProgress->setText(QStringLiteral("%1 of %2 messages").arg(sent).arg(total));
    }
    if (outcome.succeeded) {
        if (m_form) {
            m_form->m_progress->setValue(static_cast<int>(kFullBar));
        }
        const std::int64_t elapsedMs = m_date ? m_date->msecsTo(m_dateSource()) : 0;
        showStatus(QStringLiteral("Sent %1 messages (%2 bytes) in %3 to %4.")
                       .arg(sent)
                       .arg(QLocale(QLocale::English).toString(
                           static_cast<qulonglong>(counters.bytes.load(std::memory_order_acquire))))
                       .arg(durationText(elapsedMs), m_run.destination));
    } else if (m_closed) {
        return;
    } else if (outcome.notStarted) {
        showStatus(QStringLiteral("Not started: nothing was sent."));
        presentError(CError(kUpdaterErrorDomain, kUpdateFileRefused,
                            QStringLiteral("The update was not started, and nothing was sent to the instrument. %1")
                                .arg(*outcome.notStarted)));
    } else {
        // The bar keeps the last percentage reached: a full bar would say the
        // instrument was updated.
        showStatus(sent == 0 ? QStringLiteral("Stopped at message 1 of %1: nothing was sent.").arg(total)
                             : QStringLiteral("Stopped at message %1 of %2: the instrument must be updated again.")
                                   .arg(sent + 1)
                                   .arg(total));
        presentError(CError(kUpdaterErrorDomain, kUpdateIncomplete,
                            runFailureText(sent, total, counters.failedStatus.load(std::memory_order_acquire))));
    }
}

void REVArodozDoc::setFailureDetail(FailureDetail detail)
{
    failureDetail() = std::move(detail);
}

QString REVArodozDoc::runFailureText(std::uint64_t sent, std::uint64_t total, OSStatus status) const
{
    QString cause = QStringLiteral("It stopped at message %1 of %2").arg(sent + 1).arg(total);
    if (status != noErr) {
        cause += QStringLiteral(": status %1: %2")
                     .arg(QString::fromStdString(CStatusText::name(status)),
                          QString::fromStdString(CStatusText::meaning(status)));
    } else {
        cause += QStringLiteral(".");
    }
    if (const FailureDetail& detail = failureDetail()) {
        if (const std::optional<QString> more = detail()) {
            cause += QStringLiteral(" (%1)").arg(*more);
        }
    }
    // With nothing sent the instrument still holds its old firmware.
    const QString consequence = sent == 0 ? QStringLiteral("Nothing was sent to the instrument.")
                                          : QStringLiteral("The instrument must be updated again.");
    return QStringLiteral("The update did not complete. %1 %2").arg(cause, consequence);
}

void REVArodozDoc::showStatus(const QString& text)
{
    if (m_form) {
        m_form->m_txtStatus->setText(text);
    }
}

void REVArodozDoc::idleRoutine()
{
    if (!m_form || !m_isRunning || !m_date) {
        return;
    }
    const std::int64_t elapsedMs = m_date->msecsTo(m_dateSource());
    m_form->m_txtPosition_time->setText(timeStringWithSeconds(static_cast<double>(elapsedMs) / 1000.0));
    showRunProgress(elapsedMs);
}

void REVArodozDoc::showRunProgress(std::int64_t elapsedMs)
{
    const std::uint64_t total = m_runCounters->total.load(std::memory_order_acquire);
    if (!m_form || total == 0) {
        return;
    }
    // The schedule fixes how long a run takes, so users know how long not to unplug.
    const std::uint64_t expectedMs = m_runCounters->expectedMs.load(std::memory_order_acquire);
    const std::uint64_t elapsed = elapsedMs > 0 ? static_cast<std::uint64_t>(elapsedMs) : 0;
    const std::uint64_t leftMs = expectedMs > elapsed ? expectedMs - elapsed : 0;
    m_form->m_txtRunProgress->setText(QStringLiteral("%1 of %2 messages, about %3 s left")
                                  .arg(m_runCounters->sent.load(std::memory_order_acquire))
                                  .arg(total)
                                  .arg(static_cast<double>(leftMs) / 1000.0, 0, 'f', 1));
}

QString REVArodozDoc::timeStringWithSeconds(double seconds)
{
    // A clock set back gives a negative span: show zero rather than nonsense.
    double x = seconds;
    if (!(x >= 0.0)) {
        x = 0.0;
    }
    x = std::min(x, kLongestTimeString);
    const auto t = static_cast<std::uint64_t>(x);
    const auto m = static_cast<std::int32_t>(t / 60);
    const std::int32_t hours = m / 60;
    const std::int32_t minutes = m % 60;
    const auto secs = static_cast<std::int32_t>(t % 60);
    const auto milliseconds = static_cast<std::int32_t>((x - static_cast<double>(t)) * 1000.0);
    return QString::asprintf("%02d:%02d:%02d.%03d", hours, minutes, secs, milliseconds);
}

void REVArodozDoc::smfStop(QObject* sender)
{
    // A run cannot be stopped: it ends with the transfer. A user who pressed
    // Stop must not believe otherwise.
    if (sender != nullptr && m_isRunning) {
        showStatus(QStringLiteral("An update cannot be stopped once it has started; closing the window asks first."));
    }
}

void REVArodozDoc::smfRewind(QObject* /*sender*/)
{
    const bool wasRunning = smfIsRunning();
    if (wasRunning) {
        smfStop(nullptr);
    }
    smfLocate(0.0);
    if (wasRunning) {
        smfPlay(nullptr);
    }
}

void REVArodozDoc::smfPosition(QObject* /*sender*/)
{
    if (m_form) {
        static_cast<void>(m_form->m_sldPosition->value());
    }
    smfRewind(nullptr);
}

void REVArodozDoc::smfTempo(QObject* /*sender*/)
{
    if (!m_form) {
        return;
    }
    const float value = static_cast<float>(m_form->m_sldTempo->value()) / kTempoSliderScale;
    m_form->m_txtTempoRate->setText(QString::number(tempoRateForValue(value)));
}

std::int32_t REVArodozDoc::tempoRateForValue(float value)
{
    return static_cast<std::int32_t>(static_cast<double>(value) * 100.0 + 0.5);
}

OSStatus REVArodozDoc::smfLocate(double /*beats*/)
{
    return noErr;
}
