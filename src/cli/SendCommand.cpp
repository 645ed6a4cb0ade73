#include "cli/SendCommand.h"

#include "cli/DestinationChooser.h"
#include "cli/ExitStatus.h"
#include "cli/MidiEndpoints.h"
#include "cli/ProgressDisplay.h"
#include "cli/SignalWatch.h"

#include "QORMIDIManager_Mac.h"
#include "ZAVController.h"
#include "platform/base/Clock.h"
#include "platform/base/PlainEventLoop.h"
#include "platform/midi/MidiBackend.h"
#include "platform/midi/virtual/CaptureDestination.h"
#include "schedule/FirmwareSchedule.h"
#include "update/RunRecord.h"
#include "update/RunReport.h"
#include "update/StatusText.h"
#include "update/UpdateFileLoader.h"
#include "update/UpdateRun.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(200);

std::uint64_t nowMs()
{
    return mirelo::platform::clock().monotonicNanoseconds() / 1000000;
}

int exitStatusFor(CDestinationChooser::EOutcome outcome)
{
    switch (outcome) {
    case CDestinationChooser::EOutcome::kChosen:
        return cli_exit::kSuccess;
    case CDestinationChooser::EOutcome::kSeveralMatches:
        return cli_exit::kBadInput; // the user's --to is ambiguous
    case CDestinationChooser::EOutcome::kNoMatch:
    case CDestinationChooser::EOutcome::kIndexOutOfRange:
    case CDestinationChooser::EOutcome::kNoInstrument:
    case CDestinationChooser::EOutcome::kSeveralInstruments:
        break;
    }
    return cli_exit::kNoMidi;
}

// A file that cannot be sent is the user's to fix; memory that ran out is not.
int exitStatusFor(const SUpdateFileLoad& load)
{
    return load.outcome == SUpdateFileLoad::EOutcome::kOutOfMemory ? cli_exit::kFailed : cli_exit::kBadInput;
}

// Reads and verifies the update file on a thread of its own, so that a signal
// ends `send` at once even while a large file is loaded. Everything the load
// touches is here, shared with that thread, which may outlive the command.
class CLoadJob {
public:
    explicit CLoadJob(std::filesystem::path path) : m_path(std::move(path)) {}

    void start(const std::shared_ptr<CLoadJob>& self)
    {
        m_thread = std::thread([self] {
            SUpdateFileLoad result = CUpdateFileLoader::load(self->m_path, self->m_schedule);
            std::lock_guard lock(self->m_mutex);
            self->m_result = std::move(result);
            self->m_done.notify_all();
        });
    }
    // Any thread: wait() returns now if it was waiting.
    void wake()
    {
        std::lock_guard lock(m_mutex);
        m_woken = true;
        m_done.notify_all();
    }
    // The outcome, or none when woken first; the load then finishes alone.
    std::optional<SUpdateFileLoad> wait()
    {
        std::unique_lock lock(m_mutex);
        m_done.wait(lock, [this] { return m_result.has_value() || m_woken; });
        if (!m_result) {
            lock.unlock();
            m_thread.detach();
            return std::nullopt;
        }
        lock.unlock();
        m_thread.join();
        return m_result;
    }
    const CFirmwareSchedule& schedule() const { return m_schedule; }

private:
    std::filesystem::path m_path;
    CFirmwareSchedule m_schedule;
    std::mutex m_mutex;
    std::condition_variable m_done;
    std::optional<SUpdateFileLoad> m_result;
    bool m_woken = false;
    std::thread m_thread;
};

// What `send` installs process-wide for a run, each undone by its own end, in
// the reverse order of their making: the controller (and with it the manager)
// goes while the loop and the backend it uses still stand.
class CInstalledBackend {
public:
    explicit CInstalledBackend(mirelo::midi::MidiBackend* backend) { mirelo::midi::setActiveBackend(backend); }
    ~CInstalledBackend() { mirelo::midi::setActiveBackend(nullptr); }
    CInstalledBackend(const CInstalledBackend&) = delete;
    CInstalledBackend& operator=(const CInstalledBackend&) = delete;
};

class CInstalledLoop {
public:
    CInstalledLoop() { mirelo::platform::setMainLoop(&m_loop); }
    ~CInstalledLoop() { mirelo::platform::setMainLoop(nullptr); }
    CInstalledLoop(const CInstalledLoop&) = delete;
    CInstalledLoop& operator=(const CInstalledLoop&) = delete;

    mirelo::platform::PlainEventLoop& loop() { return m_loop; }

private:
    mirelo::platform::PlainEventLoop m_loop;
};

class CStartedController {
public:
    CStartedController() { CZAVController::initialize(); }
    ~CStartedController() { CZAVController::terminate(); }
    CStartedController(const CStartedController&) = delete;
    CStartedController& operator=(const CStartedController&) = delete;
};

// The progress display, fed from the run's own count.
struct SProgressView {
    CProgressDisplay& display;
    const CUpdateRun& run;
    const CFirmwareSchedule& schedule;
    mirelo::platform::EventLoop& loop;
    bool finished = false;

    // From the first message's start: the instrument asked before it is no
    // part of the update's time.
    std::uint64_t elapsedMs() const
    {
        const std::uint64_t start = run.startInstant()->load(std::memory_order_acquire) / 1'000'000;
        const std::uint64_t now = nowMs();
        return start != 0 && now > start ? now - start : 0;
    }

    void redraw()
    {
        if (finished) {
            return;
        }
        SRunProgress progress = run.progress();
        // Before the worker has taken up the schedule, the schedule itself says what is to come.
        if (progress.total == 0) {
            progress.total = schedule.size();
            progress.fileMs = schedule.duration();
        }
        display.update(progress, elapsedMs());
    }
    // The last state of the run; nothing more is drawn after it.
    void finish(const SRunProgress& progress, bool whole)
    {
        if (!finished) {
            display.finish(progress, whole, elapsedMs());
            finished = true;
        }
    }
    // Every message has gone, and the instrument is waited for.
    void awaitAnswer(std::ostream& err)
    {
        finish(run.progress(), true);
        err << "send: " << CRunReport::waitingForAnswer().plain() << "\n" << std::flush;
    }
};

bool onProgress(int /*percent*/, void* context)
{
    // Runs on the transfer's thread: hand over and return at once, so the
    // sends never wait for the terminal.
    auto* view = static_cast<SProgressView*>(context);
    view->loop.post([view] { view->redraw(); });
    return true;
}

void warnIfNotKept(std::ostream& err, const std::optional<std::string>& problem)
{
    if (problem) {
        err << "send: warning: this send was not kept in the record of updates: " << *problem << "\n";
    }
}

// What the instrument said around a whole run, and the status send ends with.
int reportIdentity(std::ostream& out, std::ostream& err, const SIdentityCheck& check, const std::string& destination,
                   int signal)
{
    if (const std::optional<CSentence> change = CRunReport::firmwareChange(check)) {
        out << change->plain() << "\n";
    }
    const std::optional<CSentence> verdict = CRunReport::identityVerdict(check, destination);
    if (!verdict) {
        return cli_exit::kSuccess;
    }
    switch (check.verdict) {
    case SIdentityCheck::EVerdict::kDidNotTake:
        err << "send: " << verdict->plain() << "\n";
        return cli_exit::kDidNotTake;
    case SIdentityCheck::EVerdict::kStopped:
        err << "send: " << verdict->plain() << "\n";
        return cli_exit::interruptedBy(signal);
    default:
        // Not knowing is no failure: many instruments never say.
        out << verdict->plain() << "\n";
        return cli_exit::kSuccess;
    }
}

} // namespace

CLI::App* CSendCommand::attach(CLI::App& inApp)
{
    CLI::App* cmd = inApp.add_subcommand(
        "send", "Send an update file to a MIDI destination, each SysEx message at its time, with progress on "
                "standard error.");
    cmd->add_option("file", m_file, "The update file (default: the bundled \"mirelo updater.dat\")")
        ->option_text("FILE");
    cmd->add_option("--to", m_to,
                    "The destination: its index in `list`, its display name, or a case-insensitive prefix "
                    "of exactly one display name. Without --to, send uses the one hardware destination (the "
                    "instrument, connected by USB) and never guesses: with none (only software ports such as "
                    "Midi Through) or several it sends nothing, lists the candidates and exits with 3. With "
                    "--capture the capture file is the destination")
        ->option_text("INDEX|NAME");
    cmd->add_option("--capture", m_capture,
                    "Send to a capture destination instead of MIDI hardware: every message goes to OUT.syx "
                    "unchanged, and one row per message (index,sent_us,bytes) to OUT.syx.csv")
        ->option_text("OUT.syx");
    cmd->add_flag("--no-identify", m_noIdentify,
                  "Send no identity request: the instrument is not asked which firmware it runs before and after "
                  "the update, for instruments that take any message besides the update badly");
    cmd->footer("Before the first message send asks the instrument which firmware it runs (a MIDI Device Inquiry, "
                "answered on the instrument's own MIDI source; never with --capture or --no-identify, nor where "
                "the destination has no source of its own), and after the last it waits up to 30 s for it to "
                "answer again, following it by name through a restart, and prints \"instrument: firmware 1.0 "
                "\u2192 1.1\". When the update file carries a version (the header message of the project's "
                "firmware format; `inspect` shows it), the instrument's answer says whether the update took. No "
                "request goes out between the update's first and last message. An instrument that does not answer "
                "is not waited for, and not knowing is no failure.\n"
                "Every send is kept as one JSON line in $XDG_STATE_HOME/mirelo-updater/runs.jsonl (see "
                "`history`); a record that cannot be written is a warning.\n"
                "SIGINT, SIGTERM or SIGHUP ends send at any stage: while the update file is read nothing is "
                "sent; during a run the message in flight finishes, nothing more is sent, the capture keeps "
                "exactly what was sent. The status is then 128 + the signal.\nExit status: 0 every message "
                "sent (and, when asked, the instrument reports the version the update carries, or cannot say), 1 "
                "the transfer failed part-way (or the capture could not be written, or another send holds it), 2 "
                "usage or a refused update file, 3 no MIDI system, no destination, or no single instrument to "
                "send to without --to, 5 every message sent but the instrument still reports another version: "
                "the update did not take, 129/130/143 interrupted by SIGHUP/SIGINT/SIGTERM.");
    return cmd;
}

int CSendCommand::endEarly(std::ostream& err, CRunRecord& record, SUpdateRecord::EResult result, int status,
                           const std::string& words)
{
    err << "send: " << words << "\n";
    record.setOutcome(result, words);
    warnIfNotKept(err, record.write());
    return status;
}

int CSendCommand::run(std::ostream& out, std::ostream& err)
{
    using EResult = SUpdateRecord::EResult;
    // Every send is kept, also one that ends before it sends anything.
    CRunRecord record;
    // The run and the signal watch come first: a signal ends `send` at every stage.
    CUpdateRun run;
    std::shared_ptr<CLoadJob> load;
    std::mutex loadMutex; // load is set once the file is known; the watch may read it
    const CSignalWatch signals([&run, &load, &loadMutex](int) {
        run.stop();
        std::lock_guard lock(loadMutex);
        if (load) {
            load->wake();
        }
    });

    // The update file, verified and built once: the transfer sends from this schedule.
    const SUpdateFileLoad located =
        CUpdateFileLoader::locate(m_file ? std::optional<std::filesystem::path>(*m_file) : std::nullopt);
    if (!located.ready()) {
        return endEarly(err, record, EResult::kRefused, cli_exit::kBadInput,
                        CRunReport::notLoaded(located, {}).plain() +
                            "; name a FILE, or set MIRELO_RESOURCES to the folder that holds it.");
    }
    const std::string path = located.path.string();
    record.setFile(located.path, {});
    if (m_capture) {
        if (const auto problem = mirelo::midi::CaptureDestination::pathProblem(path, *m_capture)) {
            return endEarly(err, record, EResult::kFailed, cli_exit::kBadInput,
                            "--capture " + *m_capture + ": " + *problem);
        }
    }
    {
        std::lock_guard lock(loadMutex);
        load = std::make_shared<CLoadJob>(located.path);
        load->start(load);
        if (signals.signal() != 0) {
            load->wake();
        }
    }
    const std::optional<SUpdateFileLoad> loaded = load->wait();
    if (!loaded) {
        return endEarly(err, record, EResult::kInterrupted, cli_exit::interruptedBy(signals.signal()),
                        "interrupted while the update file was read; nothing was sent");
    }
    record.setFile(located.path, loaded->sha256);
    if (!loaded->ready()) {
        return endEarly(err, record,
                        loaded->outcome == SUpdateFileLoad::EOutcome::kOutOfMemory ? EResult::kFailed
                                                                                   : EResult::kRefused,
                        exitStatusFor(*loaded), CRunReport::notLoaded(*loaded, path).plain());
    }
    const CFirmwareSchedule& schedule = load->schedule();

    // The MIDI system, and what to send to.
    std::unique_ptr<mirelo::midi::CaptureDestination> capture;
    if (m_capture) {
        capture = std::make_unique<mirelo::midi::CaptureDestination>(*m_capture);
    }
    std::optional<CInstalledBackend> backend;
    if (capture) {
        backend.emplace(&capture->backend());
    }
    if (const OSStatus status = CMidiEndpoints::probe(); status != noErr) {
        return endEarly(err, record, EResult::kFailed, cli_exit::kNoMidi, CMidiEndpoints::noMidiSystemSentence(status));
    }
    const std::vector<SEndpointInfo> destinations = CMidiEndpoints::destinations();
    if (destinations.empty()) {
        return endEarly(err, record, EResult::kFailed, cli_exit::kNoMidi,
                        "there is no MIDI destination to send to. `mirelo-updater-cli list` shows the destinations "
                        "there are; `mirelo-updater-cli send --capture OUT.syx` sends to a capture file instead.");
    }
    const CDestinationChooser chooser(destinations);
    // A capture file is the one destination there is: nothing to guess.
    const CDestinationChooser::SChoice choice = m_to        ? chooser.choose(*m_to)
                                                : m_capture ? CDestinationChooser::SChoice{}
                                                            : chooser.chooseInstrument();
    if (choice.outcome != CDestinationChooser::EOutcome::kChosen) {
        return endEarly(err, record, EResult::kFailed, exitStatusFor(choice.outcome), choice.message);
    }
    const std::size_t index = choice.index;
    const std::string destinationLabel = destinations[index].label("destination");
    record.setDestination(destinationLabel, destinations[index].hardware);

    // Every check has passed: only now are the capture files touched.
    std::string reason;
    if (capture) {
        if (capture->open(reason) != mirelo::midi::CaptureDestination::OpenResult::kOk) {
            return endEarly(err, record, EResult::kFailed, cli_exit::kFailed, reason);
        }
    }

    // The window's path: controller, manager's output, transfer.
    CInstalledLoop installedLoop;
    mirelo::platform::PlainEventLoop& loop = installedLoop.loop();
    const CStartedController controller;
    if (const OSStatus status = CQORMIDIManager::instance()->openMidiOut(index); status != noErr) {
        return endEarly(err, record, EResult::kFailed, cli_exit::kNoMidi,
                        "cannot open \"" + destinationLabel + "\": " + CRunReport::statusCause(status).plain());
    }
    // The output opens by index, from a list taken before: a device that came
    // or went since moves the list, and the update would go to another device
    // or to none, with every send succeeding.
    if (const std::vector<SEndpointInfo> now = CMidiEndpoints::destinations();
        index >= now.size() || now[index].displayName != destinations[index].displayName) {
        return endEarly(err, record, EResult::kFailed, cli_exit::kNoMidi,
                        "\"" + destinationLabel +
                            "\" went away before the update began; `mirelo-updater-cli list` shows the destinations.");
    }

    // Messages go out in file order, so one due before the message ahead of
    // it leaves late; the user should know before the run, not guess after it.
    if (const std::uint64_t late = schedule.lateByOrder(); late != 0) {
        err << "send: warning: "
            << CRunReport::fileOrderWarning(late, schedule.size(), schedule.mostLateByOrder()).plain()
            << " (`inspect --schedule` shows each)\n";
    }
    if (schedule.duration() > CRunReport::kLongRunMs) {
        err << "send: warning: " << CRunReport::longRunWarning(schedule.duration()).plain() << "\n";
    }
    if (signals.signal() != 0) {
        return endEarly(err, record, EResult::kInterrupted, cli_exit::interruptedBy(signals.signal()),
                        "interrupted before the first message; nothing was sent");
    }

    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    CProgressDisplay display(err, terminal);
    SProgressView view{display, run, schedule, loop};
    view.redraw();
    mirelo::platform::EventLoop::TimerId redrawTimer = 0;
    if (terminal) {
        redrawTimer = loop.addTimer(kRedrawInterval, kRedrawInterval, [&view] { view.redraw(); });
    }
    if (capture) {
        capture->countFrom(run.startInstant());
        run.setFailureDetail([&capture]() -> std::optional<std::string> {
            const std::optional<std::string> failure = capture->failure();
            return failure ? std::optional<std::string>("capture: " + *failure) : std::nullopt;
        });
    }
    run.setDestination(destinationLabel);
    run.setUpdateFile(*loaded);
    // A capture file has nothing to answer with; an unreadable display name
    // could not be followed through a restart.
    if (!capture && !m_noIdentify && !destinations[index].displayName.empty()) {
        run.setIdentityCheck(SIdentitySetup{index, destinations[index].displayName, [&loop, &view, &err] {
                                                loop.post([&view, &err] { view.awaitAnswer(err); });
                                            }});
    }
    const bool started =
        run.start([&schedule, &view](CUpdateRun& self) { return self.send(schedule, &onProgress, &view); },
                  [&loop](const SRunEnd&) { loop.quit(); });
    if (started) {
        loop.run();
    }
    const std::optional<SRunEnd> ended = run.wait();
    if (redrawTimer != 0) {
        loop.removeTimer(redrawTimer);
    }
    const SRunEnd end = ended.value_or(SRunEnd{});
    view.finish(end.progress, end.whole());
    const bool captured = !capture || capture->finish(reason);
    warnIfNotKept(err, end.recordProblem);

    if (!end.whole()) {
        const bool interrupted = end.how == SRunEnd::EHow::kInterrupted;
        err << "send: " << (interrupted ? CRunReport::interrupted(end) : CRunReport::failedAt(end)).plain() << "\n";
        err << "send: " << CRunReport::reached(end, destinationLabel).plain() << ".\n";
        return interrupted ? cli_exit::interruptedBy(signals.signal()) : cli_exit::kFailed;
    }
    out << CRunReport::sent(end, destinationLabel).plain() << "\n";
    if (!captured) {
        err << "send: " << reason << "\n";
        return cli_exit::kFailed;
    }
    return end.identity ? reportIdentity(out, err, *end.identity, destinationLabel, signals.signal())
                        : cli_exit::kSuccess;
}
