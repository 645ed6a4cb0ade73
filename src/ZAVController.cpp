#include "ZAVController.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ctime>

#include "schedule/FirmwareSchedule.h"
#include "mstd/GenericException.h"
#include "platform/base/Clock.h"
#include "platform/base/Interrupt.h"
#include "platform/base/ScopedCriticalRegion.h"
#include "platform/base/TimerSlack.h"
#include "QORMIDIManager_Mac.h"

namespace {

constexpr EventTimerInterval kTimerInterval = 50 * kEventDurationMillisecond;
constexpr int kMidiInReserve = 512;
constexpr std::int64_t kHeartbeatTimeoutSeconds = 3;
constexpr std::int32_t kErrInstrumentNotOpened = 1000;
constexpr std::int32_t kErrHeartbeatSeen = 1002;
// Diagnostics name the source file and line as the rest of the system's
// messages do; the line is the one the message has always carried.
constexpr const char* kSourceFileName = "ZAVController.cpp";
constexpr int kCriticalRegionErrorLine = 224;

constexpr std::uint64_t kNanosecondsPerMillisecond = 1'000'000;
constexpr std::uint64_t kNanosecondsPerSecond = 1'000'000'000;
// A message this much later than its time means the sender was held up.
constexpr std::uint64_t kHeldUpNanoseconds = kNanosecondsPerMillisecond;
// Long waits are slept an hour at a time: no span handed to the clock can
// overflow whatever it is added to there, and a message due in years is
// waited for with one wake-up an hour, not a spin.
constexpr std::uint64_t kLongestSleepNanoseconds = 3600 * kNanosecondsPerSecond;

EventLoopTimerUPP sTimerUPP = nullptr;

std::uint64_t monotonicNanoseconds()
{
    return AbsoluteToNanoseconds(UpTime()).value;
}

// Times too far off for 64-bit nanoseconds (584 years) stay at the largest
// count: never reached, waited for an hour at a time.
std::uint64_t saturatingAdd(std::uint64_t a, std::uint64_t b)
{
    return a > UINT64_MAX - b ? UINT64_MAX : a + b;
}

std::uint64_t nanosecondsOf(std::uint64_t milliseconds)
{
    return milliseconds > UINT64_MAX / kNanosecondsPerMillisecond ? UINT64_MAX
                                                                  : milliseconds * kNanosecondsPerMillisecond;
}

// The next sleep from `now` towards `due`, which is later.
timespec spanUntilDue(std::uint64_t due, std::uint64_t now)
{
    const std::uint64_t span = std::min(due - now, kLongestSleepNanoseconds);
    timespec out{};
    out.tv_sec = static_cast<time_t>(span / kNanosecondsPerSecond);
    out.tv_nsec = static_cast<long>(span % kNanosecondsPerSecond);
    return out;
}

} // namespace

CZAVController* CZAVController::s_instance = nullptr;

// ---------------------------------------------------------------- singleton

void CZAVController::initialize()
{
    if (s_instance != nullptr) {
        return;
    }
    // The context is null because the controller does not exist yet, and it
    // stays so: the procedure never reaches healthCheck in the program.
    CQORMIDIManager::initialize(MIDINotifyProc, nullptr);
    s_instance = new CZAVController();
}

CZAVController* CZAVController::instance()
{
    if (s_instance == nullptr) {
        initialize();
    }
    return s_instance;
}

void CZAVController::terminate()
{
    if (s_instance == nullptr) {
        return;
    }
    CZAVController* controller = s_instance;
    s_instance = nullptr;
    delete controller;
    CQORMIDIManager::terminate();
}

CZAVController::CZAVController()
{
    if (sTimerUPP == nullptr) {
        sTimerUPP = procTimer;
    }
    // Fails only for a null procedure, which sTimerUPP is not.
    static_cast<void>(
        InstallEventLoopTimer(GetMainEventLoop(), kTimerInterval, kTimerInterval, sTimerUPP, this, &m_timer));
    if (MPCreateCriticalRegion(&m_criticalRegion) != noErr) {
        std::fprintf(stderr, "%s (%s:%d)\n", "MPCreateCriticalRegion returned error.", kSourceFileName,
                     kCriticalRegionErrorLine);
    }
}

CZAVController::~CZAVController()
{
    closeZAV();
    // Teardown: a refusal here leaves nothing to undo.
    if (m_timer != nullptr) {
        static_cast<void>(RemoveEventLoopTimer(m_timer));
        m_timer = nullptr;
    }
    static_cast<void>(MPDeleteCriticalRegion(m_criticalRegion));
    m_criticalRegion = nullptr;
}

// ---------------------------------------------------------------- callbacks

void CZAVController::MIDINotifyProc(const MIDINotification* message, void* refCon)
{
    if (message == nullptr || message->messageID != kMIDIMsgObjectRemoved) {
        return;
    }
    std::fprintf(stderr, "%s\n", "A MIDI Device removed!");
    // Null as start-up registers it; only a caller that hands the controller
    // in gets the health check.
    if (refCon != nullptr) {
        static_cast<CZAVController*>(refCon)->healthCheck();
    }
}

void CZAVController::procTimer(EventLoopTimerRef /*timer*/, void* context)
{
    if (context == nullptr) {
        return;
    }
    // A tick runs listener code; whatever it throws must not end the timer.
    try {
        static_cast<CZAVController*>(context)->doTimerFunc();
    } catch (...) {
        std::fprintf(stderr, "%s\n", "Exception caught!");
    }
}

void CZAVController::procMIDIIn(void* /*context*/, const Byte* /*data*/, std::uint32_t /*length*/) {}

void CZAVController::handleMIDIIn(const Byte* /*data*/, std::uint32_t /*length*/) {}

bool CZAVController::receiveHeartbeatMessage(const Byte* /*data*/, std::uint32_t /*length*/)
{
    return true;
}

bool CZAVController::checkHeartbeat() const
{
    return m_lastHeartbeat != 0;
}

// ---------------------------------------------------------------- the instrument

bool CZAVController::openZAV()
{
    closeZAV();
    CQORMIDIManager* manager = CQORMIDIManager::instance();
    if (manager == nullptr) {
        return false;
    }
    std::vector<std::string> sources;
    manager->getMidiInDevices(sources);
    for (std::size_t i = 0; i < sources.size(); ++i) {
        const std::string& model = sources[i];
        if (model.find("ZAV5") == std::string::npos && model.find("ZAV10") == std::string::npos) {
            continue;
        }
        std::vector<std::string> destinations;
        manager->getMidiOutDevices(destinations);
        for (std::size_t j = 0; j < destinations.size(); ++j) {
            if (destinations[j] == model) {
                openMidiIn(static_cast<int>(i));
                openMidiOut(static_cast<int>(j));
                return true;
            }
        }
    }
    return false;
}

void CZAVController::closeZAV()
{
    if (CQORMIDIManager* manager = CQORMIDIManager::instance()) {
        manager->closeMidiIn();
        manager->closeMidiOut();
    }
    m_lastHeartbeat = 0;
}

void CZAVController::openMidiIn(int sourceIndex)
{
    CQORMIDIManager* manager = CQORMIDIManager::instance();
    if (manager == nullptr) {
        throw mstd::CGenericException(kErrInstrumentNotOpened, 0, "");
    }
    const auto index = static_cast<unsigned long>(static_cast<long>(sourceIndex));
    OSStatus status = manager->openMidiIn(index, procMIDIIn, this, kMidiInReserve);
    if (status != noErr) {
        throw mstd::CGenericException(kErrInstrumentNotOpened, status, "");
    }
    status = manager->startMidiIn();
    if (status != noErr) {
        throw mstd::CGenericException(kErrInstrumentNotOpened, status, "");
    }
}

void CZAVController::openMidiOut(int destinationIndex)
{
    CQORMIDIManager* manager = CQORMIDIManager::instance();
    if (manager == nullptr) {
        throw mstd::CGenericException(kErrInstrumentNotOpened, 0, "");
    }
    const auto index = static_cast<unsigned long>(static_cast<long>(destinationIndex));
    OSStatus status = manager->openMidiOut(index);
    if (status != noErr) {
        throw mstd::CGenericException(kErrInstrumentNotOpened, status, "");
    }
    status = manager->startMidiOut();
    if (status != noErr) {
        throw mstd::CGenericException(kErrInstrumentNotOpened, status, "");
    }
}

void CZAVController::openZAVForUpdate()
{
    if (!openZAV()) {
        throw mstd::CGenericException(kErrInstrumentNotOpened, 0, "");
    }
    // Give a running instrument the time to show its heartbeat. Nothing
    // records one, so the check after the wait never throws.
    const timespec oneSecond{1, 0};
    platformNanosleep(&oneSecond);
    if (m_lastHeartbeat != 0) {
        closeZAV();
        throw mstd::CGenericException(kErrHeartbeatSeen, 0, "");
    }
}

void CZAVController::healthCheck()
{
    CQORMIDIManager* manager = CQORMIDIManager::instance();
    if (manager != nullptr) {
        manager->healthCheck();
        if (manager->isOpenedMidiIn()) {
            return;
        }
    }
    m_lastHeartbeat = 0;
    handToListeners(kEventHeartbeatLost, 0, 0);
}

// ---------------------------------------------------------------- listeners and the tick

void CZAVController::addListenerCallback(ListenerCallback callback, void* context)
{
    m_listeners.emplace_back(callback, context);
}

void CZAVController::removeListenerCallback(ListenerCallback callback)
{
    for (auto it = m_listeners.begin(); it != m_listeners.end(); ++it) {
        if (it->first == callback) {
            m_listeners.erase(it);
            return;
        }
    }
}

void CZAVController::handToListeners(EQOREventID event, int param1, int param2)
{
    if (s_instance == nullptr) {
        return;
    }
    // A listener that adds or removes listeners must not pull the list from
    // under this loop; the change counts from the next event on.
    const auto listeners = m_listeners;
    for (const auto& [callback, context] : listeners) {
        if (callback != nullptr) {
            callback(context, event, param1, param2);
        }
    }
}

void CZAVController::notifyQOREvent(EQOREventID event, int param1, int param2)
{
    handToListeners(event, param1, param2);
}

void CZAVController::notifyQOREventAsync(EQOREventID event, int param1, int param2)
{
    if (s_instance == nullptr) {
        return;
    }
    mirelo::platform::ScopedCriticalRegion hold(m_criticalRegion);
    m_eventQueue.push_back(QOREvent{event, param1, param2});
}

void CZAVController::doTimerFunc()
{
    {
        // The region is re-entrant, so a listener may post from here; its
        // event is delivered in this same drain.
        mirelo::platform::ScopedCriticalRegion hold(m_criticalRegion);
        while (!m_eventQueue.empty()) {
            const QOREvent event = m_eventQueue.front();
            m_eventQueue.pop_front();
            handToListeners(event.event, event.param1, event.param2);
        }
    }
    // Unreachable while nothing records a heartbeat: the tick goes on to
    // report that there is none.
    if (m_lastHeartbeat != 0) {
        const std::int64_t now = platformTime();
        if (now - m_lastHeartbeat < kHeartbeatTimeoutSeconds) {
            return;
        }
        m_lastHeartbeat = 0;
        handToListeners(kEventHeartbeatLost, 0, 0);
        return;
    }
    handToListeners(kEventNoHeartbeat, 0, 0);
}

// ---------------------------------------------------------------- the firmware transfer

bool CZAVController::updateFirmware(const std::uint8_t* data, std::uint32_t length, ProgressProc progress,
                                    void* context)
{
    CFirmwareSchedule schedule;
    if (schedule.build(data, length) != CFirmwareSchedule::EResult::kOk) {
        return false;
    }
    return updateFirmware(schedule, progress, context);
}

bool CZAVController::updateFirmware(const CFirmwareSchedule& schedule, ProgressProc progress, void* context,
                                    const STransferControl& control)
{
    CQORMIDIManager* manager = CQORMIDIManager::instance();
    if (manager == nullptr || schedule.empty()) {
        return false;
    }

    // Send times count from a whole millisecond, the one the capture's
    // timing log counts from too.
    const std::uint64_t startNow = monotonicNanoseconds();
    const std::uint64_t start = startNow - startNow % kNanosecondsPerMillisecond;
    if (control.startNanoseconds != nullptr) {
        control.startNanoseconds->store(start, std::memory_order_release);
    }
    const auto stopped = [&control] { return control.stop != nullptr && control.stop->raised(); };
    const std::uint64_t count = schedule.size();
    const mirelo::platform::ScopedTimerSlack preciseWakeUps;
    int lastReported = 0;
    std::uint64_t n = 0;
    std::uint64_t heldUp = 0; // how far the rest of the schedule moved back, in nanoseconds
    for (const CFirmwareSchedule::SMessage& message : schedule) {
        // Rounded to nearest in whole numbers: at most 100, so it fits.
        const int percent = static_cast<int>((n * 100 + count / 2) / count);

        const std::uint64_t due = saturatingAdd(start, saturatingAdd(nanosecondsOf(message.leaveTime), heldUp));
        std::uint64_t now = monotonicNanoseconds();
        while (now < due && !stopped()) {
            const timespec span = spanUntilDue(due, now);
            if (control.stop != nullptr) {
                control.stop->sleep(static_cast<std::uint64_t>(span.tv_sec), static_cast<std::uint64_t>(span.tv_nsec));
            } else {
                platformNanosleep(&span);
            }
            now = monotonicNanoseconds();
        }
        if (stopped()) {
            return false;
        }
        // A sender that was held up (stopped, suspended, starved of the CPU)
        // finds messages overdue. Sent at once they would follow each other
        // closer than the file spaces them, faster than an instrument may
        // take them; instead the rest of the schedule moves back by the delay.
        if (now - due > kHeldUpNanoseconds) {
            heldUp = saturatingAdd(heldUp, now - due);
            if (control.heldUpMs != nullptr) {
                control.heldUpMs->store(heldUp / kNanosecondsPerMillisecond, std::memory_order_release);
            }
        }

        if (const OSStatus status =
                manager->sendLongMessage(message.bytes.data(), static_cast<int>(message.bytes.size()));
            status != noErr) {
            if (control.failedStatus != nullptr) {
                control.failedStatus->store(status, std::memory_order_release);
            }
            return false;
        }
        if (control.sentMessages != nullptr) {
            control.sentMessages->fetch_add(1, std::memory_order_acq_rel);
        }
        if (control.sentBytes != nullptr) {
            control.sentBytes->fetch_add(message.bytes.size(), std::memory_order_acq_rel);
        }
        if (progress != nullptr && percent != lastReported) {
            progress(percent, context);
            lastReported = percent;
        }
        ++n;
    }
    return true;
}
