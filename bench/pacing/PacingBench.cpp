// Pacing of the firmware transfer on the real clock: 2,000 SysEx messages of
// 256 bytes, due 0 to 5 ms apart, sent into the virtual backend. Lateness is
// the packet's recorded timestamp minus the instant the message fell due
// (moved back by however long the sender was held up before it).
//
// Last line: pacing: N messages, early E, lateness p50 A us, p99 B us, max C us, cpu D%

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

#include "schedule/FirmwareSchedule.h"
#include "platform/base/Clock.h"
#include "platform/midi/MidiBackend.h"
#include "testing/ControlledVirtualBackend.h"
#include "QORMIDIManager_Mac.h"
#include "tests/support/SmfImageBuilder.h"
#include "ZAVController.h"

namespace {

constexpr std::uint32_t kMessages = 2000;
constexpr std::uint32_t kMessageSize = 256;
constexpr std::uint32_t kMaxGapMs = 5;
constexpr std::uint64_t kNsPerMs = 1'000'000;

// Passes every call to the real clock and keeps the first monotonic reading
// after arm(): the transfer's start, from which it counts every send time.
class CStartRecordingClock final : public mirelo::platform::Clock {
public:
    explicit CStartRecordingClock(Clock& real) : m_real(real) {}
    void arm() { m_start.store(0); }
    std::uint64_t start() const { return m_start.load(); }

    std::uint64_t monotonicNanoseconds() override
    {
        const std::uint64_t now = m_real.monotonicNanoseconds();
        std::uint64_t expected = 0;
        m_start.compare_exchange_strong(expected, now);
        return now;
    }
    std::uint64_t hostTime() override { return m_real.hostTime(); }
    std::time_t wallSeconds() override { return m_real.wallSeconds(); }
    void sleep(std::uint64_t seconds, std::uint64_t nanoseconds) override { m_real.sleep(seconds, nanoseconds); }

private:
    Clock& m_real;
    std::atomic<std::uint64_t> m_start{0};
};

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

mirelo::test::Bytes buildUpdateFile()
{
    std::mt19937 random(20240607);
    std::uniform_int_distribution<std::uint32_t> gap(0, kMaxGapMs);
    mirelo::test::CSmfImageBuilder builder(1000);
    builder.track().tempo(0, 1'000'000); // one tick per millisecond
    std::uint32_t tick = 0;
    for (std::uint32_t i = 0; i < kMessages; ++i) {
        builder.sysEx(tick, mirelo::test::CSmfImageBuilder::message(kMessageSize, i));
        tick += gap(random);
    }
    return builder.build();
}

std::uint64_t percentile(const std::vector<std::uint64_t>& sorted, double p)
{
    if (sorted.empty()) {
        return 0;
    }
    const auto index = static_cast<std::size_t>(std::llround(p * static_cast<double>(sorted.size() - 1)));
    return sorted[std::min(index, sorted.size() - 1)];
}

} // namespace

int main()
{
    mirelo::midi::ControlledVirtualBackend backend;
    mirelo::midi::setActiveBackend(&backend);
    backend.addDestination({"Capture", "Capture", "Capture"}, {}, mirelo::midi::ControlledVirtualBackend::Announce::No);
    CStartRecordingClock clock(mirelo::platform::clock());
    mirelo::platform::setClock(&clock);

    CZAVController* controller = CZAVController::instance();
    if (CQORMIDIManager::instance()->openMidiOut(0) != noErr) {
        std::fprintf(stderr, "pacing: cannot open the virtual destination\n");
        return 1;
    }

    const mirelo::test::Bytes image = buildUpdateFile();
    CFirmwareSchedule schedule;
    if (schedule.build(image.data(), static_cast<std::uint32_t>(image.size())) != CFirmwareSchedule::EResult::kOk) {
        std::fprintf(stderr, "pacing: the generated update file was refused\n");
        return 1;
    }
    std::printf("schedule: %zu messages, %llu bytes, last due at %llu ms\n", schedule.size(),
                static_cast<unsigned long long>(schedule.totalBytes()),
                static_cast<unsigned long long>(schedule.duration()));

    const double cpuBefore = cpuSeconds();
    const auto wallBefore = std::chrono::steady_clock::now();
    clock.arm();
    std::atomic<std::uint64_t> heldUpMs{0};
    STransferControl control;
    control.heldUpMs = &heldUpMs;
    const bool ok = controller->updateFirmware(schedule, nullptr, nullptr, control);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
    const double cpu = cpuSeconds() - cpuBefore;
    if (!ok) {
        std::fprintf(stderr, "pacing: the transfer failed\n");
        return 1;
    }

    // The transfer counts from the whole millisecond of its start. A message
    // more than a millisecond late moves the rest back by its lateness (the
    // sender was held up); that is replayed here, so each message's lateness
    // counts from the time it was then due.
    const std::uint64_t start = clock.start() - clock.start() % kNsPerMs;
    const auto lists = backend.sentLists();
    std::uint64_t early = 0;
    std::uint64_t movedBack = 0;
    std::vector<std::uint64_t> lateness;
    lateness.reserve(lists.size());
    auto message = schedule.begin();
    for (std::size_t i = 0; i < lists.size() && message != schedule.end(); ++i, ++message) {
        const std::uint64_t due = start + message->leaveTime * kNsPerMs + movedBack;
        const std::uint64_t sentAt = lists[i].packets.empty() ? 0 : lists[i].packets.front().timeStamp;
        if (sentAt < due) {
            ++early;
            lateness.push_back(0);
        } else {
            lateness.push_back(sentAt - due);
            if (sentAt - due > kNsPerMs) {
                movedBack += sentAt - due;
            }
        }
    }
    std::sort(lateness.begin(), lateness.end());

    CZAVController::terminate();
    mirelo::platform::setClock(nullptr);
    mirelo::midi::setActiveBackend(nullptr);

    std::printf("wall %.3f s, cpu %.3f s, held up %llu ms\n", wall, cpu,
                static_cast<unsigned long long>(heldUpMs.load()));
    std::printf("pacing: %zu messages, early %llu, lateness p50 %llu us, p99 %llu us, max %llu us, cpu %.1f%%\n",
                lists.size(), static_cast<unsigned long long>(early),
                static_cast<unsigned long long>(percentile(lateness, 0.50) / 1000),
                static_cast<unsigned long long>(percentile(lateness, 0.99) / 1000),
                static_cast<unsigned long long>(lateness.empty() ? 0 : lateness.back() / 1000),
                wall > 0 ? 100.0 * cpu / wall : 0.0);
    return 0;
}
