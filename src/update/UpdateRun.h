#pragma once
// One update run, the same for both front ends: a worker thread sends a
// schedule through the device controller's transfer while the main loop goes
// on. How far it got is read from the transfer's control at any time; its end
// is posted to the main loop, saying how it ended: sent whole, a send failed,
// the output was lost on the way, stopped, or never started because the file
// could not be loaded.
//
// When set up, the run also asks the instrument who it is before the first
// message and after the last (CIdentityCheck), on the worker. Every run it
// starts is kept in the record of updates (CRunRecord), whatever its end.
//
// Threads: start, wait, the setters and the destructor on the main thread;
// stop and progress on any; the body on the worker.

#include "update/IdentityCheck.h"
#include "update/UpdateFileLoader.h"

#include "platform/base/Interrupt.h"
#include "platform/midi/MIDIServices.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

class CFirmwareSchedule;

// How far a run got. Only messages that reached the destination count.
struct SRunProgress {
    std::uint64_t reached = 0;
    std::uint64_t bytes = 0;
    std::uint64_t total = 0;    // messages in the schedule; 0 until it is built
    std::uint64_t fileMs = 0;   // when the file's last message leaves
    std::uint64_t heldUpMs = 0; // how far the sender, held up, moved the rest of the schedule back
};

struct SRunEnd {
    enum class EHow {
        kSent,         // every message reached the destination
        kFailed,       // a send failed (status), or the transfer stopped for a reason of its own
        kOutputClosed, // sends succeeded with no output to go to: the destination went away
        kInterrupted,  // stopped on request after the message in flight
        kNotStarted    // the file could not be loaded (notStarted): nothing was sent
    };

    EHow how = EHow::kNotStarted;
    SRunProgress progress;
    std::uint64_t elapsedMs = 0;       // from the transfer's start to its end
    OSStatus status = noErr;           // kFailed: the refused send's status, 0 when none
    std::optional<std::string> detail; // kFailed: what the destination says about it
    SUpdateFileLoad notStarted;
    // Who the instrument said it was around the run; none when it was not to
    // be asked (setIdentityCheck).
    std::optional<SIdentityCheck> identity;
    // Why the record of the run could not be kept: a warning, never a
    // failure of the run.
    std::optional<std::string> recordProblem;

    bool whole() const { return how == EHow::kSent; }
};

// The instrument to ask before and after the update.
struct SIdentitySetup {
    std::size_t destination = 0; // the index the manager's output is open on
    std::string displayName;     // by which it is found again after a restart
    // On the worker, as the wait for its answer after the update begins.
    std::function<void()> waiting;
};

class CUpdateRun {
public:
    using ProgressProc = bool (*)(int percent, void* context);
    using EndHandler = std::function<void(const SRunEnd&)>;
    // What the worker runs: send() or sendFile(), with what the front end adds.
    using Body = std::function<SRunEnd(CUpdateRun&)>;
    // More about a failed send than its status, when the destination knows it
    // (a capture file that could not be written).
    using FailureDetail = std::function<std::optional<std::string>()>;

    CUpdateRun();
    // Stops a live run after its message in flight and waits for the worker.
    ~CUpdateRun();
    CUpdateRun(const CUpdateRun&) = delete;
    CUpdateRun& operator=(const CUpdateRun&) = delete;

    void setFailureDetail(FailureDetail detail) { m_failureDetail = std::move(detail); }
    // For the runs started from now. None: no request goes out.
    void setIdentityCheck(std::optional<SIdentitySetup> setup) { m_identitySetup = std::move(setup); }
    // The destination the runs send to, as the user knows it: named in the
    // record and its words. None: no device.
    void setDestination(std::optional<std::string> displayName);
    // The file send() sends from, for the record; sendFile() knows its own.
    void setUpdateFile(const SUpdateFileLoad& loaded);

    // Starts the worker on body; its end goes to onEnd on the main loop,
    // unless this run is gone by then. False, starting nothing, while a run
    // is live.
    [[nodiscard]] bool start(Body body, EndHandler onEnd);

    // On the worker: the transfer of schedule, or of the file at path loaded
    // (and verified) again first, since it may have changed since it was shown.
    SRunEnd send(const CFirmwareSchedule& schedule, ProgressProc onProgress, void* context);
    SRunEnd sendFile(const std::filesystem::path& path, ProgressProc onProgress, void* context);

    // The run ends after the message in flight; before start, the next run
    // stops at once. Any thread.
    void stop();
    // The transfer has not returned yet: quitting now leaves the instrument half-written.
    bool live() const;
    // Of the live run, or of the last one when none is.
    SRunProgress progress() const;
    // The instant, in nanoseconds of the monotonic clock, that the next or
    // live run's send times count from; 0 until its transfer starts.
    const std::atomic<std::uint64_t>* startInstant() const;
    // Waits for the worker. The end of the last run, if one was started.
    std::optional<SRunEnd> wait();

private:
    struct SState;

    std::shared_ptr<SState> state() const;
    SRunEnd ended(SState& state, bool transferred);

    mutable std::mutex m_mutex; // m_state: stop() may come from another thread
    std::shared_ptr<SState> m_state;
    std::thread m_worker;
    FailureDetail m_failureDetail;
    std::optional<SIdentitySetup> m_identitySetup;
    std::optional<std::string> m_destination;
    bool m_destinationIsHardware = false;
    std::filesystem::path m_file;
    std::string m_fileSha256;
    // Expires with the run: an end posted after that finds no one to tell.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};
