#include "app/REVArodozDoc.h"

#include "app/AccessibleControls.h"
#include "app/AlertPresenter.h"
#include "app/AppTerminator.h"
#include "app/DocumentWindow.h"
#include "app/MyErrors.h"
#include "app/SentenceText.h"
#include "ui_REVArodozDoc.h"

#include "update/FirmwareSchedule.h"
#include "update/RunReport.h"
#include "update/UpdateFileLoader.h"

#include <QAction>
#include <QGuiApplication>
#include <QKeySequence>
#include <QSessionManager>

#include <syslog.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr std::int32_t kCocoaFileReadUnknown = 256;
constexpr std::int32_t kCocoaFileReadInvalidFileName = 258;
// The tempo slider counts in hundredths of the file's tempo.
constexpr float kTempoSliderScale = 100.0F;
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
    const QString path = url.isLocalFile() ? url.toLocalFile() : QString();
    if (path.isEmpty()) {
        error = MyErrors::errorWithCocoaStatus(kCocoaFileReadInvalidFileName);
    } else {
        QFileInfo attributes(path);
        if (!attributes.exists() || !attributes.isReadable()) {
            error = MyErrors::errorWithCocoaStatus(kCocoaFileReadUnknown);
        } else {
            CFirmwareSchedule schedule;
            if (const SUpdateFileLoad load = CUpdateFileLoader::load(path.toStdString(), schedule); !load.ready()) {
                // A damaged update never gets as far as a Play button.
                error = CError(kUpdaterErrorDomain, kUpdateFileRefused,
                               CSentenceText::sentenceOf(
                                   CRunReport::cannotBeSent(load, attributes.fileName().toStdString())));
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
    const Ui::REVArodozDoc& controls = *m_form;
    Q_ASSERT(m_window->objectName() == windowNibName());
    m_window->setWindowTitle(displayName());

    // The document is the context: no action reaches it once it is gone.
    connect(controls.m_btnPlay, &QPushButton::clicked, this, [this, sender = controls.m_btnPlay] { smfPlay(sender); });
    connect(controls.m_btnStop, &QPushButton::clicked, this, [this, sender = controls.m_btnStop] { smfStop(sender); });
    connect(controls.m_btnRewind, &QPushButton::clicked, this,
            [this, sender = controls.m_btnRewind] { smfRewind(sender); });
    connect(controls.m_sldPosition, &QSlider::valueChanged, this,
            [this, sender = controls.m_sldPosition] { smfPosition(sender); });
    connect(controls.m_sldTempo, &QSlider::valueChanged, this,
            [this, sender = controls.m_sldTempo] { smfTempo(sender); });
    connect(controls.m_popOutput, &QComboBox::activated, this,
            [this, sender = controls.m_popOutput] { smfOutputDevice(sender); });

    // Every way of closing asks first while a run goes: the window's close
    // button, Ctrl+W, Ctrl+Q and the desktop session ending.
    m_window->setCloseGuard([this] { return mayClose(); });
    // The platform's keys for closing and quitting, and Ctrl+W and Ctrl+Q
    // wherever it has others (or none: some know no key for quitting).
    const std::pair<QKeySequence::StandardKey, QKeySequence> closingKeys[] = {
        {QKeySequence::Close, QKeySequence(Qt::CTRL | Qt::Key_W)},
        {QKeySequence::Quit, QKeySequence(Qt::CTRL | Qt::Key_Q)}};
    for (const auto& [standard, usual] : closingKeys) {
        QList<QKeySequence> keys = QKeySequence::keyBindings(standard);
        if (!keys.contains(usual)) {
            keys.append(usual);
        }
        auto* action = new QAction(m_window.get());
        action->setShortcuts(keys);
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
    if (CAlertPresenter* alerts = CAlertPresenter::current()) {
        alerts->setAnchor(m_window.get());
    }

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
    CAlertPresenter* alerts = CAlertPresenter::current();
    const bool closeAnyway =
        alerts != nullptr && alerts->ask({CSentenceText::sentenceOf(CRunReport::closeQuestion(m_run.destination())),
                                          QStringLiteral("Keep Sending"), QStringLiteral("Close Anyway")});
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
        MyErrors::presentOSError(kMemFullErr, *this);
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
        m_form->m_txtTracks->setText(QString::number(0));
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
    m_form->m_btnPlay->setChecked(m_isRunning);
    m_form->m_popOutput->setEnabled(!m_isRunning && m_outputs.count() != 0);
}

void REVArodozDoc::showStatus(const QString& text)
{
    if (m_form) {
        m_form->m_txtStatus->setText(text);
    }
}

void REVArodozDoc::endOfRun(const SRunEnd& end)
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

void REVArodozDoc::smfOutputDevice(QObject* /*sender*/)
{
    m_outputs.pickSelected();
}

void REVArodozDoc::smfPlay(QObject* /*sender*/)
{
    if (!m_isRunning) {
        const bool started =
            m_run.start(m_filePath, m_outputs.rememberedDeviceName(), m_form ? m_form->m_progress : nullptr,
                        &REVArodozDoc::updateProgress, [this](const SRunEnd& end) { endOfRun(end); });
        if (started) {
            m_isRunning = true;
            m_date = m_dateSource();
            showStatus(QString());
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
    m_form->m_txtPosition_time->setText(timeStringWithSeconds(static_cast<double>(elapsedMs) / 1000.0));
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
    static_cast<void>(smfLocate(0.0));
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
    return static_cast<std::int32_t>(std::lround(static_cast<double>(value) * 100.0));
}

OSStatus REVArodozDoc::smfLocate(double /*beats*/)
{
    return noErr;
}
