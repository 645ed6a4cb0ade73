// A long run holds the image, the parsed file and the schedule, built before
// the first send; from then on sending must not make the process grow.
// Resident memory is read from /proc/self/statm at progress points of one
// 20,000-message run on the simulated clock.

#include "tests/support/CoreEnvironment.h"
#include "tests/support/SmfImageBuilder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>
#include <vector>

namespace {

using mirelo::test::Bytes;
using mirelo::test::CSmfImageBuilder;

constexpr std::uint32_t kMessages = 20'000;
// Room for allocator bookkeeping and a page or two of stack and stdio.
constexpr long kToleranceBytes = 256L * 1024;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

long residentBytes()
{
    std::ifstream statm("/proc/self/statm");
    long size = 0;
    long resident = 0;
    statm >> size >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

struct SProgressProbe {
    mirelo::midi::ControlledVirtualBackend* backend = nullptr;
    mirelo::platform::SimulatedClock* clock = nullptr;
    std::vector<std::pair<int, long>> samples; // percent, resident bytes

    static bool onProgress(int percent, void* context)
    {
        auto* self = static_cast<SProgressProbe*>(context);
        // The test doubles' own records (every send, every sleep) are the
        // only things meant to grow; empty them.
        self->backend->clearSent();
        self->clock->clearSleeps();
        if (percent % 10 == 0 || percent == 99) {
            self->samples.emplace_back(percent, residentBytes());
        }
        return true;
    }
};

TEST(MemoryFlatTest, ResidentMemoryStaysFlatWhileTwentyThousandMessagesGoOut)
{
    if (kSanitized) {
        GTEST_SKIP() << "resident memory means nothing under a sanitizer's shadow memory and quarantine";
    }
    mirelo::test::CCoreEnvironment env;
    env.backend().addDestination({"Out", "Out", "Out"}, {}, mirelo::midi::ControlledVirtualBackend::Announce::No);
    CZAVController::initialize();
    ASSERT_EQ(CQORMIDIManager::instance()->openMidiOut(0), noErr);

    Bytes image;
    {
        CSmfImageBuilder builder(480);
        builder.track().tempo(0, 500'000);
        builder.track();
        for (std::uint32_t i = 0; i < kMessages; ++i) {
            builder.sysEx(i * 2, CSmfImageBuilder::message(155, i));
        }
        image = builder.build();
    }
    SProgressProbe probe;
    probe.backend = &env.backend();
    probe.clock = &env.clock();
    probe.samples.reserve(32);
    ASSERT_TRUE(CZAVController::instance()->updateFirmware(image.data(), static_cast<std::uint32_t>(image.size()),
                                                           SProgressProbe::onProgress, &probe));

    ASSERT_GE(probe.samples.size(), 5u);
    const long baseline = probe.samples.front().second;
    for (const auto& [percent, resident] : probe.samples) {
        EXPECT_LE(resident - baseline, kToleranceBytes) << "at " << percent << "%: " << resident << " bytes against "
                                                        << baseline << " at " << probe.samples.front().first << "%";
    }
    RecordProperty("resident_bytes_at_first_sample", std::to_string(baseline));
    RecordProperty("resident_bytes_at_99_percent", std::to_string(probe.samples.back().second));
}

} // namespace
