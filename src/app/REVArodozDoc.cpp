#include "app/REVArodozDoc.h"

#include "app/AccessibleControls.h"
#include "app/AlertPresenter.h"
#include "app/AppTerminator.h"
#include "app/DocumentWindow.h"
#include "app/FilePanel.h"
#include "app/MyErrors.h"
#include "app/OutcomeLine.h"
#include "app/SentenceText.h"
#include "ui_REVArodozDoc.h"

#include "ZAVController.h"
#include "platform/midi/virtual/CaptureDestination.h"
#include "update/FirmwareSchedule.h"
#include "update/RunReport.h"
#include "update/StatusText.h"
#include "update/UpdateFileLoader.h"

#include <QAction>
#include <QFileDialog>
#include <QGuiApplication>
#include <QKeySequence>
#include <QMessageBox>
#include <QSessionManager>

#include <syslog.h>

#include <algorithm>

namespace {

constexpr std::int32_t kCocoaFileReadUnknown = 256;
constexpr std::int32_t kCocoaFileReadInvalidFileName = 258;
// Beyond this many seconds the minute count would not fit in 32 bits.
constexpr double kLongestTimeString = 2147483647.0 * 60.0;

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
    bool presented = false;
    const QString path = url.isLocalFile() ? url.toLocalFile() : QString();
    if (path.isEmpty()) {
        error = MyErrors::errorWithCocoaStatus(kCocoaFileReadInvalidFileName)
                    .titled(tr("The update file could not be opened."))
                    .withReason(tr("%1 is not a file on this computer.").arg(url.toDisplayString()));
    } else if (const QFileInfo attributes(path); !attributes.exists()) {
        error = MyErrors::errorWithCocoaStatus(kCocoaFileReadUnknown)
                    .titled(tr("The update file \u201C%1\u201D could not be opened.").arg(attributes.fileName()))
                    .withReason(tr("There is no file at %1.").arg(path))
                    .withSuggestion(tr("Reinstall mirelo updater, or open another update file."));
    } else if (const auto problem =
                   m_capture != nullptr ? mirelo::midi::CaptureDestination::pathProblem(path.toStdString(),
                                                                                         m_capture->syxPath())
                                        : std::nullopt) {
        // As `send --capture` does, before anything is opened or emptied.
        error = CError(kUpdaterErrorDomain, kCaptureRefused, tr("The capture file cannot be used."))
                    .withReason(tr("MIRELO_CAPTURE: %1.").arg(QString::fromStdString(*problem)))
                    .withSuggestion(tr("Set MIRELO_CAPTURE to a new file name in a folder you may write to, "
                                       "then start mirelo updater again."));
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
            CAlertPresenter* alerts = CAlertPresenter::current();
            const CError cause = MyErrors::errorWithCode(status).titled(tr("No MIDI system."));
            const bool retry = alerts != nullptr &&
                               alerts->ask({tr("There is no MIDI system to send the update through."),
                                            QString::fromStdString(CStatusText::meaning(status)), tr("&Quit"),
                                            tr("&Retry"), true});
            if (!retry) {
                error = cause;
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
    m_capture = capture;
    m_outputs.setCaptureIsTheDestination(capture != nullptr);
    if (capture != nullptr) {
        m_run.setFailureDetail([capture]() { return capture->failure(); });
    }
}

void REVArodozDoc::startCheck(const QString& path, bool opening)
{
    const std::weak_ptr<REVArodozDoc> weak = weak_from_this();
    const QString name = QFileInfo(path).fileName();
    const bool started = m_check.start(path, [weak, opening](const CUpdateFileCheck::SResult& result) {
        if (const auto document = weak.lock()) {
            document->checked(result, opening);
        }
    });
    if (!started) {
        return;
    }
    if (m_form) {
        COutcomeLine::show(*m_form, COutcomeLine::EOutcome::kChecking,
                           tr("Checking the update file \u201C%1\u201D\u2026").arg(name), false);
    }
    showRunningState();
}

void REVArodozDoc::checked(const CUpdateFileCheck::SResult& result, bool opening)
{
    const QString name = QFileInfo(result.path).fileName();
    if (!result.load.ready()) {
        using EOutcome = SUpdateFileLoad::EOutcome;
        const QString headline = result.load.outcome == EOutcome::kRefused
            ? tr("\u201C%1\u201D is damaged and cannot be sent.").arg(name)
            : result.load.outcome == EOutcome::kOutOfMemory
            ? tr("There is not enough memory to check \u201C%1\u201D.").arg(name)
            : tr("\u201C%1\u201D cannot be read.").arg(name);
        // The bundled file is the one the application opens by itself; another
        // can be chosen again.
        const QString suggestion = opening ? tr("Nothing was sent. Reinstall mirelo updater to restore its update file.")
                                           : tr("Nothing was sent. Download the update file again, or open another one.");
        if (m_form) {
            COutcomeLine::show(*m_form, COutcomeLine::EOutcome::kNone, {}, false);
        }
        showRunningState();
        presentError(CError(kUpdaterErrorDomain, kUpdateFileRefused, headline)
                         .withReason(CSentenceText::sentenceOf(CRunReport::cannotBeSent(result.load, name.toStdString())))
                         .withSuggestion(suggestion));
        if (opening && m_checkedHandler) {
            m_checkedHandler(false);
        }
        return;
    }
    if (opening && !openCapture()) {
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

bool REVArodozDoc::openCapture()
{
    if (m_capture == nullptr || m_captureOpen) {
        return true;
    }
    // Only now, with the update file checked, is an earlier capture emptied.
    std::string reason;
    if (m_capture->open(reason) != mirelo::midi::CaptureDestination::OpenResult::kOk) {
        presentError(CError(kUpdaterErrorDomain, kCaptureRefused, tr("The capture file cannot be written."))
                         .withReason(tr("MIRELO_CAPTURE: %1.").arg(QString::fromStdString(reason)))
                         .withSuggestion(tr("Set MIRELO_CAPTURE to a file in a folder you may write to, which no "
                                            "other capture is writing, then start mirelo updater again.")));
        return false;
    }
    m_captureOpen = true;
    return true;
}

void REVArodozDoc::openUpdateFile(const QString& path)
{
    if (m_isRunning || m_check.busy()) {
        return;
    }
    if (m_capture != nullptr) {
        if (const auto problem = mirelo::midi::CaptureDestination::pathProblem(path.toStdString(),
                                                                               m_capture->syxPath())) {
            presentError(CError(kUpdaterErrorDomain, kCaptureRefused, tr("This file cannot be opened while "
                                                                         "the capture writes there."))
                             .withReason(tr("MIRELO_CAPTURE: %1.").arg(QString::fromStdString(*problem)))
                             .withSuggestion(tr("Open another update file.")));
            return;
        }
    }
    startCheck(path, false);
}

void REVArodozDoc::chooseUpdateFile()
{
    if (m_isRunning || m_check.busy()) {
        return;
    }
    QFileDialog dialog(m_window.get(), tr("Open Update File"),
                       m_filePath ? QFileInfo(*m_filePath).absolutePath() : QString(),
                       tr("Update files (*.dat *.mid *.midi *.smf);;All files (*)"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        openUpdateFile(dialog.selectedFiles().constFirst());
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
    return QStringLiteral("REVArodozDoc");
}

QString REVArodozDoc::displayName() const
{
    // The desktop adds the application's name after the file's.
    if (m_facts && m_filePath) {
        return QFileInfo(*m_filePath).fileName();
    }
    return QStringLiteral("mirelo updater");
}

void REVArodozDoc::setForm(std::unique_ptr<Ui::REVArodozDoc> form)
{
    m_form = std::move(form);
    m_outputs.setForm(m_form.get());
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
    if (CAlertPresenter* alerts = CAlertPresenter::current()) {
        alerts->setAnchor(m_window.get());
    }

    windowControllerDidLoadNib(m_window.get());
    if (m_check.busy()) {
        COutcomeLine::show(*m_form, COutcomeLine::EOutcome::kChecking,
                           tr("Checking the update file \u201C%1\u201D\u2026")
                               .arg(m_filePath ? QFileInfo(*m_filePath).fileName() : QString()),
                           false);
    }
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
    connect(controls.actionClose, &QAction::triggered, this, [this] { requestClose(); });
    connect(controls.actionQuit, &QAction::triggered, this, [this] { requestClose(); });
    connect(controls.actionShortcuts, &QAction::triggered, this, [this] { showKeyboardShortcuts(); });
    connect(controls.actionAbout, &QAction::triggered, this, [this] { showAbout(); });

    controls.actionOpen->setShortcuts(QKeySequence::Open);
    controls.actionShortcuts->setShortcuts(QKeySequence::HelpContents);
    // The platform's keys for closing and quitting, and Ctrl+W and Ctrl+Q
    // wherever it has others (or none: some know no key for quitting).
    const std::tuple<QAction*, QKeySequence::StandardKey, QKeySequence> closingKeys[] = {
        {controls.actionClose, QKeySequence::Close, QKeySequence(Qt::CTRL | Qt::Key_W)},
        {controls.actionQuit, QKeySequence::Quit, QKeySequence(Qt::CTRL | Qt::Key_Q)}};
    for (const auto& [action, standard, usual] : closingKeys) {
        QList<QKeySequence> keys = QKeySequence::keyBindings(standard);
        if (!keys.contains(usual)) {
            keys.append(usual);
        }
        action->setShortcuts(keys);
    }
    if (!controls.actionShortcuts->shortcuts().contains(QKeySequence(Qt::Key_F1))) {
        controls.actionShortcuts->setShortcut(QKeySequence(Qt::Key_F1));
    }
}

void REVArodozDoc::showKeyboardShortcuts()
{
    const QString text =
        tr("<table>"
           "<tr><td><b>Alt+S</b></td><td>Send the update</td></tr>"
           "<tr><td><b>Alt+O</b></td><td>Choose the output</td></tr>"
           "<tr><td><b>Ctrl+O</b></td><td>Open another update file</td></tr>"
           "<tr><td><b>Ctrl+W</b></td><td>Close the window</td></tr>"
           "<tr><td><b>Ctrl+Q</b></td><td>Quit</td></tr>"
           "<tr><td><b>F1</b></td><td>These keyboard shortcuts</td></tr>"
           "</table><p>Closing during an update asks first.</p>");
    QMessageBox box(QMessageBox::Information, tr("Keyboard Shortcuts"), text, QMessageBox::Close, m_window.get());
    box.setTextFormat(Qt::RichText);
    box.exec();
}

void REVArodozDoc::showAbout()
{
    QMessageBox::about(m_window.get(), tr("About mirelo updater"),
                       tr("<p><b>mirelo updater %1</b></p><p>Sends a firmware update, stored as SysEx messages in a "
                          "Standard MIDI File, to a MIDI instrument, each message at the time the file gives it.</p>"
                          "<p>Keep the instrument connected and switched on until the update has ended.</p>")
                           .arg(QStringLiteral(MIRELO_VERSION)));
}

void REVArodozDoc::showRememberedUpdate()
{
    if (!m_form) {
        return;
    }
    m_incomplete = CUpdateMemory::incompleteUpdate();
    m_form->m_txtNotice->setVisible(m_incomplete.has_value());
    if (m_incomplete) {
        m_form->m_txtNotice->setText(CUpdateMemory::notice(*m_incomplete));
        QPalette palette = m_form->m_txtNotice->palette();
        palette.setColor(QPalette::WindowText, QColor(0x8A, 0x1C, 0x1C));
        m_form->m_txtNotice->setPalette(palette);
    }
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
    // The installed icon by its theme name; beside the program otherwise (a
    // build that was never installed). The bitmaps stand in where Qt cannot
    // draw the SVG.
    QIcon local;
    const QString dir = QCoreApplication::applicationDirPath();
    local.addFile(dir + QStringLiteral("/mirelo-updater.svg"));
    for (const int size : {16, 32, 48, 64, 128, 256}) {
        local.addFile(dir + QStringLiteral("/icons/mirelo-updater-%1.png").arg(size), QSize(size, size));
    }
    return QIcon::fromTheme(QStringLiteral("mirelo-updater"), local);
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
    CAlertPresenter* alerts = CAlertPresenter::current();
    m_askingToClose = true;
    const bool closeAnyway =
        alerts != nullptr &&
        alerts->ask({tr("Stop sending the update?"),
                     CSentenceText::sentenceOf(CRunReport::closeQuestion(m_run.destination())), tr("&Keep Sending"),
                     tr("&Close Anyway")});
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
    CAlertPresenter* alerts = CAlertPresenter::current();
    const QString destination = m_outputs.rememberedDeviceName().value_or(tr(COutputList::kNoDevice));
    if (m_lastRunWhole &&
        (alerts == nullptr ||
         !alerts->ask({tr("Send the update again?"),
                       tr("The whole update was sent to \u201C%1\u201D. Sending it again starts over from the "
                          "first message.")
                           .arg(destination),
                       tr("Cancel"), tr("Send &Again")}))) {
        return false;
    }
    // The capture file is the destination asked for; any other port that is
    // not hardware may be a loop-back that takes the update and gives nothing.
    if (m_capture == nullptr && !m_outputs.selectedIsHardware() &&
        (alerts == nullptr ||
         !alerts->ask({tr("Send the update to \u201C%1\u201D?").arg(destination),
                       tr("\u201C%1\u201D is a software port, not an instrument connected by USB: the instrument "
                          "may receive nothing. Choose the instrument under Output unless you know this port "
                          "leads to it.")
                           .arg(destination),
                       tr("Cancel"), tr("Send &Anyway")}))) {
        return false;
    }
    return true;
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
}

// ===========================================================================
// Fixed surface: the operations through which the window's actions, the MIDI
// system and the display timer reach the output list and the update run. Their
// names and what each one does are fixed; the work is done by COutputList and
// CDocumentRun.
// ===========================================================================

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
    m_outputs.scan();
    return noErr;
}

void REVArodozDoc::setupOutputDeviceMenu()
{
    m_outputs.rebuild();
}

void REVArodozDoc::smfOutputDevice(QObject* sender)
{
    m_outputs.pickSelected();
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
        std::string reason;
        if (m_capture != nullptr && !m_capture->restart(reason)) {
            presentError(CError(kUpdaterErrorDomain, kCaptureRefused, tr("The capture file cannot be written."))
                             .withReason(tr("MIRELO_CAPTURE: %1.").arg(QString::fromStdString(reason)))
                             .withSuggestion(tr("Make sure the capture file can be written, then send again.")));
        } else {
            const std::optional<QString> destination = m_outputs.rememberedDeviceName();
            const bool started =
                m_run.start(m_filePath, destination, m_form ? m_form->m_progress : nullptr,
                            &REVArodozDoc::updateProgress, [this](const SRunEnd& end) { endOfRun(end); }, m_capture);
            if (started) {
                m_isRunning = true;
                m_date = m_dateSource();
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
    // The transfer's percentage is the share before the message just sent;
    // the bar shows the messages that went, as the count beside it does.
    const auto* target = static_cast<const CDocumentRun::SProgressContext*>(context);
    const int shown = CRunReport::percentShown(target->run->progress(), false);
    mirelo::platform::mainLoop().post([bar = target->bar, shown] {
        if (const auto link = bar.lock(); link && *link) {
            (*link)->setValue(shown);
        }
    });
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

// The window offers no Stop, Rewind, position or tempo control: none of them
// could change an update, which always goes out whole, from the start, at the
// pace its file sets. Their operations are kept and do what they always did:
// nothing a user could see.

void REVArodozDoc::smfStop(QObject* /*sender*/)
{
    // A run cannot be stopped: it ends with the transfer.
}

void REVArodozDoc::smfRewind(QObject* /*sender*/)
{
    const bool wasRunning = smfIsRunning();
    if (wasRunning) {
        smfStop(nullptr);
    }
    static_cast<void>(smfLocate(0.0));
    if (wasRunning) {
        smfPlay(nullptr);
    }
}

void REVArodozDoc::smfPosition(QObject* /*sender*/)
{
    smfRewind(nullptr);
}

void REVArodozDoc::smfTempo(QObject* /*sender*/)
{
}

OSStatus REVArodozDoc::smfLocate(double /*beats*/)
{
    return noErr;
}
