// The update run: progress reaching the bar in order, the end of a run that
// succeeded or failed, Play during a run, setup changes during a run, the
// elapsed time and the other transport controls.

#include "tests/app/DocumentTestEnvironment.h"
#include "tests/cli/CliProcess.h"
#include "app/DocumentWindow.h"
#include "app/OutcomeLine.h"

#include "platform/midi/virtual/CaptureDestination.h"
#include "update/UpdateRecordLog.h"

#include <QAccessible>
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

#include <sys/stat.h>

namespace {

using mirelo::midi::ControlledVirtualBackend;
using mirelo::test::CDocumentTest;
using mirelo::test::CSmfImageBuilder;
using mirelo::test::CWorkerGate;

class UpdateRunTest : public CDocumentTest {
protected:
    // "Synth A" is an instrument on a cable: a hardware port.
    REVArodozDoc& openWithDestination()
    {
        m_destination =
            m_backend.addDestination({"model", "Synth A", "Synth A", true}, {}, ControlledVirtualBackend::Announce::No);
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
        document.setDateSource(
            [this, start] { return start.addMSecs(static_cast<qint64>(m_clock.monotonicNanoseconds() / 1'000'000)); });
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
    // Not pressable while it sends, and says what it does.
    EXPECT_FALSE(document.form()->m_btnPlay->isEnabled());
    EXPECT_EQ(document.form()->m_btnPlay->text(), "Sending\u2026");
    EXPECT_FALSE(document.form()->m_popOutput->isEnabled());
    EXPECT_FALSE(document.form()->actionOpen->isEnabled());

    ASSERT_TRUE(waitForRunEnd());
    // The bar counts a message once it has gone, as the count beside it does,
    // and is full only once the run has ended with every message sent.
    EXPECT_EQ(m_barValues, (std::vector<int>{50, 75, 99, 100}));
    EXPECT_EQ(messagesSent(), kMessages);
    // Said in the window, not in a modal: the run's count, bytes, time and device.
    EXPECT_EQ(document.form()->m_txtStatus->text(), "Sent 4 messages (1,200 bytes) in 1.5 s to \u201CSynth A\u201D.");
    EXPECT_EQ(COutcomeLine::shown(*document.form()), COutcomeLine::EOutcome::kSent);
    EXPECT_EQ(document.form()->m_progress->text(), "100%");
    EXPECT_FALSE(document.form()->m_btnPlay->isChecked());
    EXPECT_TRUE(document.form()->m_btnPlay->isEnabled());
    EXPECT_EQ(document.form()->m_btnPlay->text(), "&Send Update");
    EXPECT_TRUE(document.form()->m_popOutput->isEnabled());
    EXPECT_TRUE(m_alerts.m_shown.empty());
    EXPECT_TRUE(m_alerts.m_asked.empty()) << "the first send to an instrument asks nothing";
    // The outcome is what a screen reader reads next: the focus is on it, under its own words.
    EXPECT_EQ(document.window()->focusWidget(), document.form()->m_txtStatus);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(document.form()->m_txtStatus)->text(QAccessible::Name),
              document.form()->m_txtStatus->text());
    // A stray Space or Return there sends nothing and asks nothing.
    QTest::keyClick(document.form()->m_txtStatus, Qt::Key_Space);
    QTest::keyClick(document.form()->m_txtStatus, Qt::Key_Return);
    EXPECT_FALSE(document.smfIsRunning());
    EXPECT_TRUE(m_alerts.m_asked.empty());
    // The pacing came from the file: 1.5 s in all.
    EXPECT_EQ(m_clock.totalSleptNanoseconds(), 1'500'000'000u);

    // After a success, sending again asks first, and Cancel sends nothing.
    m_barValues.clear();
    document.form()->m_btnPlay->click();
    ASSERT_EQ(m_alerts.m_asked.size(), 1u);
    EXPECT_EQ(m_alerts.m_asked[0].headline, "Send the update again?");
    EXPECT_EQ(m_alerts.m_asked[0].keepLabel, "Cancel");
    EXPECT_FALSE(m_alerts.m_asked[0].proceedIsDefault);
    EXPECT_FALSE(document.smfIsRunning());
    EXPECT_EQ(messagesSent(), kMessages);
    EXPECT_EQ(COutcomeLine::shown(*document.form()), COutcomeLine::EOutcome::kSent) << "the success line stays";

    // Going ahead starts again from nothing.
    m_alerts.m_goAhead = true;
    document.form()->m_btnPlay->click();
    ASSERT_TRUE(waitForRunEnd());
    EXPECT_EQ(m_barValues, (std::vector<int>{0, 50, 75, 99, 100}));
    EXPECT_EQ(messagesSent(), 2 * kMessages);
}

// An update that left an instrument half-written is told at the next start,
// until an update to that instrument completes.
// An instrument that answers is asked before the first message and after
// the last, never in between, and the outcome says what it ran before and after.
TEST_F(UpdateRunTest, TheOutcomeSaysWhichFirmwareTheInstrumentRanBeforeAndAfter)
{
    // The answer comes on the backend's receive thread: each simulated wait lets it in first.
    m_clock.setSleepHook([this](std::uint64_t) { m_backend.waitForIncoming(); });
    addAnsweringInstrument();
    REVArodozDoc& document = openDocument();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            drainEvents();
            return !document.instrumentBusy();
        },
        kWaitMs));
    m_backend.clearSent();
    document.form()->m_btnPlay->click();
    ASSERT_TRUE(waitForRunEnd());
    drainEvents();

    const QStringList lines = document.form()->m_txtStatus->text().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 3) << document.form()->m_txtStatus->text().toStdString();
    EXPECT_EQ(lines[1], "Instrument: firmware 1.0 \u2192 1.0.");
    EXPECT_FALSE(lines[2].isEmpty()) << "what its answers say of the update";
    EXPECT_EQ(document.form()->m_txtInstrument->text(),
              "manufacturer 0x7D, family 0x0001, model 0x000A \u00b7 firmware 1.0")
        << "the line shows what it said after the update";

    std::vector<bool> isRequest;
    for (const auto& list : m_backend.sentLists()) {
        for (const auto& packet : list.packets) {
            isRequest.push_back(packet.bytes == std::vector<Byte>{0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7});
        }
    }
    const auto first = std::find(isRequest.begin(), isRequest.end(), false);
    const auto last = std::find(isRequest.rbegin(), isRequest.rend(), false).base();
    ASSERT_TRUE(first != isRequest.end());
    EXPECT_TRUE(isRequest.front()) << "asked before the first message";
    EXPECT_TRUE(std::none_of(first, last, [](bool request) { return request; }))
        << "no request between the update's first and last message";
    EXPECT_TRUE(isRequest.back()) << "asked again after the last";
}

TEST_F(UpdateRunTest, AnUpdateThatDidNotCompleteIsToldUntilOneCompletes)
{
    using EResult = SUpdateRecord::EResult;
    struct SRun {
        const char* destination;
        EResult result;
        std::uint64_t sent;
        const char* start;
    };
    struct SCase {
        const char* what;
        std::vector<SRun> runs; // oldest first
        const char* notice;     // null: none
    };
    const SCase cases[] = {
        {"a failed update",
         {{"Synth A", EResult::kFailed, 2, "2026-12-07T10:00:00+00:00"}},
         "The last update to \u201CSynth A\u201D did not complete on 7 Dec 2026: send it again."},
        {"one closed part-way, the newest of two",
         {{"Synth B", EResult::kFailed, 1, "2026-12-01T10:00:00+00:00"},
          {"Synth A", EResult::kInterrupted, 3, "2026-12-05T09:00:00+00:00"}},
         "The last update to \u201CSynth A\u201D did not complete on 5 Dec 2026: send it again."},
        {"a failure that a later update mended",
         {{"Synth A", EResult::kFailed, 2, "2026-12-01T10:00:00+00:00"},
          {"Synth A", EResult::kCompleted, 4, "2026-12-02T10:00:00+00:00"}},
         nullptr},
        {"a failure before the first message: the old firmware still runs",
         {{"Synth A", EResult::kFailed, 0, "2026-12-01T10:00:00+00:00"}},
         nullptr},
        {"a refused file", {{"Synth A", EResult::kRefused, 0, "2026-12-01T10:00:00+00:00"}}, nullptr},
    };
    const std::filesystem::path log = *CUpdateRecordLog::defaultPath();
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(log);
        for (const SRun& run : c.runs) {
            SUpdateRecord record;
            record.destination = run.destination;
            record.result = run.result;
            record.messagesSent = run.sent;
            record.messagesTotal = kMessages;
            record.start = run.start;
            std::string problem;
            ASSERT_TRUE(CUpdateRecordLog::append(log, record, problem)) << problem;
        }
        REVArodozDoc& document = openWithDestination();
        EXPECT_EQ(document.form()->m_txtNotice->isVisibleTo(document.window()), c.notice != nullptr);
        if (c.notice != nullptr) {
            EXPECT_EQ(document.form()->m_txtNotice->text(), c.notice);
            // Sending to that instrument again, whole, settles it.
            document.form()->m_btnPlay->click();
            ASSERT_TRUE(waitForRunEnd());
            EXPECT_FALSE(document.form()->m_txtNotice->isVisibleTo(document.window()));
        }
        m_document.reset();
        m_documents.reset();
        CZAVController::terminate();
        m_backend.removeEndpoint(m_destination, ControlledVirtualBackend::Announce::No);
    }
}

TEST_F(UpdateRunTest, FailedSendLeavesTheBarShortAndAlerts)
{
    REVArodozDoc& document = openWithDestination();
    m_backend.failSend(3, kMIDIMessageSendErr);

    document.smfPlay(nullptr);
    ASSERT_TRUE(waitForRunEnd());
    EXPECT_EQ(m_barValues, std::vector<int>{50});
    EXPECT_EQ(document.form()->m_progress->value(), 50);
    // The bar looks failed and says so, not only in colour.
    EXPECT_EQ(document.form()->m_progress->text(), "Stopped at 50%");
    EXPECT_NE(document.form()->m_progress->palette().color(QPalette::Highlight), QPalette().color(QPalette::Highlight));
    EXPECT_EQ(COutcomeLine::shown(*document.form()), COutcomeLine::EOutcome::kFailed);
    ASSERT_EQ(m_alerts.m_shown.size(), 1u);
    // A headline, what happened and where in plain words, one thing to do;
    // the status under the details.
    const CError& alert = m_alerts.m_shown[0];
    EXPECT_EQ(alert.description(), "The update did not complete.");
    EXPECT_EQ(alert.failureReason(), "Sending stopped at message 3 of 4. The instrument is half-written and must be "
                                     "updated again before it is used.");
    EXPECT_EQ(alert.recoverySuggestion(), "the message could not be sent.");
    EXPECT_EQ(alert.detail(), "status -10838 kMIDIMessageSendErr");
    EXPECT_EQ(document.form()->m_txtStatus->text(), "Stopped at message 3 of 4: the instrument must be updated again.");

    // Failing at the first message, the instrument still holds its old firmware: said so.
    m_alerts.m_shown.clear();
    m_backend.failSend(1, kMIDIMessageSendErr);
    document.smfPlay(nullptr);
    ASSERT_TRUE(waitForRunEnd());
    ASSERT_EQ(m_alerts.m_shown.size(), 1u);
    EXPECT_TRUE(m_alerts.m_shown[0].failureReason()->endsWith("Nothing was sent: the instrument still has its old "
                                                              "firmware."));
    EXPECT_FALSE(m_alerts.m_shown[0].failureReason()->contains("updated again"));
    EXPECT_EQ(document.form()->m_txtStatus->text(), "Stopped at message 1 of 4: nothing was sent.");
    EXPECT_FALSE(document.form()->m_btnPlay->isChecked());
    EXPECT_TRUE(document.form()->m_popOutput->isEnabled());

    // A new run starts with the bar in its usual colours.
    document.smfPlay(nullptr);
    EXPECT_EQ(document.form()->m_progress->palette().color(QPalette::Highlight), QPalette().color(QPalette::Highlight));
    ASSERT_TRUE(waitForRunEnd());
}

TEST_F(UpdateRunTest, UnreadableUpdateFileIsAFailedRun)
{
    struct SCase {
        const char* what;
        std::function<void()> spoil;
    };
    const SCase cases[] = {
        {"removed", [this] { std::filesystem::remove(m_updateFile); }},
        {"not a MIDI file",
         [this] {
             writeUpdateFile({'n', 'o', 'p', 'e'});
         }},
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
// application quits; each run starts a fresh capture, its rows counted from
// its own start; a capture that cannot be written says why in the alert.
TEST_F(UpdateRunTest, EachRunStartsAFreshCaptureAndItsFailureIsTheAlertsCause)
{
    std::filesystem::create_directory(m_dir / "capture");
    const std::filesystem::path syx = m_dir / "capture" / "out.syx";
    mirelo::midi::CaptureDestination capture(syx);
    mirelo::midi::setActiveBackend(&capture.backend());
    // Everything that reaches the capture goes before it does.
    const std::unique_ptr<void, std::function<void(void*)>> closeFirst(this, [this](void*) {
        m_document.reset();
        m_documents.reset();
        CZAVController::terminate();
        mirelo::midi::setActiveBackend(nullptr);
    });
    REVArodozDoc& document = openDocument(&capture);
    EXPECT_TRUE(document.form()->m_txtOutputHint->isHidden()) << "the capture stands in for the instrument";
    // Its size below then also says that no identity request went to it.
    EXPECT_TRUE(document.form()->m_txtInstrument->isHidden()) << "the capture is never asked who it is";

    const auto rows = [&] {
        std::ifstream log(syx.string() + ".csv");
        std::vector<std::string> lines;
        for (std::string line; std::getline(log, line);) {
            lines.push_back(line);
        }
        return lines;
    };
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        // The capture is what the user asked for: no question about a software port.
        document.form()->m_btnPlay->click();
        m_alerts.m_goAhead = true; // the second run is a resend
        ASSERT_TRUE(waitForRunEnd());
        EXPECT_EQ(std::filesystem::file_size(syx), kMessages * 300);
        const std::vector<std::string> lines = rows();
        ASSERT_EQ(lines.size(), kMessages + 1);
        EXPECT_EQ(lines[1].rfind("0,0,", 0), 0u) << lines[1];
        EXPECT_EQ(lines.back().rfind("3,1500000,", 0), 0u) << lines.back();
    }
    ASSERT_EQ(m_alerts.m_asked.size(), 1u);
    EXPECT_EQ(m_alerts.m_asked[0].headline, "Send the update again?");

    std::filesystem::remove_all(m_dir / "capture");
    document.smfPlay(nullptr);
    ASSERT_TRUE(waitForRunEnd());
    ASSERT_EQ(m_alerts.m_shown.size(), 1u);
    const std::string alert = mirelo::test::CRecordingAlerts::textOf(m_alerts.m_shown[0]);
    EXPECT_NE(
        alert.find("Message 1 of 4 could not be sent: " + syx.string() + " was removed while the capture was written."),
        std::string::npos)
        << alert;
    EXPECT_NE(alert.find("Make sure the capture file can be written"), std::string::npos) << alert;
}

// A capture that would write over the update file, or that is no file at
// all, is refused before anything is opened or emptied, without waiting; an
// update file that fails its check leaves an earlier capture as it was.
TEST_F(UpdateRunTest, CaptureProblemsAreRefusedBeforeAnythingIsEmptied)
{
    struct SCase {
        const char* what;
        std::function<std::filesystem::path()> prepare; // the capture path
        const char* alert;
        bool documentOpens;
    };
    const std::string earlier = "an earlier capture";
    const SCase cases[] = {
        {"the update file itself", [this] { return m_updateFile; }, "is the update file itself", false},
        {"a FIFO",
         [this] {
             std::filesystem::path fifo = m_dir / "fifo.syx";
             ::mkfifo(fifo.c_str(), 0600);
             return fifo;
         },
         "is a FIFO", false},
        {"a directory",
         [this] {
             std::filesystem::create_directories(m_dir / "folder.syx");
             return m_dir / "folder.syx";
         },
         "is a directory", false},
        {"a damaged update file",
         [&] {
             std::ofstream(m_dir / "kept.syx") << earlier;
             writeUpdateFile({'n', 'o', 'p', 'e'});
             return m_dir / "kept.syx";
         },
         "is damaged and cannot be sent", true},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.what);
        m_alerts.m_shown.clear();
        writeUpdateFile(updateImage());
        const std::uintmax_t updateSize = std::filesystem::file_size(m_updateFile);
        const std::filesystem::path path = c.prepare();
        mirelo::midi::CaptureDestination capture(path);
        mirelo::midi::setActiveBackend(&capture.backend());
        CZAVController::initialize();
        m_documents = std::make_unique<CDocumentController>();
        m_documents->setCapture(&capture);
        m_document = m_documents->openDocumentWithContentsOfURL(
            QUrl::fromLocalFile(QString::fromStdString(m_updateFile.string())), false);
        EXPECT_EQ(m_document != nullptr, c.documentOpens);
        ASSERT_TRUE(waitForCheck());
        ASSERT_EQ(m_alerts.m_shown.size(), 1u);
        const std::string alert = mirelo::test::CRecordingAlerts::textOf(m_alerts.m_shown[0]);
        EXPECT_NE(alert.find(c.alert), std::string::npos) << alert;
        if (c.documentOpens) {
            std::ifstream kept(path);
            EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), earlier);
            EXPECT_FALSE(std::filesystem::exists(path.string() + ".csv"));
        } else {
            EXPECT_EQ(std::filesystem::file_size(m_updateFile), updateSize);
        }
        m_document.reset();
        m_documents.reset();
        CZAVController::terminate();
        mirelo::midi::setActiveBackend(&m_backend);
    }
}

TEST_F(UpdateRunTest, PlayDuringARunStartsNoSecondRun)
{
    REVArodozDoc& document = openWithDestination();
    m_backend.clearSent();
    CWorkerGate& gate = holdWorker();

    document.form()->m_btnPlay->click();
    ASSERT_TRUE(gate.waitUntilHeld());
    document.form()->m_btnPlay->click(); // disabled: nothing happens
    document.smfPlay(nullptr);
    document.smfRewind(nullptr);
    document.smfStop(nullptr);
    EXPECT_TRUE(document.form()->m_btnPlay->isChecked());
    EXPECT_FALSE(document.form()->m_popOutput->isEnabled());
    EXPECT_TRUE(document.smfIsRunning());
    EXPECT_TRUE(document.runIsLive());

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
        for (QAction* action : document.window()->findChildren<QAction*>()) {
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
    EXPECT_EQ(m_alerts.m_asked[0].headline, "Stop sending the update?");
    EXPECT_EQ(m_alerts.m_asked[0].text.toStdString(),
              "An update is being sent to \u201CSynth A\u201D. Closing now leaves the instrument half-written and "
              "it must be updated again.");
    EXPECT_EQ(m_alerts.m_asked[0].keepLabel, "&Keep Sending");
    EXPECT_EQ(m_alerts.m_asked[0].proceedLabel, "&Close Anyway");
    EXPECT_FALSE(m_alerts.m_asked[0].proceedIsDefault);

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

// The run ends while the close question is open: the question closes, the
// window stays and shows the outcome; a late "Close Anyway" cuts nothing short.
TEST_F(UpdateRunTest, TheCloseQuestionClosesWhenTheRunEnds)
{
    REVArodozDoc& document = openWithDestination();
    CWorkerGate& gate = holdWorker();
    document.smfPlay(nullptr);
    ASSERT_TRUE(gate.waitUntilHeld());
    m_alerts.m_goAhead = true;
    m_alerts.m_whileAsked = [&] {
        gate.open();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !document.smfIsRunning(); }, kWaitMs));
    };

    EXPECT_FALSE(document.window()->close());
    EXPECT_EQ(m_alerts.m_dismissed, 1);
    EXPECT_TRUE(m_terminations.empty());
    EXPECT_FALSE(document.runIsCutShort());
    EXPECT_EQ(COutcomeLine::shown(*document.form()), COutcomeLine::EOutcome::kSent);
    EXPECT_EQ(messagesSent(), kMessages);
}

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
    document.form()->m_txtRunProgress->clear();

    document.idleRoutine(); // idle: nothing shown
    EXPECT_EQ(document.form()->m_txtPosition_time->text(), "untouched");

    CWorkerGate& gate = holdWorker();
    document.smfPlay(nullptr);
    ASSERT_TRUE(gate.waitUntilHeld());
    // Held before the second message: how long not to unplug, as the CLI shows it.
    *now = start.addMSecs(580);
    document.idleRoutine();
    // To the tenth of a second, cut rather than rounded.
    EXPECT_EQ(document.form()->m_txtPosition_time->text(), "00:00:00.5");
    EXPECT_EQ(document.form()->m_txtRunProgress->text(), "1 of 4 messages, about 0.9 s left");
    *now = start.addMSecs(3'723'500);
    document.idleRoutine();
    EXPECT_EQ(document.form()->m_txtPosition_time->text(), "01:02:03.5");
    *now = start.addSecs(-5); // the clock was set back
    document.idleRoutine();
    EXPECT_EQ(document.form()->m_txtPosition_time->text(), "00:00:00.0");

    gate.open();
    ASSERT_TRUE(waitForRunEnd());
    *now = start.addSecs(10);
    document.idleRoutine();
    EXPECT_EQ(document.form()->m_txtPosition_time->text(), "00:00:00.0"); // keeps the last value
}

TEST_F(UpdateRunTest, RunWithoutAWindowTouchesNoControl)
{
    m_destination = addDestination("Synth A");
    CZAVController::initialize();
    m_document = REVArodozDoc::create();
    ASSERT_TRUE(m_document->readFromURL(QUrl::fromLocalFile(QString::fromStdString(m_updateFile.string())),
                                        REVArodozDoc::kDocumentType, nullptr));
    ASSERT_TRUE(waitForCheck());
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
        {0.0, "00:00:00.000"},          {0.2, "00:00:00.200"},   {3723.5, "01:02:03.500"},
        {360000.0, "100:00:00.000"},    {1.001, "00:00:01.000"}, {59.9999, "00:00:59.999"},
        {86400.0, "24:00:00.000"},      {-0.5, "00:00:00.000"},  {-1e300, "00:00:00.000"},
        {std::nan(""), "00:00:00.000"},
    };
    for (const auto& [seconds, expected] : cases) {
        EXPECT_EQ(REVArodozDoc::timeStringWithSeconds(seconds), expected) << seconds;
    }
    // Absurd spans must not overflow into undefined conversions.
    EXPECT_FALSE(REVArodozDoc::timeStringWithSeconds(1e300).isEmpty());
}

// Stop, Rewind, Repeat and the position and tempo sliders could change
// nothing about an update: the window does not offer them. Their operations
// still do nothing a user could see.
TEST_F(UpdateRunTest, TheWindowOffersNoControlThatDoesNothing)
{
    REVArodozDoc& document = openWithDestination();
    for (const char* name : {"m_btnStop", "m_btnRewind", "m_chkRepeat", "m_sldPosition", "m_sldTempo", "m_txtTempoRate",
                             "m_txtPosition_beats", "m_txtLength_beats"}) {
        EXPECT_EQ(document.window()->findChild<QWidget*>(name), nullptr) << name;
    }
    document.smfRewind(nullptr);
    document.smfPosition(nullptr);
    document.smfTempo(nullptr);
    document.smfStop(nullptr);
    EXPECT_EQ(document.smfLocate(12.0), noErr);
    EXPECT_FALSE(document.smfIsRunning());
    EXPECT_FALSE(document.form()->m_btnPlay->isChecked());
    EXPECT_TRUE(document.form()->m_popOutput->isEnabled());
    EXPECT_FALSE(document.runIsLive());
}

} // namespace
