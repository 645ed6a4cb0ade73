#include "update/UpdateRun.h"

#include "schedule/FirmwareSchedule.h"
#include "update/FirmwareVersion.h"
#include "update/RunRecord.h"

#include "QORMIDIManager_Mac.h"
#include "ZAVController.h"
#include "platform/base/Clock.h"
#include "platform/base/EventLoop.h"

namespace {

constexpr std::uint64_t kNanosecondsPerMillisecond = 1'000'000;

std::uint64_t lessOrZero(std::uint64_t value, std::uint64_t taken)
{
    return value > taken ? value - taken : 0;
}

} // namespace

// What one run's worker writes and anyone may read.
struct CUpdateRun::SState {
    mirelo::platform::Interrupt stop;
    std::atomic<std::uint64_t> startNanoseconds{0};
    std::atomic<std::uint64_t> sent{0};
    std::atomic<std::uint64_t> bytes{0};
    std::atomic<OSStatus> failedStatus{noErr};
    std::atomic<std::uint64_t> heldUpMs{0};
    std::atomic<std::uint64_t> total{0};
    std::atomic<std::uint64_t> fileMs{0};
    // The manager's count of sends that found no output, as the run began.
    std::atomic<std::uint64_t> unsentMessagesBefore{0};
    std::atomic<std::uint64_t> unsentBytesBefore{0};
    std::atomic<bool> live{false};
    bool started = false; // guarded by the run's mutex

    std::mutex endMutex;
    std::optional<SRunEnd> end;

    // What the run is about, fixed when it starts; the worker's from then on.
    std::optional<SIdentitySetup> identitySetup;
    CRunReport::Destination destination;
    CRunRecord record;

    // Sends since the run began that went nowhere because no output was open.
    CQORMIDIManager::SUnsent unsentSinceStart() const
    {
        const CQORMIDIManager* manager = CQORMIDIManager::instance();
        if (manager == nullptr) {
            return {};
        }
        const CQORMIDIManager::SUnsent now = manager->unsentLongMessages();
        return {lessOrZero(now.messages, unsentMessagesBefore.load(std::memory_order_acquire)),
                lessOrZero(now.bytes, unsentBytesBefore.load(std::memory_order_acquire))};
    }

    SRunProgress measure() const
    {
        const CQORMIDIManager::SUnsent unsent = unsentSinceStart();
        SRunProgress progress;
        progress.reached = lessOrZero(sent.load(std::memory_order_acquire), unsent.messages);
        progress.bytes = lessOrZero(bytes.load(std::memory_order_acquire), unsent.bytes);
        progress.total = total.load(std::memory_order_acquire);
        progress.fileMs = fileMs.load(std::memory_order_acquire);
        progress.heldUpMs = heldUpMs.load(std::memory_order_acquire);
        return progress;
    }
};

CUpdateRun::CUpdateRun() : m_state(std::make_shared<SState>()) {}

CUpdateRun::~CUpdateRun()
{
    stop();
    static_cast<void>(wait());
}

std::shared_ptr<CUpdateRun::SState> CUpdateRun::state() const
{
    std::lock_guard lock(m_mutex);
    return m_state;
}

bool CUpdateRun::start(Body body, EndHandler onEnd)
{
    std::shared_ptr<SState> state;
    {
        std::lock_guard lock(m_mutex);
        if (m_state->live.load(std::memory_order_acquire)) {
            return false;
        }
        // A stop asked for before this start holds for it; a run that has
        // been started once is not started again.
        if (m_state->started) {
            m_state = std::make_shared<SState>();
        }
        m_state->started = true;
        m_state->live.store(true, std::memory_order_release);
        state = m_state;
        state->identitySetup = m_identitySetup;
        state->destination = m_destination;
        state->record = CRunRecord();
        state->record.setFile(m_file, m_fileSha256);
        if (m_destination) {
            state->record.setDestination(*m_destination, m_destinationIsHardware);
        }
    }
    // The last run's worker has returned from its transfer: at most its end is still on the way.
    if (m_worker.joinable()) {
        m_worker.join();
    }
    m_worker = std::thread(
        [this, state, body = std::move(body), onEnd = std::move(onEnd), alive = std::weak_ptr<int>(m_alive)] {
            SRunEnd end = body(*this);
            state->record.setEnd(end, state->destination);
            end.recordProblem = state->record.write();
            {
                std::lock_guard lock(state->endMutex);
                state->end = end;
            }
            state->live.store(false, std::memory_order_release);
            mirelo::platform::mainLoop().post([alive, onEnd, end = std::move(end)] {
                if (alive.lock() && onEnd) {
                    onEnd(end);
                }
            });
        });
    return true;
}

void CUpdateRun::setDestination(std::optional<std::string> displayName)
{
    // Asked now, while the destination is surely there: the record is
    // written at the run's end, when it may be gone.
    m_destinationIsHardware = displayName && CRunRecord::isHardware(*displayName);
    m_destination = std::move(displayName);
}

void CUpdateRun::setUpdateFile(const SUpdateFileLoad& loaded)
{
    m_file = loaded.path;
    m_fileSha256 = loaded.sha256;
}

SRunEnd CUpdateRun::sendFile(const std::filesystem::path& path, ProgressProc onProgress, void* context)
{
    CFirmwareSchedule schedule;
    SUpdateFileLoad load = CUpdateFileLoader::load(path, schedule);
    state()->record.setFile(path, load.sha256);
    if (!load.ready()) {
        SRunEnd end;
        end.how = SRunEnd::EHow::kNotStarted;
        end.notStarted = std::move(load);
        return end;
    }
    return send(schedule, onProgress, context);
}

SRunEnd CUpdateRun::send(const CFirmwareSchedule& schedule, ProgressProc onProgress, void* context)
{
    const std::shared_ptr<SState> run = state();
    run->total.store(schedule.size(), std::memory_order_release);
    run->fileMs.store(schedule.duration(), std::memory_order_release);
    if (const CQORMIDIManager* manager = CQORMIDIManager::instance()) {
        const CQORMIDIManager::SUnsent before = manager->unsentLongMessages();
        run->unsentMessagesBefore.store(before.messages, std::memory_order_release);
        run->unsentBytesBefore.store(before.bytes, std::memory_order_release);
    }
    CQORMIDIManager* manager = CQORMIDIManager::instance();
    std::optional<SIdentityCheck> identity;
    if (run->identitySetup && manager != nullptr) {
        identity = CIdentityCheck::before(*manager, run->identitySetup->destination, run->identitySetup->displayName,
                                          CFirmwareVersion::ofSchedule(schedule));
    }
    STransferControl control;
    control.stop = &run->stop;
    control.startNanoseconds = &run->startNanoseconds;
    control.sentMessages = &run->sent;
    control.sentBytes = &run->bytes;
    control.failedStatus = &run->failedStatus;
    control.heldUpMs = &run->heldUpMs;
    const bool transferred = CZAVController::instance()->updateFirmware(schedule, onProgress, context, control);
    SRunEnd end = ended(*run, transferred);
    if (identity) {
        if (!end.whole()) {
            CIdentityCheck::incomplete(*identity);
        } else if (identity->before.identity) {
            if (run->identitySetup->waiting) {
                run->identitySetup->waiting();
            }
            CIdentityCheck::after(*manager, run->identitySetup->displayName, *identity, &run->stop);
        }
        end.identity = identity;
    }
    return end;
}

SRunEnd CUpdateRun::ended(SState& state, bool transferred)
{
    SRunEnd end;
    end.progress = state.measure();
    if (const std::uint64_t start = state.startNanoseconds.load(std::memory_order_acquire); start != 0) {
        end.elapsedMs =
            lessOrZero(mirelo::platform::clock().monotonicNanoseconds(), start) / kNanosecondsPerMillisecond;
    }
    end.status = state.failedStatus.load(std::memory_order_acquire);
    if (transferred) {
        // Success from the transfer, yet messages went nowhere: the manager
        // closed the output of a device that went away, and sends to a closed
        // output succeed.
        end.how = state.unsentSinceStart().messages == 0 ? SRunEnd::EHow::kSent : SRunEnd::EHow::kOutputClosed;
    } else if (end.status == noErr && state.stop.raised()) {
        end.how = SRunEnd::EHow::kInterrupted;
    } else {
        end.how = SRunEnd::EHow::kFailed;
        if (m_failureDetail) {
            end.detail = m_failureDetail();
        }
    }
    return end;
}

void CUpdateRun::stop()
{
    state()->stop.raise();
}

bool CUpdateRun::live() const
{
    return state()->live.load(std::memory_order_acquire);
}

SRunProgress CUpdateRun::progress() const
{
    const std::shared_ptr<SState> run = state();
    {
        std::lock_guard lock(run->endMutex);
        if (run->end) {
            return run->end->progress;
        }
    }
    return run->measure();
}

const std::atomic<std::uint64_t>* CUpdateRun::startInstant() const
{
    return &state()->startNanoseconds;
}

std::optional<SRunEnd> CUpdateRun::wait()
{
    if (m_worker.joinable()) {
        m_worker.join();
    }
    const std::shared_ptr<SState> run = state();
    std::lock_guard lock(run->endMutex);
    return run->end;
}
