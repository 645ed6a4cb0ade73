#include "instrument/IdentityInquiry.h"

#include "instrument/InstrumentPairing.h"
#include "platform/base/Clock.h"
#include "platform/base/Interrupt.h"
#include "QORMIDIManager_Mac.h"

#include <algorithm>
#include <mutex>

namespace {

constexpr std::uint64_t kNanosecondsPerSecond = 1'000'000'000;
// Room for the longest reply without the manager's buffer growing.
constexpr int kInputReserve = 64;

std::uint64_t nanoseconds(std::chrono::nanoseconds span)
{
    return span.count() > 0 ? static_cast<std::uint64_t>(span.count()) : 0;
}

// Takes what the source sends during one wait. Runs on the receive thread
// (inside the manager's critical region) and hands the answer to the waiting
// thread; it must stay cheap, since a port may send anything at any rate.
class CAnswerListener {
public:
    explicit CAnswerListener(Byte deviceId) : m_deviceId(deviceId) {}

    static void onSysEx(void* context, const Byte* data, std::uint32_t length)
    {
        static_cast<CAnswerListener*>(context)->take(data, length);
    }

    // Until the answer came or the deadline on the platform clock passed.
    void waitUntil(std::uint64_t deadline)
    {
        mirelo::platform::Clock& clock = mirelo::platform::clock();
        while (!m_answered.raised()) {
            const std::uint64_t now = clock.monotonicNanoseconds();
            if (now >= deadline) {
                return;
            }
            const std::uint64_t left = deadline - now;
            clock.sleepUnless(left / kNanosecondsPerSecond, left % kNanosecondsPerSecond, m_answered);
        }
    }

    SIdentityAnswer answer() const
    {
        std::lock_guard lock(m_mutex);
        SIdentityAnswer answer;
        answer.outcome = m_identity ? SIdentityAnswer::EOutcome::kAnswered : SIdentityAnswer::EOutcome::kNoAnswer;
        answer.identity = m_identity;
        answer.otherMessages = m_other;
        answer.heardOwnRequest = m_heardRequest;
        return answer;
    }

private:
    void take(const Byte* data, std::uint32_t length)
    {
        const std::optional<SDeviceIdentity> reply = CDeviceInquiry::parseReply(data, length);
        const bool wanted = reply && (m_deviceId == CDeviceInquiry::kEveryDevice || reply->deviceId == m_deviceId);
        {
            std::lock_guard lock(m_mutex);
            if (wanted && !m_identity) {
                m_identity = reply;
            } else {
                ++m_other;
                m_heardRequest = m_heardRequest || CDeviceInquiry::isRequest(data, length);
                return;
            }
        }
        m_answered.raise();
    }

    const Byte m_deviceId;
    mutable std::mutex m_mutex;
    std::optional<SDeviceIdentity> m_identity;
    std::size_t m_other = 0;
    bool m_heardRequest = false;
    mirelo::platform::Interrupt m_answered;
};

SIdentityAnswer failure(SIdentityAnswer::EOutcome outcome, OSStatus status = noErr)
{
    SIdentityAnswer answer;
    answer.outcome = outcome;
    answer.status = status;
    return answer;
}

} // namespace

SIdentityAnswer CIdentityInquiry::ask(CQORMIDIManager& manager, std::size_t sourceIndex, const SOptions& options)
{
    CAnswerListener listener(options.deviceId);
    const OSStatus opened = manager.openMidiIn(sourceIndex, &CAnswerListener::onSysEx, &listener, kInputReserve);
    if (opened != noErr) {
        // The port may exist with no source behind it: close it either way.
        static_cast<void>(manager.closeMidiIn());
        return failure(SIdentityAnswer::EOutcome::kInputFailed, opened);
    }
    // The input is open before the request leaves, so no answer can come too soon.
    const std::array<Byte, CDeviceInquiry::kRequestLength> request = CDeviceInquiry::request(options.deviceId);
    const OSStatus sent = manager.sendLongMessage(request.data(), static_cast<int>(request.size()));
    if (sent == noErr) {
        listener.waitUntil(mirelo::platform::clock().monotonicNanoseconds() + nanoseconds(options.wait));
    }
    // Once closed, the listener is called no more and may go.
    static_cast<void>(manager.closeMidiIn());
    if (sent != noErr) {
        return failure(SIdentityAnswer::EOutcome::kRequestFailed, sent);
    }
    return listener.answer();
}

SIdentityAnswer CIdentityInquiry::askUntil(CQORMIDIManager& manager, const std::string& displayName,
                                           std::chrono::nanoseconds within, const Acceptance& accept,
                                           const SOptions& options)
{
    mirelo::platform::Clock& clock = mirelo::platform::clock();
    const std::uint64_t deadline = clock.monotonicNanoseconds() + nanoseconds(within);
    std::optional<SIdentityAnswer> lastAnswered;
    SIdentityAnswer last = failure(SIdentityAnswer::EOutcome::kGone);
    while (options.stop == nullptr || !options.stop->raised()) {
        const std::uint64_t now = clock.monotonicNanoseconds();
        if (const std::optional<CInstrumentPairing::SFound> found = CInstrumentPairing::find(displayName); !found) {
            // What it said before it went away is no word on what it runs now.
            lastAnswered.reset();
            last = failure(SIdentityAnswer::EOutcome::kGone);
        } else if (!found->source) {
            last = failure(SIdentityAnswer::EOutcome::kNoInput);
        } else if (const OSStatus opened = manager.openMidiOut(found->destination); opened != noErr) {
            last = failure(SIdentityAnswer::EOutcome::kRequestFailed, opened);
        } else {
            // A try never runs past the deadline.
            SOptions once = options;
            const std::uint64_t left = deadline > now ? deadline - now : 0;
            once.wait = std::min(options.wait, std::chrono::nanoseconds(static_cast<std::int64_t>(left)));
            last = ask(manager, *found->source, once);
            if (last.outcome == SIdentityAnswer::EOutcome::kAnswered) {
                if (!accept || accept(last)) {
                    return last;
                }
                lastAnswered = last;
            }
        }
        const std::uint64_t after = clock.monotonicNanoseconds();
        if (after >= deadline) {
            break;
        }
        const std::uint64_t pause = std::min<std::uint64_t>(nanoseconds(kRetryPause), deadline - after);
        if (options.stop != nullptr) {
            clock.sleepUnless(0, pause, *options.stop);
        } else {
            clock.sleep(0, pause);
        }
    }
    return lastAnswered ? *lastAnswered : last;
}
