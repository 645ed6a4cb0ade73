// The update run: progress reaching the bar in order, the end of a run that
// succeeded or failed, Play during a run, setup changes during a run, the
// elapsed time and the other transport controls.

#include "tests/app/DocumentTestEnvironment.h"
#include "tests/cli/CliProcess.h"
#include "app/DocumentWindow.h"

#include "platform/midi/virtual/CaptureDestination.h"

#include <QAction>
#include <QKeySequence>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>

#include <QDeadlineTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <thread>

namespace {

using mirelo::midi::ControlledVirtualBackend;
using mirelo::test::CDocumentTest;
using mirelo::test::CSmfImageBuilder;
using mirelo::test::CWorkerGate;

class UpdateRunTest : public CDocumentTest {
protected:
    REVArodozDoc& openWithDestination()
    {
        m_destination = addDestination("Synth A");
        REVArodozDoc& document = openDocument();
        QObject::connect(document.form()->m_progress, &QProgressBar::valueChanged,
                         [this](int value) { m_barValues.push_back(value); });
        return document;
    }

    std::size_t messagesSent() const
    {
        std::size_t n = 0;
        for (const auto& list : m_backend.sentLists()) {
            n += list.status == noErr && list.destination == m_destination ? 1 : 0;
        }
        return n;
    }

    // The document's dates follow the simulated clock, so a run's time is its pacing.
    void followTheClock(REVArodozDoc& document)
    {
        const QDateTime start = QDateTime::fromMSecsSinceEpoch(1'700'000'000'000LL, Qt::UTC);
        document.setDateSource([this, start] {
            return start.addMSecs(static_cast<qint64>(m_clock.monotonicNanoseconds() / 1'000'000));
        });
    }

    MIDIEndpointRef m_destination = 0;
    std::vector<int> m_barValues;
};

TEST_F(UpdateRunTest, FullRunMovesTheBarInOrderThenFillsIt)
{
    REVArodozDoc& document = openWithDestination();
    m_backend.clearSent();
    followTheClock(document);

    document.form()->m_btnPlay->click();
    EXPECT_TRUE(document.smfIsRunning());
    EXPECT_TRUE(document.form()->m_btnPlay->isChecked());
    EXPECT_FALSE(document.form()->m_popOutput->isEnabled());

    ASSERT_TRUE(waitForRunEnd());
    // The bar counts a message once it has gone, as the count beside it does,
    // and is full only once the run has ended with every message sent.
    EXPECT_EQ(m_barValues, (std::vector<int>{50, 75, 99, 100}));
    EXPECT_EQ(messagesSent(), kMessages);
    // Said in the window, not in a modal: the run's count, bytes, time and device.
    EXPECT_EQ(document.form()->m_txtStatus->text(), "Sent 4 messages (1,200 bytes) in 1.5 s to \u201CSynth A\u201D.");
    EXPECT_FALSE(document.form()->m_btnPlay->isChecked());
    EXPECT_TRUE(document.form()->m_btnPlay->isEnabled());
    EXPECT_TRUE(document.form()->m_popOutput->isEnabled());
    EXPECT_TRUE(m_alerts.m_shown.empty());
    // The pacing came from the file: 1.5 s in all.
    EXPECT_EQ(m_clock.totalSleptNanoseconds(), 1'500'000'000u);

    // A second run starts again from its first percentage.
    m_barValues.clear();
    document.form()->m_btnPlay->click();
    ASSERT_TRUE(waitForRunEnd());
    EXPECT_EQ(m_barValues, (std::vector<int>{50, 75, 99, 100}));
}

TEST_F(UpdateRunTest, FailedSendLeavesTheBarShortAndAlerts)
{
    REVArodozDoc& document = openWithDestination();
    m_backend.failSend(3, kMIDIMessageSendErr);

    document.smfPlay(nullptr);
    ASSERT_TRUE(waitForRunEnd());
    EXPECT_EQ(m_barValues, std::vector<int>{50});
    EXPECT_EQ(document.form()->m_progress->value(), 50);
    ASSERT_EQ(m_alerts.m_shown.size(), 1u);
    ASSERT_TRUE(m_alerts.m_shown[0].description());
    // What happened, where, the cause in plain words with the status after
    // them, in the tool's words; then what it means.
    EXPECT_EQ(*m_alerts.m_shown[0].description(),
              "The update did not complete: send failed at message 3 of 4: the message could not be sent (status "
              "-10838 kMIDIMessageSendErr); the instrument must be updated again.");
    EXPECT_EQ(document.form()->m_txtStatus->text(), "Stopped at message 3 of 4: the instrument must be updated again.");

    // Failing at the first message, the instrument still holds its old firmware: said so.
    m_alerts.m_shown.clear();
    m_backend.failSend(1, kMIDIMessageSendErr);
    document.smfPlay(nullptr);
    ASSERT_TRUE(waitForRunEnd());
    ASSERT_EQ(m_alerts.m_shown.size(), 1u);
    EXPECT_TRUE(m_alerts.m_shown[0].description()->endsWith("; nothing was sent to the instrument."));
    EXPECT_FALSE(m_alerts.m_shown[0].description()->contains("updated again"));
    EXPECT_EQ(document.form()->m_txtStatus->text(), "Stopped at message 1 of 4: nothing was sent.");
    EXPECT_FALSE(document.form()->m_btnPlay->isChecked());
    EXPECT_TRUE(document.form()->m_popOutput->isEnabled());
}

TEST_F(UpdateRunTest, UnreadableUpdateFileIsAFailedRun)
{
    struct SCase {
        const char* what;
        std::function<void()> spoil;
    };
    const SCase cases[] = {
        {"removed", [this] { std::filesystem::remove(m_updateFile); }},
        {"not a MIDI file", [this] { writeUpdateFile({'n', 'o', 'p', 'e'}); }},
    };
    REVArodozDoc& document = openWithDestination();
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.what);
        m_alerts.m_shown.clear();
        m_backend.clearSent();
        c.spoil();
        document.smfPlay(nullptr);
        ASSERT_TRUE(waitForRunEnd());
        EXPECT_NE(document.form()->m_progress->value(), 100);
        EXPECT_EQ(m_alerts.m_shown.size(), 1u);
        EXPECT_EQ(messagesSent(), 0u);
    }
}

// With 200 messages the transfer's last report is 100; the bar stops at 99
// until the run has ended with success. Between the transfer's return and the
// end-of-run step, the run no longer counts as live: a quit then would not
// be an interrupted update.
TEST_F(UpdateRunTest, OnlyTheEndOfASuccessfulRunFillsTheBar)
{
    CSmfImageBuilder image(96, 0);
    image.track().tempo(0, 500000);
    for (std::uint32_t i = 0; i < 200; ++i) {
        image.sysEx(i, CSmfImageBuilder::message(20, i));
    }
    writeUpdateFile(image.build());
    REVArodozDoc& document = openWithDestination();

    document.smfPlay(nullptr);
    const QDeadlineTimer deadline(kWaitMs);
    while (document.runIsLive() && !deadline.hasExpired()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_FALSE(document.runIsLive());
    EXPECT_TRUE(document.smfIsRunning()) << "the end-of-run step has not run yet";
    ASSERT_TRUE(waitForRunEnd());
    ASSERT_GE(m_barValues.size(), 2u);
    EXPECT_EQ(m_barValues[m_barValues.size() - 2], 99);
    EXPECT_EQ(m_barValues.back(), 100);
    EXPECT_EQ(std::count(m_barValues.begin(), m_barValues.end(), 100), 1);
}

// The capture holds the whole run as soon as it has ended, not only when the
// application quits; a capture that cannot be written says why in the alert.
TEST_F(UpdateRunTest, TheCaptureIsWholeAtTheEndOfARunAndItsFailureIsTheAlertsCause)
{
    std::filesystem::create_directory(m_dir / "capture");
    mirelo::midi::CaptureDestination capture(m_dir / "capture" / "out.syx");
    std::string reason;
    ASSERT_EQ(capture.open(reason), mirelo::midi::CaptureDestination::OpenResult::kOk) << reason;
    mirelo::midi::setActiveBackend(&capture.backend());
    // Everything that reaches the capture goes before it does.
    const std::unique_ptr<void, std::function<void(void*)>> closeFirst(this, [this](void*) {
        m_document.reset();
        m_documents.reset();
        CZAVController::terminate();
        mirelo::midi::setActiveBackend(nullptr);
    });
    REVArodozDoc& document = openDocument();
    document.setFailureDetail([&capture]() -> std::optional<std::string> {
        const auto failure = capture.failure();
        return failure ? std::optional<std::string>("capture: " + *failure) : std::nullopt;
    });

    document.smfPlay(nullptr);
    ASSERT_TRUE(waitForRunEnd());
    EXPECT_EQ(std::filesystem::file_size(m_dir / "capture" / "out.syx"), kMessages * 300);
    std::ifstream log(m_dir / "capture" / "out.syx.csv");
    EXPECT_EQ(std::count(std::istreambuf_iterator<char>(log), std::istreambuf_iterator<char>(), '\n'),
              static_cast<long>(kMessages) + 1);

    std::filesystem::remove_all(m_dir / "capture");
    document.smfPlay(nullptr);
    ASSERT_TRUE(waitForRunEnd());
    ASSERT_EQ(m_alerts.m_shown.size(), 1u);
    const QString alert = *m_alerts.m_shown[0].description();
    EXPECT_TRUE(alert.contains("send failed at message 1 of 4: capture: " +
                               QString::fromStdString((m_dir / "capture" / "out.syx").string()) +
                               " was removed while the capture was written (status -10838"))
        << alert.toStdString();
}

TEST_F(UpdateRunTest, PlayDuringARunStartsNoSecondRun)
{
    REVArodozDoc& document = openWithDestination();
    m_backend.clearSent();
    CWorkerGate& gate = holdWorker();

    document.form()->m_btnPlay->click();
    ASSERT_TRUE(gate.waitUntilHeld());
    document.form()->m_btnPlay->click(); // unchecks the button by itself
    EXPECT_TRUE(document.form()->m_btnPlay->isChecked());
    EXPECT_FALSE(document.form()->m_popOutput->isEnabled());
    document.smfRewind(nullptr);
    document.smfStop(nullptr);
    EXPECT_TRUE(document.smfIsRunning());
    EXPECT_TRUE(document.runIsLive());
    EXPECT_EQ(document.form()->m_txtStatus->text(), "");
    // Stop still does nothing to a run, and says so rather than seem to work.
    document.form()->m_btnStop->click();
    EXPECT_TRUE(document.smfIsRunning());
    EXPECT_EQ(document.form()->m_txtStatus->text(),
              "An update cannot be stopped once it has started; closing the window asks first.");

    gate.open();
    ASSERT_TRUE(waitForRunEnd());
    EXPECT_EQ(messagesSent(), kMessages);
    EXPECT_EQ(document.form()->m_progress->value(), 100);
}

// Every way of closing asks while a run goes. Keep Sending leaves the run and
// the window alone; Close Anyway lets the message in flight finish, sends
// nothing more and ends the application without a word about the run.
enum class EClose { kWindowButton, kCtrlW, kCtrlQ };

struct SCloseCase {
    EClose how;
    bool closeAnyway;
};

class ClosingDuringARun : public UpdateRunTest, public testing::WithParamInterface<SCloseCase> {
protected:
    // True when the window, or the application, closed.
    bool close(REVArodozDoc& document)
    {
        if (GetParam().how == EClose::kWindowButton) {
            return document.window()->close();
        }
        const QKeySequence key(GetParam().how == EClose::kCtrlW ? Qt::CTRL | Qt::Key_W : Qt::CTRL | Qt::Key_Q);
        for (QAction* action : document.window()->actions()) {
            if (action->shortcuts().contains(key)) {
                action->trigger();
                return !m_terminations.empty();
            }
        }
        ADD_FAILURE() << "no action for " << key.toString().toStdString();
        return false;
    }
};

TEST_P(ClosingDuringARun, AsksFirst)
{
    const bool closeAnyway = GetParam().closeAnyway;
    REVArodozDoc& document = openWithDestination();
    m_backend.clearSent();
    m_alerts.m_goAhead = closeAnyway;
    CWorkerGate& gate = holdWorker();
    document.smfPlay(nullptr);
    ASSERT_TRUE(gate.waitUntilHeld()); // the first message is out

    EXPECT_EQ(close(document), closeAnyway);
    ASSERT_EQ(m_alerts.m_asked.size(), 1u);
    EXPECT_EQ(m_alerts.m_asked[0].text.toStdString(),
              "An update is being sent to \u201CSynth A\u201D. Closing now leaves the instrument half-written and "
              "it must be updated again.");
    EXPECT_EQ(m_alerts.m_asked[0].keepLabel, "Keep Sending");
    EXPECT_EQ(m_alerts.m_asked[0].proceedLabel, "Close Anyway");

    gate.open();
    ASSERT_TRUE(waitForRunEnd());
    drainEvents();
    EXPECT_EQ(messagesSent(), closeAnyway ? 1u : kMessages);
    EXPECT_TRUE(m_alerts.m_shown.empty());
    if (!closeAnyway) {
        EXPECT_EQ(document.form()->m_progress->value(), 100);
    }
}

// The same on the application as it runs, with the window's own alerts: a
// run that closing cut short ends the application with status 2 and says on
// standard error how far it got; the capture holds that many messages.
TEST_P(ClosingDuringARun, TheApplicationsEndSaysHowFarTheRunGot)
{
    constexpr std::uint32_t kRunMessages = 40;
    constexpr std::size_t kSize = 100;
    CSmfImageBuilder image(500, 0);
    image.track().tempo(0, 500000); // a tick is a millisecond
    for (std::uint32_t i = 0; i < kRunMessages; ++i) {
        image.sysEx(i * 25, CSmfImageBuilder::message(kSize, i));
    }
    writeUpdateFile(image.build());
    const std::filesystem::path capture = m_dir / "capture.syx";
    static const char* const kHow[] = {"window-button", "ctrl-w", "ctrl-q"};
    SCliOptions options;
    options.program = MIRELO_WINDOW_DRIVER_PATH;
    const SCliResult r = CCliProcess::run(
        {kHow[static_cast<int>(GetParam().how)], GetParam().closeAnyway ? "close-anyway" : "keep-sending"},
        {{"QT_QPA_PLATFORM", "offscreen"},
         {"MIRELO_MIDI_BACKEND", "virtual"},
         {"MIRELO_CAPTURE", capture.string()},
         {"MIRELO_RESOURCES", m_dir.string()}},
        options);

    const std::uintmax_t captured = std::filesystem::exists(capture) ? std::filesystem::file_size(capture) : 0;
    if (!GetParam().closeAnyway) {
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err.find("closed during the update"), std::string::npos) << r.err;
        EXPECT_EQ(captured, kRunMessages * kSize);
        return;
    }
    EXPECT_EQ(r.status, 2) << r.err;
    const std::regex notice(R"re(mirelo-updater: the window was closed during the update: interrupted after )re"
                            R"re(message (\d+) of 40; the instrument must be updated again\.)re");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(r.err, m, notice)) << r.err;
    const std::size_t sent = std::stoul(m[1]);
    EXPECT_GE(sent, 4u) << "a tenth had gone before the window was closed";
    EXPECT_LT(sent, kRunMessages);
    EXPECT_EQ(captured, sent * kSize) << "the capture holds what the notice says";
}

std::string closeCaseName(const testing::TestParamInfo<SCloseCase>& info)
{
    static const char* const kHow[] = {"WindowButton", "CtrlW", "CtrlQ"};
    return std::string(kHow[static_cast<int>(info.param.how)]) +
           (info.param.closeAnyway ? "_CloseAnyway" : "_KeepSending");
}

INSTANTIATE_TEST_SUITE_P(UpdateRunTest, ClosingDuringARun,
                         testing::Values(SCloseCase{EClose::kWindowButton, false},
                                         SCloseCase{EClose::kWindowButton, true}, SCloseCase{EClose::kCtrlW, false},
                                         SCloseCase{EClose::kCtrlW, true}, SCloseCase{EClose::kCtrlQ, false},
                                         SCloseCase{EClose::kCtrlQ, true}),
                         closeCaseName);

TEST_F(UpdateRunTest, ClosingWhileIdleAsksNothing)
{
    REVArodozDoc& document = openWithDestination();
    EXPECT_TRUE(document.window()->close());
    EXPECT_TRUE(m_alerts.m_asked.empty());
}

TEST_F(UpdateRunTest, SetupChangeDuringARunWaitsForTheRunToEnd)
{
    REVArodozDoc& document = openWithDestination();
    m_backend.clearSent();
    CWorkerGate& gate = holdWorker();

    document.smfPlay(nullptr);
    ASSERT_TRUE(gate.waitUntilHeld());
    // A new device comes first in the order while the run sends.
    m_backend.removeEndpoint(m_destination, ControlledVirtualBackend::Announce::No);
    addDestination("Keys C");
    m_destination = addDestination("Synth A", ControlledVirtualBackend::Announce::Yes);
    drainEvents();

    EXPECT_EQ(listTitles(), QStringList{"Synth A"}); // not rebuilt yet
    EXPECT_TRUE(document.form()->m_btnPlay->isChecked());
    EXPECT_FALSE(document.form()->m_popOutput->isEnabled());

    gate.open();
    ASSERT_TRUE(waitForRunEnd());
    // Every message of the run went through the one port it started with.
    std::set<MIDIPortRef> ports;
    for (const auto& list : m_backend.sentLists()) {
        ports.insert(list.port);
    }
    EXPECT_EQ(ports.size(), 1u);

    EXPECT_EQ(listTitles(), (QStringList{"Keys C", "Synth A"}));
    EXPECT_EQ(document.form()->m_popOutput->currentIndex(), 1);
    EXPECT_TRUE(document.form()->m_popOutput->isEnabled());
    EXPECT_FALSE(document.form()->m_btnPlay->isChecked());
    EXPECT_EQ(openDestination(), m_destination);
}

TEST_F(UpdateRunTest, ElapsedTimeFollowsTheStartDateWhileRunning)
{
    REVArodozDoc& document = openWithDestination();
    const QDateTime start = QDateTime::fromMSecsSinceEpoch(1'700'000'000'000LL, Qt::UTC);
    // Shared with the document, which may read it after the test body.
    auto now = std::make_shared<QDateTime>(start);
    document.setDateSource([now] { return *now; });
    document.form()->m_txtPosition_time->setText("untouched");

    document.idleRoutine(); // idle: nothing shown
    EXPECT_EQ(document.form()->m_txtPosition_time->text(), "untouched");

    CWorkerGate& gate = holdWorker();
    document.smfPlay(nullptr);
    ASSERT_TRUE(gate.waitUntilHeld());
    // Held before the second message: how long not to unplug, as the CLI shows it.
    *now = start.addMSecs(500);
    document.idleRoutine();
    EXPECT_EQ(document.form()->m_txtPosition_time->text(), "00:00:00.500");
    EXPECT_EQ(document.form()->m_txtRunProgress->text(), "1 of 4 messages, about 1.0 s left");
    *now = start.addMSecs(3'723'500);
    document.idleRoutine();
    EXPECT_EQ(document.form()->m_txtPosition_time->text(), "01:02:03.500");
    *now = start.addSecs(-5); // the clock was set back
    document.idleRoutine();
    EXPECT_EQ(document.form()->m_txtPosition_time->text(), "00:00:00.000");

    gate.open();
    ASSERT_TRUE(waitForRunEnd());
    *now = start.addSecs(10);
    document.idleRoutine();
    EXPECT_EQ(document.form()->m_txtPosition_time->text(), "00:00:00.000"); // keeps the last value
}

TEST_F(UpdateRunTest, RunWithoutAWindowTouchesNoControl)
{
    m_destination = addDestination("Synth A");
    CZAVController::initialize();
    m_document = REVArodozDoc::create();
    ASSERT_TRUE(m_document->readFromURL(QUrl::fromLocalFile(QString::fromStdString(m_updateFile.string())),
                                        REVArodozDoc::kDocumentType, nullptr));
    m_backend.clearSent();
    m_document->smfPlay(nullptr);
    m_document->idleRoutine();
    m_document->smfTempo(nullptr);
    m_document->smfPosition(nullptr);
    ASSERT_TRUE(waitForRunEnd());
    EXPECT_EQ(messagesSent(), kMessages);
    EXPECT_TRUE(m_alerts.m_shown.empty());
}

TEST(TimeString, FormatsHoursMinutesSecondsAndTruncatedMilliseconds)
{
    const std::pair<double, const char*> cases[] = {
        {0.0, "00:00:00.000"},      {0.2, "00:00:00.200"},     {3723.5, "01:02:03.500"},
        {360000.0, "100:00:00.000"}, {1.001, "00:00:01.000"},   {59.9999, "00:00:59.999"},
        {86400.0, "24:00:00.000"},  {-0.5, "00:00:00.000"},    {-1e300, "00:00:00.000"},
        {std::nan(""), "00:00:00.000"},
    };
    for (const auto& [seconds, expected] : cases) {
        EXPECT_EQ(REVArodozDoc::timeStringWithSeconds(seconds), expected) << seconds;
    }
    // Absurd spans must not overflow into undefined conversions.
    EXPECT_FALSE(REVArodozDoc::timeStringWithSeconds(1e300).isEmpty());
}

TEST(TempoRate, RoundsTheSliderValueToAPercentage)
{
    EXPECT_EQ(REVArodozDoc::tempoRateForValue(1.0F), 100);
    EXPECT_EQ(REVArodozDoc::tempoRateForValue(0.5F), 50);
    EXPECT_EQ(REVArodozDoc::tempoRateForValue(0.755F), 75);
}

TEST_F(UpdateRunTest, TransportControlsChangeNothingWhileIdle)
{
    REVArodozDoc& document = openWithDestination();
    document.form()->m_sldTempo->setValue(150);
    EXPECT_EQ(document.form()->m_txtTempoRate->text(), "150");

    document.form()->m_btnRewind->click();
    document.form()->m_sldPosition->setValue(10);
    document.form()->m_btnStop->click();
    EXPECT_FALSE(document.smfIsRunning());
    EXPECT_FALSE(document.form()->m_btnPlay->isChecked());
    EXPECT_TRUE(document.form()->m_popOutput->isEnabled());
    EXPECT_EQ(document.smfLocate(12.0), noErr);
    EXPECT_FALSE(document.runIsLive());
}

} // namespace
