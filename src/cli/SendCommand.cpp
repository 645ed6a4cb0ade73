#include "cli/SendCommand.h"

#include "cli/CountingBackend.h"
#include "cli/DestinationChooser.h"
#include "cli/ExitStatus.h"
#include "cli/MidiEndpoints.h"
#include "cli/ProgressDisplay.h"
#include "cli/ScheduleLoader.h"
#include "cli/SignalWatch.h"
#include "update/StatusText.h"

#include "update/FirmwareSchedule.h"
#include "platform/base/Bundle.h"
#include "platform/base/Clock.h"
#include "platform/base/Interrupt.h"
#include "platform/midi/MidiBackend.h"
#include "platform/midi/virtual/CaptureDestination.h"
#include "platform/base/PlainEventLoop.h"
#include "QORMIDIManager_Mac.h"
#include "ZAVController.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>
#include <unistd.h>

namespace {

constexpr const char* kBundledFileName = "mirelo updater.dat";
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

// Messages go out in file order, so one due before the message ahead of it
// leaves late; the user should know before the run, not guess after it.
void warnAboutFileOrder(const CFirmwareSchedule& schedule, std::ostream& err)
{
    const std::uint64_t late = schedule.lateByOrder();
    if (late == 0) {
        return;
    }
    err << "send: warning: " << late << " of " << schedule.size()
        << " messages are due before a message ahead of them in the file and will leave up to "
        << schedule.mostLateByOrder()
        << " ms late (`inspect --schedule` shows each)\n";
}

// Owns what a run installs process-wide (a capture backend, the counting
// wrapper, the main loop) and takes it down in the right order however `send`
// ends: the controller and its manager first, while the backend and the loop
// they use still exist.
class CRunScope {
public:
    CRunScope() = default;
    CRunScope(const CRunScope&) = delete;
    CRunScope& operator=(const CRunScope&) = delete;
    ~CRunScope()
    {
        if (m_controllerStarted) {
            CZAVController::terminate();
        }
        mirelo::midi::setActiveBackend(nullptr);
        if (loop) {
            mirelo::platform::setMainLoop(nullptr);
        }
    }

    void startController()
    {
        CZAVController::initialize();
        m_controllerStarted = true;
    }

    std::unique_ptr<mirelo::midi::CaptureDestination> capture;
    std::unique_ptr<CCountingBackend> counting;
    std::unique_ptr<mirelo::platform::PlainEventLoop> loop;

private:
    bool m_controllerStarted = false;
};

} // namespace

struct CSendCommand::SRun {
    mirelo::platform::PlainEventLoop& loop;
    CProgressDisplay& display;
    const CCountingBackend& counting;
    std::uint64_t startMs;
    int percent = 0; // main thread only

    void redraw() { display.update(percent, counting.messagesSent(), nowMs() - startMs); }
};

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
    cmd->footer(std::string("SIGINT, SIGTERM or SIGHUP during a run: the message in flight finishes, nothing more "
                            "is sent, the capture keeps exactly what was sent, and the status is 128 + the "
                            "signal.\nExit status: 0 every message sent, 1 the transfer failed part-way (or the "
                            "capture could not be written, or another send holds it), 2 usage or a refused update "
                            "file, 3 no MIDI system, no destination, or no single instrument to send to without "
                            "--to, 129/130/143 interrupted by SIGHUP/SIGINT/SIGTERM.\nTest hook: ") +
                mirelo::midi::VirtualBackend::kFailSendVariable +
                "=k:status makes the k-th send of the virtual backend fail with the status.");
    return cmd;
}

bool CSendCommand::onProgress(int percent, void* context)
{
    // Runs on the transfer's thread: hand the value over and return at once,
    // so the sends never wait for the terminal.
    auto* run = static_cast<SRun*>(context);
    run->loop.post([run, percent] {
        run->percent = percent;
        run->redraw();
    });
    return true;
}

int CSendCommand::run(std::ostream& out, std::ostream& err)
{
    // The update file.
    std::string path;
    if (m_file) {
        path = *m_file;
    } else {
        const mirelo::platform::Bundle* bundle = mirelo::platform::mainBundle();
        const auto found = bundle ? bundle->pathForResource(kBundledFileName) : std::nullopt;
        if (!found) {
            err << "send: the bundled update file \"" << kBundledFileName
                << "\" was not found in the resource folder"
                << (bundle ? " " + bundle->resourcePath().string() : std::string())
                << "; name a FILE, or set MIRELO_RESOURCES to the folder that holds it.\n";
            return cli_exit::kBadInput;
        }
        path = found->string();
    }
    if (m_capture) {
        if (const auto problem = mirelo::midi::CaptureDestination::pathProblem(path, *m_capture)) {
            err << "send: --capture " << *m_capture << ": " << *problem << "\n";
            return cli_exit::kBadInput;
        }
    }
    // Verified and built once; the transfer sends from this schedule.
    CFirmwareSchedule schedule;
    if (const int status = CScheduleLoader::load(path, schedule, err, "send: "); status != cli_exit::kSuccess) {
        return status;
    }
    const std::uint64_t total = schedule.size();
    std::string reason;

    // Before any thread of the run exists, so that every one of them leaves
    // the run's signals to the watch.
    mirelo::platform::Interrupt interrupt;
    const CSignalWatch signals(interrupt);

    // The MIDI system, and what to send to.
    CRunScope scope;
    if (m_capture) {
        scope.capture = std::make_unique<mirelo::midi::CaptureDestination>(*m_capture);
        mirelo::midi::setActiveBackend(&scope.capture->backend());
    }
    mirelo::midi::MidiBackend& backend = mirelo::midi::activeBackend();
    if (const OSStatus status = CMidiEndpoints::probe(); status != noErr) {
        err << "send: " << CMidiEndpoints::noMidiSystemSentence(status) << "\n";
        return cli_exit::kNoMidi;
    }
    const std::vector<SEndpointInfo> destinations = CMidiEndpoints::destinations();
    if (destinations.empty()) {
        err << "send: there is no MIDI destination to send to. `mirelo-updater-cli list` shows the destinations "
               "there are; `mirelo-updater-cli send --capture OUT.syx` sends to a capture file instead.\n";
        return cli_exit::kNoMidi;
    }
    const CDestinationChooser chooser(destinations);
    // A capture file is the one destination there is: nothing to guess.
    const CDestinationChooser::SChoice choice = m_to        ? chooser.choose(*m_to)
                                                : m_capture ? CDestinationChooser::SChoice{}
                                                            : chooser.chooseInstrument();
    if (choice.outcome != CDestinationChooser::EOutcome::kChosen) {
        err << "send: " << choice.message << "\n";
        return exitStatusFor(choice.outcome);
    }
    const std::size_t index = choice.index;
    const std::string destinationLabel = destinations[index].label("destination");

    // Every check has passed: only now are the capture files touched.
    if (scope.capture) {
        if (const auto opened = scope.capture->open(reason); opened != mirelo::midi::CaptureDestination::OpenResult::kOk) {
            err << "send: " << reason << "\n";
            return cli_exit::kFailed;
        }
    }

    // The window's path: controller, manager's output, transfer.
    scope.counting = std::make_unique<CCountingBackend>(backend);
    const CCountingBackend& counting = *scope.counting;
    mirelo::midi::setActiveBackend(scope.counting.get());
    scope.loop = std::make_unique<mirelo::platform::PlainEventLoop>();
    mirelo::platform::PlainEventLoop& loop = *scope.loop;
    mirelo::platform::setMainLoop(&loop);
    scope.startController();
    if (const OSStatus status = CQORMIDIManager::instance()->openMidiOut(index); status != noErr) {
        err << "send: cannot open \"" << destinationLabel << "\": status " << CStatusText::name(status) << ": "
            << CStatusText::meaning(status) << "\n";
        return cli_exit::kNoMidi;
    }
    // The output opens by index, from a list taken before: a device that came
    // or went since moves the list, and the update would go to another device
    // or to none, with every send succeeding.
    if (const std::vector<SEndpointInfo> now = CMidiEndpoints::destinations();
        index >= now.size() || now[index].displayName != destinations[index].displayName) {
        err << "send: \"" << destinationLabel << "\" went away before the update began; `mirelo-updater-cli list` "
            << "shows the destinations.\n";
        return cli_exit::kNoMidi;
    }

    warnAboutFileOrder(schedule, err);
    CProgressDisplay display(err, ::isatty(STDERR_FILENO) == 1, total, schedule.duration());
    SRun progress{loop, display, counting, nowMs()};
    if (signals.signal() != 0) {
        err << "send: interrupted before the first message; nothing was sent\n";
        return cli_exit::interruptedBy(signals.signal());
    }
    progress.redraw();
    mirelo::platform::EventLoop::TimerId redrawTimer = 0;
    if (::isatty(STDERR_FILENO) == 1) {
        redrawTimer = loop.addTimer(kRedrawInterval, kRedrawInterval, [&progress] { progress.redraw(); });
    }

    std::atomic<std::uint64_t> startNanoseconds{0};
    if (scope.capture) {
        scope.capture->countFrom(&startNanoseconds);
    }
    bool sent = false;
    std::thread worker([&] {
        sent = CZAVController::instance()->updateFirmware(schedule, &CSendCommand::onProgress, &progress,
                                                          STransferControl{&interrupt, &startNanoseconds});
        loop.post([&loop] { loop.quit(); });
    });
    loop.run();
    worker.join();
    if (redrawTimer != 0) {
        loop.removeTimer(redrawTimer);
    }
    const std::uint64_t elapsedMs = nowMs() - progress.startMs;
    const std::uint64_t done = counting.messagesSent();
    // A transfer that ran to its end without every message reaching the
    // backend lost its output on the way: the manager closes the output of a
    // device that has gone, and sends to a closed output succeed.
    const bool whole = sent && done == total;
    // 100% means the whole update went out, and nothing less may show it.
    display.finish(whole ? 100 : std::min(progress.percent, CProgressDisplay::kMostWhileRunning), done, elapsedMs);
    const bool captured = !scope.capture || scope.capture->finish(reason);

    const int signal = signals.signal();
    const bool interrupted = !sent && signal != 0 && counting.firstFailure() == noErr;
    if (!whole) {
        if (interrupted) {
            err << "send: interrupted after message " << done << " of " << total
                << "; the instrument must be updated again\n";
        } else if (!captured) {
            err << "send: send failed at message " << done + 1 << " of " << total << ": capture: " << reason << "\n";
        } else if (const OSStatus status = counting.firstFailure(); status != noErr) {
            err << "send: send failed at message " << done + 1 << " of " << total << ": status "
                << CStatusText::name(status) << ": " << CStatusText::meaning(status) << "\n";
        } else if (sent) {
            err << "send: send failed at message " << done + 1 << " of " << total
                << ": the destination went away and its output was closed\n";
        } else {
            err << "send: the transfer stopped after " << done << " of " << total << " messages\n";
        }
        err << "send: " << done << " of " << total << " messages (" << counting.bytesSent() << " bytes) reached \""
            << destinationLabel << "\"; the instrument must receive the whole update: send it again.\n";
        return interrupted ? cli_exit::interruptedBy(signal) : cli_exit::kFailed;
    }

    out << "sent " << done << " messages (" << counting.bytesSent() << " bytes) in "
        << CProgressDisplay::formatDuration(elapsedMs) << " to \"" << destinationLabel << "\"\n";
    if (!captured) {
        err << "send: " << reason << "\n";
        return cli_exit::kFailed;
    }
    return cli_exit::kSuccess;
}
