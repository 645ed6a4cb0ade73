#include "app/REVArodozDoc.h"

#include "app/AccessibleControls.h"
#include "app/AlertPresenter.h"
#include "app/AppTerminator.h"
#include "app/ApplicationIcon.h"
#include "app/DocumentAlerts.h"
#include "app/DocumentWindow.h"
#include "app/FilePanel.h"
#include "app/MyErrors.h"
#include "app/OutcomeLine.h"
#include "app/SentenceText.h"
#include "app/TimeText.h"
#include "app/WindowMenus.h"
#include "ui_REVArodozDoc.h"

#include "ZAVController.h"
#include "platform/midi/virtual/CaptureDestination.h"
#include "schedule/FirmwareSchedule.h"
#include "update/RunReport.h"
#include "update/UpdateFileLoader.h"

#include <QAction>

#include <syslog.h>

#include <algorithm>

namespace {
} // namespace

std::shared_ptr<REVArodozDoc> REVArodozDoc::create()
{
    return std::shared_ptr<REVArodozDoc>(new REVArodozDoc());
}

REVArodozDoc::REVArodozDoc() : m_dateSource([] { return QDateTime::currentDateTimeUtc(); }) {}

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
    bool presented = false;
    const QString path = url.isLocalFile() ? url.toLocalFile() : QString();
    if (path.isEmpty()) {
        error = CDocumentAlerts::notALocalFile(url);
    } else if (const QFileInfo attributes(path); !attributes.exists()) {
        error = CDocumentAlerts::noFileAt(path);
    } else if (std::optional<CError> refusal = m_capture.refusal(path, true)) {
        // Before anything is opened or emptied.
        error = std::move(refusal);
    } else {
        m_fileAttr = attributes;
        m_filePath = path;
        // The output last sent to is chosen again when it is there.
        if (const std::optional<QString> last = CUpdateMemory::lastOutput()) {
            m_outputs.preferDevice(*last);
        }
        OSStatus status = initMIDI();
        // Without a MIDI system nothing can be sent; the user may be able to
        // start it (load the sequencer) and try again without restarting.
        while (status != noErr) {
            if (!CDocumentAlerts::retryWithoutMidiSystem(status)) {
                error = MyErrors::errorWithCode(status).titled(tr("No MIDI system."));
                presented = true;
                break;
            }
            // The manager's own client failed with the document's: both are made again.
            CZAVController::terminate();
            CZAVController::initialize();
            status = initMIDI();
        }
    }

    if (error) {
        if (outError != nullptr) {
            *outError = *error;
        }
        if (!presented) {
            presentError(*error);
        }
        terminateREVArodozDoc();
        return false;
    }
    setupWindow();
    startCheck(path, true);
    return true;
}

void REVArodozDoc::setCapture(mirelo::midi::CaptureDestination* capture)
{
    m_capture.set(capture);
    m_outputs.setCaptureIsTheDestination(capture != nullptr);
    if (capture != nullptr) {
        m_run.setFailureDetail([capture]() { return capture->failure(); });
    }
}

void REVArodozDoc::startCheck(const QString& path, bool opening)
{
    const std::weak_ptr<REVArodozDoc> weak = weak_from_this();
    const bool started = m_check.start(path, [weak, opening](const CUpdateFileCheck::SResult& result) {
        if (const auto document = weak.lock()) {
            document->checked(result, opening);
        }
    });
    if (!started) {
        return;
    }
    showChecking();
    showRunningState();
}

void REVArodozDoc::showChecking()
{
    if (m_form && m_check.busy()) {
        COutcomeLine::show(
            *m_form, COutcomeLine::EOutcome::kChecking,
            tr("Checking the update file \u201C%1\u201D\u2026").arg(QFileInfo(m_check.path()).fileName()), false);
    }
}

void REVArodozDoc::checked(const CUpdateFileCheck::SResult& result, bool opening)
{
    const QString name = QFileInfo(result.path).fileName();
    if (!result.load.ready()) {
        if (m_form) {
            COutcomeLine::show(*m_form, COutcomeLine::EOutcome::kNone, {}, false);
        }
        showRunningState();
        // The bundled file is the one the application opens by itself;
        // another can be chosen again.
        presentError(CDocumentAlerts::cannotBeSent(result.load, name, opening));
        if (opening && m_checkedHandler) {
            m_checkedHandler(false);
        }
        return;
    }
    // Only now, with the update file checked, is an earlier capture emptied.
    if (const std::optional<CError> refusal = opening ? m_capture.openOnce() : std::nullopt) {
        presentError(*refusal);
        if (m_checkedHandler) {
            m_checkedHandler(false);
        }
        return;
    }
    m_filePath = result.path;
    m_fileAttr = QFileInfo(result.path);
    m_facts = result.facts;
    m_lastRunWhole = false;
    if (m_form) {
        COutcomeLine::show(*m_form, COutcomeLine::EOutcome::kNone, {}, false);
        COutcomeLine::resetBar(*m_form);
        m_form->m_txtRunProgress->clear();
    }
    if (m_window) {
        m_window->setWindowTitle(displayName());
    }
    setupWindow();
    showRunningState();
    if (opening && m_checkedHandler) {
        m_checkedHandler(true);
    }
}

void REVArodozDoc::openUpdateFile(const QString& path)
{
    if (m_isRunning || m_check.busy()) {
        return;
    }
    if (const std::optional<CError> refusal = m_capture.refusal(path, false)) {
        presentError(*refusal);
        return;
    }
    startCheck(path, false);
}

void REVArodozDoc::chooseUpdateFile()
{
    if (m_isRunning || m_check.busy()) {
        return;
    }
    if (const std::optional<QString> path = CWindowMenus::askForUpdateFile(
            m_window.get(), m_filePath ? QFileInfo(*m_filePath).absolutePath() : QString())) {
        openUpdateFile(*path);
    }
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
    return QStringLiteral("REVArodozDoc"); // notr: form name
}

QString REVArodozDoc::displayName() const
{
    // The desktop adds the application's name after the file's.
    if (m_facts && m_filePath) {
        return QFileInfo(*m_filePath).fileName();
    }
    return QStringLiteral("mirelo updater"); // notr: the product name, the same in every language
}

void REVArodozDoc::setForm(std::unique_ptr<Ui::REVArodozDoc> form)
{
    m_form = std::move(form);
    m_outputs.setForm(m_form.get());
    m_instrument = std::make_unique<CInstrumentLine>(m_form ? m_form->m_txtInstrument : nullptr);
    if (m_form) {
        m_form->actionAskInstrument->setChecked(CUpdateMemory::asksInstrument());
    }
}

void REVArodozDoc::makeWindowControllers()
{
    if (m_window) {
        return;
    }
    // Before the first control exists: an accessible once made is kept.
    installAccessibleControls();
    m_window = std::make_unique<CDocumentWindow>();
    auto form = std::make_unique<Ui::REVArodozDoc>();
    form->setupUi(m_window.get());
    setForm(std::move(form));
    Q_ASSERT(m_window->objectName() == windowNibName());
    m_window->setWindowTitle(displayName());
    connectActions();

    // Every way of closing asks first while a run goes: the window's close
    // button, Ctrl+W, Ctrl+Q and the desktop session ending.
    m_window->setCloseGuard([this] { return mayClose(); });
    m_window->setDropGuard([this] { return !m_isRunning && !m_check.busy(); });
    connect(m_window.get(), &CDocumentWindow::fileDropped, this, [this](const QString& path) { openUpdateFile(path); });
    m_window->setWindowIcon(applicationIcon());
    if (CAlertPresenter* alerts = CAlertPresenter::current()) {
        alerts->setAnchor(m_window.get());
    }

    windowControllerDidLoadNib(m_window.get());
    showChecking();
    showRememberedUpdate();
    showRunningState();
    m_window->resize(m_window->sizeHint());
}

void REVArodozDoc::connectActions()
{
    const Ui::REVArodozDoc& controls = *m_form;
    // The document is the context: no action reaches it once it is gone.
    connect(controls.m_btnPlay, &QPushButton::clicked, this, [this, sender = controls.m_btnPlay] { smfPlay(sender); });
    connect(controls.m_popOutput, &QComboBox::activated, this,
            [this, sender = controls.m_popOutput] { smfOutputDevice(sender); });
    connect(controls.actionOpen, &QAction::triggered, this, [this] { chooseUpdateFile(); });
    connect(controls.actionAskInstrument, &QAction::toggled, this, [this](bool asks) {
        CUpdateMemory::rememberAsksInstrument(asks);
        showInstrument();
    });
    connect(controls.actionClose, &QAction::triggered, this, [this] { requestClose(); });
    connect(controls.actionQuit, &QAction::triggered, this, [this] { requestClose(); });
    connect(controls.actionShortcuts, &QAction::triggered, this,
            [this] { CWindowMenus::showKeyboardShortcuts(m_window.get()); });
    connect(controls.actionAbout, &QAction::triggered, this, [this] { CWindowMenus::showAbout(m_window.get()); });
    CWindowMenus::bindKeys(controls);
}

void REVArodozDoc::showRememberedUpdate()
{
    if (!m_form) {
        return;
    }
    m_incomplete = CUpdateMemory::incompleteUpdate();
    COutcomeLine::showNotice(*m_form, m_incomplete ? CUpdateMemory::notice(*m_incomplete) : QString());
}

void REVArodozDoc::showWindows()
{
    if (m_window) {
        m_window->show();
        m_window->raise();
        m_window->activateWindow();
    }
    // Return and Space press the send button, the one thing a user opens
    // this window to do; it asks first when that could do harm.
    if (m_form) {
        m_form->m_btnPlay->setFocus(Qt::OtherFocusReason);
    }
}

QIcon REVArodozDoc::applicationIcon()
{
    return CApplicationIcon::load();
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
    m_askingToClose = true;
    const bool closeAnyway = CDocumentAlerts::closeDuringRun(m_run.destination());
    m_askingToClose = false;
    // The run ended while the question was open: the window says how, and
    // there is nothing left to cut short.
    if (!m_isRunning) {
        return false;
    }
    if (closeAnyway) {
        // The application ends: the window says nothing more of this run,
        // and the application's end says how far it got.
        m_closed = true;
        m_run.closeAnyway();
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
        presentError(MyErrors::errorWithOSStatus(kMemFullErr).titled(tr("The elapsed time cannot be shown.")));
    }
}

void REVArodozDoc::close()
{
    // Leaving the owner may drop the last holder but this one.
    const std::shared_ptr<REVArodozDoc> self = weak_from_this().lock();
    m_closed = true;
    terminateREVArodozDoc();
    if (m_window) {
        m_window->hide();
        // The call may come from an action inside the window.
        m_window.release()->deleteLater();
        setForm(nullptr);
    }
    if (m_closeHandler) {
        m_closeHandler(*this);
    }
    CAppTerminator::terminate(this);
}

void REVArodozDoc::setupWindow()
{
    if (m_form) {
        CFilePanel::show(*m_form, m_facts && m_filePath ? QFileInfo(*m_filePath).fileName() : QString(), m_facts);
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
            MyErrors::presentError(
                MyErrors::errorWithCode(status).titled(tr("The connection to the MIDI system could not be closed.")));
        }
    }
    m_fileAttr.reset();
    m_filePath.reset();
    m_facts.reset();
    m_outputs.forget();
    m_date.reset();
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
    MyErrors::presentError(error);
}

CDocumentWindow* REVArodozDoc::window() const
{
    return m_window.get();
}

void REVArodozDoc::setDateSource(DateSource source)
{
    m_dateSource = std::move(source);
}

void REVArodozDoc::showRunningState()
{
    if (!m_form) {
        return;
    }
    const bool ready = m_facts.has_value() && !m_check.busy();
    m_form->m_btnPlay->setChecked(m_isRunning);
    // Not pressable while a run goes, nor before the file has passed its check.
    m_form->m_btnPlay->setEnabled(!m_isRunning && ready && m_outputs.count() != 0);
    m_form->m_btnPlay->setText(m_isRunning ? tr("Sending\u2026") : tr("&Send Update"));
    m_form->m_popOutput->setEnabled(!m_isRunning && m_outputs.count() != 0);
    m_form->actionOpen->setEnabled(!m_isRunning && !m_check.busy());
}

bool REVArodozDoc::confirmSend()
{
    // The capture file is the destination asked for; any other port that is
    // not hardware may be a loop-back that takes the update and gives nothing.
    return CDocumentAlerts::confirmSend(m_outputs.rememberedDeviceName().value_or(tr(COutputList::kNoDevice)),
                                        m_lastRunWhole,
                                        m_capture.destination() == nullptr && !m_outputs.selectedIsHardware());
}

void REVArodozDoc::endOfRun(const SRunEnd& end)
{
    m_isRunning = false;
    m_lastRunWhole = end.whole();
    if (m_askingToClose) {
        if (CAlertPresenter* alerts = CAlertPresenter::current()) {
            alerts->dismissQuestion();
        }
    }
    if (m_setupChangedDuringRun) {
        m_setupChangedDuringRun = false;
        if (m_midiClient != 0) {
            resetOutputDevice();
            setupOutputDeviceMenu();
        }
    }
    showRunningState();
    if (end.whole() && m_incomplete && m_run.destination() &&
        m_incomplete->destination == QString::fromStdString(*m_run.destination())) {
        m_incomplete.reset();
        if (m_form) {
            m_form->m_txtNotice->hide();
        }
    }
    if (!m_closed) {
        m_run.showEnd(end, m_form.get(), *this);
    }
    if (m_instrument && !m_closed) {
        m_instrument->afterRun(end, m_outputs);
    }
}

// ===========================================================================
// Fixed surface: the operations through which the window's actions, the MIDI
// system and the display timer reach the output list and the update run. Their
// names and what each one does are fixed; the work is done by COutputList and
// CDocumentRun.
// ===========================================================================

OSStatus REVArodozDoc::initMIDI()
{
    const OSStatus status = MIDIClientCreate(kMIDIClientName, &REVArodozDoc::midiNotifyProc, this, &m_midiClient);
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
    m_outputs.scan();
    return noErr;
}

void REVArodozDoc::setupOutputDeviceMenu()
{
    m_outputs.rebuild();
    showInstrument();
}

void REVArodozDoc::showInstrument()
{
    if (m_instrument) {
        m_instrument->follow(m_outputs, m_isRunning);
    }
}

void REVArodozDoc::smfOutputDevice(QObject* sender)
{
    m_outputs.pickSelected();
    showInstrument();
    // The user's own choice is the one to find again at the next start.
    if (const std::optional<QString> name = m_outputs.rememberedDeviceName(); sender != nullptr && name) {
        CUpdateMemory::rememberOutput(*name);
    }
}

void REVArodozDoc::smfPlay(QObject* sender)
{
    // Nothing to send before the file has passed its check. What the user
    // starts may be a resend or a send to a port that is no instrument: asked
    // first. Programmatic calls (a setup change during a run) only restate.
    if (!m_isRunning && m_facts && !m_check.busy() && (sender == nullptr || confirmSend())) {
        if (const std::optional<CError> refusal = m_capture.restart()) {
            presentError(*refusal);
        } else {
            const std::optional<QString> destination = m_outputs.rememberedDeviceName();
            const bool started = m_run.start(
                m_filePath, destination, m_form ? m_form->m_progress : nullptr, &REVArodozDoc::updateProgress,
                [this](const SRunEnd& end) { endOfRun(end); }, m_capture.destination(),
                CInstrumentLine::setupFor(m_outputs), m_form ? m_form->m_txtRunProgress : nullptr);
            if (started) {
                m_isRunning = true;
                m_date = m_dateSource();
                // The run asks for itself; a late answer to the line would interleave.
                if (m_instrument) {
                    m_instrument->clear();
                }
                if (destination) {
                    CUpdateMemory::rememberOutput(*destination);
                }
                if (m_form) {
                    COutcomeLine::show(*m_form, COutcomeLine::EOutcome::kNone, {}, false);
                    COutcomeLine::resetBar(*m_form);
                    m_form->m_txtPosition_time->setText(timeStringWithSeconds(0.0).chopped(2));
                }
            }
        }
    }
    showRunningState();
}

bool REVArodozDoc::updateProgress(int /*percent*/, void* context)
{
    CDocumentRun::postProgress(context);
    return true;
}

void REVArodozDoc::idleRoutine()
{
    if (!m_form || !m_isRunning || !m_date) {
        return;
    }
    const std::int64_t elapsedMs = m_date->msecsTo(m_dateSource());
    // To the tenth of a second: the display changes every 0.2 s, and
    // milliseconds would only flicker.
    m_form->m_txtPosition_time->setText(timeStringWithSeconds(static_cast<double>(elapsedMs) / 1000.0).chopped(2));
    m_run.showProgress(m_form->m_txtRunProgress, elapsedMs > 0 ? static_cast<std::uint64_t>(elapsedMs) : 0);
}

QString REVArodozDoc::timeStringWithSeconds(double seconds)
{
    return CTimeText::withMilliseconds(seconds);
}
