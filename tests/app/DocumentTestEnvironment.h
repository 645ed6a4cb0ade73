#pragma once
// The world a document test runs in: the Qt main loop, the virtual MIDI
// backend, a simulated clock, an alert presenter that records, a resource
// folder with a small update file, the shared document controller and the
// device controller. Runs are waited for by processing Qt events.

#include "app/AlertPresenter.h"
#include "app/AppTerminator.h"
#include "app/DocumentController.h"
#include "app/Error.h"
#include "app/QtEventLoop.h"
#include "app/REVArodozDoc.h"
#include "ui_REVArodozDoc.h"

#include "platform/base/Bundle.h"
#include "platform/base/EventLoop.h"
#include "platform/midi/MidiBackend.h"
#include "platform/midi/virtual/CaptureDestination.h"
#include "testing/ControlledVirtualBackend.h"
#include "testing/SimulatedClock.h"
#include "testing/VirtualInstrument.h"
#include "QORMIDIManager_Mac.h"
#include "tests/support/SmfImageBuilder.h"
#include "ZAVController.h"

#include <QComboBox>
#include <QSettings>
#include <QCoreApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <unistd.h>
#include <vector>

namespace mirelo::test {

class CRecordingAlerts final : public CAlertPresenter {
public:
    void runModal(const CError& error) override { m_shown.push_back(error); }
    bool ask(const SQuestion& question) override
    {
        m_asked.push_back(question);
        if (m_whileAsked) {
            m_whileAsked();
        }
        return m_goAhead;
    }
    void dismissQuestion() override { ++m_dismissed; }
    void setAnchor(QWidget* window) override { m_anchor = window; }

    // Everything an alert says, as one line: headline, reason, what to do, details.
    static std::string textOf(const CError& error)
    {
        QStringList parts{error.description().value_or(QString())};
        for (const auto& part : {error.failureReason(), error.recoverySuggestion(), error.detail()}) {
            if (part) {
                parts << *part;
            }
        }
        return parts.join(QLatin1Char(' ')).toStdString();
    }

    std::vector<CError> m_shown;
    std::vector<SQuestion> m_asked;
    bool m_goAhead = false;             // the answer to every question
    std::function<void()> m_whileAsked; // what happens while a question is open
    int m_dismissed = 0;
    QWidget* m_anchor = nullptr;
};

// Holds the worker in its first sleep until opened, so that a test can act
// while a run is certainly in progress.
class CWorkerGate {
public:
    explicit CWorkerGate(platform::SimulatedClock& clock) : m_clock(clock)
    {
        m_clock.setSleepHook([this](std::uint64_t) {
            std::unique_lock lock(m_mutex);
            m_entered = true;
            m_changed.notify_all();
            m_changed.wait(lock, [this] { return m_open; });
        });
    }
    ~CWorkerGate() = default;
    CWorkerGate(const CWorkerGate&) = delete;
    CWorkerGate& operator=(const CWorkerGate&) = delete;

    bool waitUntilHeld()
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(5), [this] { return m_entered; });
    }
    void open()
    {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }

private:
    platform::SimulatedClock& m_clock;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_entered = false;
    bool m_open = false;
};

class CDocumentTest : public testing::Test {
protected:
    static constexpr int kWaitMs = 5000; // only a failing test waits this long
    static constexpr std::size_t kMessages = 4;

    void SetUp() override
    {
        platform::setClock(&m_clock);
        platform::setMainLoop(&m_loop);
        midi::setActiveBackend(&m_backend);
        CAlertPresenter::setCurrent(&m_alerts);
        CAppTerminator::setObserver([this](QObject*, int status) { m_terminations.push_back(status); });

        m_dir = std::filesystem::path(testing::TempDir()) /
                ("mirelo-doc-" + std::to_string(::getpid()) + "-" + std::to_string(s_serial++));
        std::filesystem::create_directories(m_dir);
        // What the window remembers stays in the test's folder.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromStdString((m_dir / "config").string()));
        ::setenv("XDG_STATE_HOME", (m_dir / "state").c_str(), 1);
        m_updateFile = m_dir / "mirelo updater.dat";
        writeUpdateFile(updateImage());
        m_bundle = std::make_unique<platform::Bundle>(m_dir);
        platform::overrideMainBundle(m_bundle.get());
    }

    void TearDown() override
    {
        if (m_gate) {
            m_gate->open();
        }
        EXPECT_TRUE(waitForRunEnd());
        m_clock.setSleepHook({});
        m_gate.reset();
        m_document.reset();
        m_documents.reset();
        CZAVController::terminate();
        drainEvents();
        CAppTerminator::setObserver(nullptr);
        CAlertPresenter::setCurrent(nullptr);
        platform::clearMainBundleOverride();
        ::unsetenv("XDG_STATE_HOME");
        midi::setActiveBackend(nullptr);
        platform::setMainLoop(nullptr);
        platform::setClock(nullptr);
        std::filesystem::remove_all(m_dir);
    }

    // kMessages SysEx messages, half a second apart.
    static Bytes updateImage()
    {
        CSmfImageBuilder image(96, 0);
        image.track().tempo(0, 500000);
        for (std::uint32_t i = 0; i < kMessages; ++i) {
            image.sysEx(i * 96, CSmfImageBuilder::message(300, i));
        }
        return image.build();
    }

    void writeUpdateFile(const Bytes& image)
    {
        std::ofstream(m_updateFile, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    }

    MIDIEndpointRef
    addDestination(const std::optional<std::string>& displayName,
                   midi::ControlledVirtualBackend::Announce announce = midi::ControlledVirtualBackend::Announce::No)
    {
        return m_backend.addDestination({"model", displayName.value_or("port"), displayName}, {}, announce);
    }

    // The test instrument, answering as a ZAV10 running firmware 1.0 would.
    void addAnsweringInstrument()
    {
        ::setenv(mirelo::midi::VirtualInstrument::kVariable, "F0 7E 00 06 02 7D 01 00 0A 00 01 00 00 00 F7", 1);
        mirelo::midi::VirtualInstrument::addFromEnvironment(m_backend);
        ::unsetenv(mirelo::midi::VirtualInstrument::kVariable);
    }

    // Identity requests sent since the last clearSent().
    std::size_t identityRequests() const
    {
        std::size_t count = 0;
        for (const auto& list : m_backend.sentLists()) {
            for (const auto& packet : list.packets) {
                count += packet.bytes == std::vector<Byte>{0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7} ? 1U : 0U;
            }
        }
        return count;
    }

    // Holds the next run's worker in its first sleep.
    CWorkerGate& holdWorker()
    {
        m_gate = std::make_unique<CWorkerGate>(m_clock);
        return *m_gate;
    }

    // The document as the application opens it: controller, read, window.
    REVArodozDoc& openDocument(midi::CaptureDestination* capture = nullptr)
    {
        CZAVController::initialize();
        m_documents = std::make_unique<CDocumentController>();
        m_documents->setCapture(capture);
        m_document = m_documents->openDocumentWithContentsOfURL(
            QUrl::fromLocalFile(QString::fromStdString(m_updateFile.string())), false);
        if (!m_document) {
            throw std::runtime_error("the update document did not open");
        }
        if (!waitForCheck()) {
            throw std::runtime_error("the update file was never checked");
        }
        return *m_document;
    }

    // The update file's check, off the GUI thread, has reached the window.
    bool waitForCheck()
    {
        return QTest::qWaitFor([this] { return !m_document || !m_document->isChecking(); }, kWaitMs);
    }

    // Runs queued work (notifications, progress, end of run) until none is left.
    static void drainEvents()
    {
        for (int i = 0; i < 4; ++i) {
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
    }

    bool waitForRunEnd()
    {
        return QTest::qWaitFor(
            [this] { return !m_document || (!m_document->smfIsRunning() && !m_document->runIsLive()); }, kWaitMs);
    }

    QStringList listTitles() const
    {
        QStringList titles;
        for (int i = 0; i < m_document->form()->m_popOutput->count(); ++i) {
            titles << m_document->form()->m_popOutput->itemText(i);
        }
        return titles;
    }

    // The user picks entry k of the output list.
    void pick(int k)
    {
        m_document->form()->m_popOutput->setCurrentIndex(k);
        emit m_document->form()->m_popOutput->activated(k);
    }

    // Where the manager's output goes now (0: no output).
    MIDIEndpointRef openDestination()
    {
        m_backend.clearSent();
        const Byte probe[] = {0xF0, 0x7D, 0xF7};
        CQORMIDIManager::instance()->sendLongMessage(probe, sizeof probe);
        const auto sent = m_backend.sentLists();
        m_backend.clearSent();
        return sent.empty() ? 0 : sent.back().destination;
    }

    platform::SimulatedClock m_clock;
    midi::ControlledVirtualBackend m_backend;
    CQtEventLoop m_loop;
    CRecordingAlerts m_alerts;
    std::vector<int> m_terminations;
    std::filesystem::path m_dir;
    std::filesystem::path m_updateFile;
    std::unique_ptr<platform::Bundle> m_bundle;
    std::unique_ptr<CDocumentController> m_documents;
    std::shared_ptr<REVArodozDoc> m_document;
    std::unique_ptr<CWorkerGate> m_gate;

    static inline int s_serial = 0;
};

} // namespace mirelo::test
