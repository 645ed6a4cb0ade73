// One update run with everything else the core does going on around it: the
// main loop delivers setup changes (each one rescans and reopens the output,
// as the document does), the controller's timer drains events that several
// threads post, and the receive thread assembles incoming SysEx. The run must
// send exactly its schedule, every posted event and incoming message must
// arrive once and in order, and nothing may deadlock. Run it under the tsan
// preset to have every shared access checked as well.

#include "tests/stress/Watchdog.h"
#include "tests/support/CoreEnvironment.h"
#include "tests/support/ScheduledMessages.h"
#include "tests/support/SmfImageBuilder.h"

#include "schedule/FirmwareSchedule.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using mirelo::midi::ControlledVirtualBackend;
using mirelo::test::Bytes;
using mirelo::test::CSmfImageBuilder;
using namespace std::chrono_literals;

constexpr const char* kOutputName = "Stress Out";
constexpr std::uint32_t kMessages = 1200;
constexpr int kPosters = 3;
constexpr int kEventsPerPoster = 300;
constexpr std::int32_t kPosterTag = 7000;
constexpr int kIncomingMessages = 300;
constexpr int kHotPlugCycles = 40;

Bytes stressImage()
{
    CSmfImageBuilder builder(480);
    builder.track().tempo(0, 500'000).tempo(4'800, 250'000);
    builder.track();
    for (std::uint32_t i = 0; i < kMessages; ++i) {
        // 8 to 700 bytes, so that some messages take several packets.
        builder.sysEx(i * 8, CSmfImageBuilder::message(8 + (i * 37) % 693, i));
    }
    return builder.build();
}

Bytes incomingMessage(int index)
{
    return {0xF0, 0x7D, static_cast<std::uint8_t>(index & 0x7F), static_cast<std::uint8_t>(index >> 7), 0x11,
            0x22, 0xF7};
}

// What the main thread sees: the document's rescan, the listener's events.
struct SMainSide {
    CQORMIDIManager* manager = nullptr;
    std::atomic<int> rescans{0};
    std::mutex mutex;
    std::condition_variable rescanned;
    std::map<int, std::vector<int>> eventsByPoster;

    static void onSetupChange(const MIDINotification* /*message*/, void* refCon)
    {
        auto* self = static_cast<SMainSide*>(refCon);
        {
            std::lock_guard lock(self->mutex);
            ++self->rescans;
        }
        self->rescanned.notify_all();
        const ItemCount count = MIDIGetNumberOfDestinations();
        for (ItemCount i = 0; i < count; ++i) {
            std::string name;
            if (MIDIObjectGetStringProperty(MIDIGetDestination(i), kMIDIPropertyDisplayName, &name) == noErr &&
                name == kOutputName) {
                EXPECT_EQ(self->manager->openMidiOut(i), noErr);
                return;
            }
        }
        ADD_FAILURE() << "the output vanished from the setup";
    }

    static void onEvent(void* context, EQOREventID /*event*/, int param1, int param2)
    {
        if (param1 >= kPosterTag) {
            static_cast<SMainSide*>(context)->eventsByPoster[param1 - kPosterTag].push_back(param2);
        }
    }

    // Holds the run at its first sleep until the main thread has reopened
    // the output a few times, so that the rest of the run overlaps the rescans.
    void waitForRescans(int count)
    {
        std::unique_lock lock(mutex);
        rescanned.wait_for(lock, std::chrono::seconds(5), [&] { return rescans.load() >= count; });
    }

    std::size_t eventCount() const
    {
        std::size_t count = 0;
        for (const auto& [poster, events] : eventsByPoster) {
            count += events.size();
        }
        return count;
    }
};

// What the receive thread sees.
struct SInputSide {
    std::mutex mutex;
    std::vector<Bytes> messages;

    static void onMessage(void* context, const Byte* data, std::uint32_t length)
    {
        auto* self = static_cast<SInputSide*>(context);
        std::lock_guard lock(self->mutex);
        self->messages.emplace_back(data, data + length);
    }
};

TEST(CoreStressTest, ARunSendsExactlyItsScheduleWhileSetupEventsAndInputRace)
{
    mirelo::test::CWatchdog watchdog(20s, "the stress run");
    mirelo::test::CCoreEnvironment env;
    ControlledVirtualBackend& backend = env.backend();
    backend.addDestination({"Other", "Other", "Other"}, {}, ControlledVirtualBackend::Announce::No);
    const MIDIEndpointRef output =
        backend.addDestination({"Stress", kOutputName, kOutputName}, {}, ControlledVirtualBackend::Announce::No);
    SMainSide main;
    // The worker's first pacing sleep, where it holds no lock.
    std::atomic<bool> firstSleep{true};
    env.clock().setSleepHook([&](std::uint64_t) {
        if (firstSleep.exchange(false)) {
            main.waitForRescans(3);
        }
    });
    const MIDIEndpointRef source =
        backend.addSource({"Stress", "Stress In", "Stress In"}, ControlledVirtualBackend::Announce::No);

    CZAVController::initialize();
    CZAVController* controller = CZAVController::instance();
    main.manager = CQORMIDIManager::instance();
    controller->addListenerCallback(SMainSide::onEvent, &main);
    MIDIClientRef documentClient = 0;
    ASSERT_EQ(MIDIClientCreate("Stress Document", SMainSide::onSetupChange, &main, &documentClient), noErr);
    ASSERT_EQ(main.manager->openMidiOut(1), noErr);
    SInputSide input;
    ASSERT_EQ(main.manager->openMidiIn(0, SInputSide::onMessage, &input, 512), noErr);

    const Bytes image = stressImage();
    CFirmwareSchedule schedule;
    ASSERT_EQ(schedule.build(image.data(), static_cast<std::uint32_t>(image.size())), CFirmwareSchedule::EResult::kOk);
    ASSERT_EQ(schedule.size(), kMessages);

    std::atomic<bool> runDone{false};
    std::atomic<bool> runResult{false};
    std::thread worker([&] {
        runResult =
            controller->updateFirmware(image.data(), static_cast<std::uint32_t>(image.size()), nullptr, nullptr);
        runDone = true;
    });
    std::vector<std::thread> helpers;
    for (int p = 0; p < kPosters; ++p) {
        helpers.emplace_back([controller, p] {
            for (int i = 0; i < kEventsPerPoster; ++i) {
                controller->notifyQOREventAsync(kEventNoHeartbeat, kPosterTag + p, i);
                if (i % 16 == 0) {
                    std::this_thread::yield();
                }
            }
        });
    }
    helpers.emplace_back([&backend, source] {
        for (int i = 0; i < kIncomingMessages; ++i) {
            const Bytes message = incomingMessage(i);
            // Split inside the message, with real-time and stray bytes around it.
            ASSERT_TRUE(backend.injectIncoming(
                source, {{0xF8, message[0], message[1]}, {message.begin() + 2, message.end() - 1}, {0xF7, 0x42}}));
        }
    });
    helpers.emplace_back([&backend] {
        for (int i = 0; i < kHotPlugCycles; ++i) {
            const MIDIEndpointRef hot = backend.addDestination({"Hot", "Hot", "Hot"});
            std::this_thread::yield();
            // Mostly quiet removals followed by a setup change, now and then a
            // loud one as an unplug gives.
            const bool loud = i % 8 == 0;
            backend.removeEndpoint(hot, loud ? ControlledVirtualBackend::Announce::Yes
                                             : ControlledVirtualBackend::Announce::No);
            if (!loud) {
                backend.notifyClients(kMIDIMsgSetupChanged);
            }
        }
    });

    EXPECT_TRUE(env.loop().runUntil([&] { return runDone.load(); }, std::chrono::hours(1)));
    worker.join();
    for (auto& helper : helpers) {
        helper.join();
    }
    backend.waitForIncoming();
    // The ticks that deliver the last posted events, and the last setup changes.
    const std::size_t posted = static_cast<std::size_t>(kPosters) * kEventsPerPoster;
    EXPECT_TRUE(env.loop().runUntil([&] { return main.eventCount() == posted; }, std::chrono::seconds(10)));
    env.loop().runUntilIdle();

    EXPECT_TRUE(runResult.load());
    EXPECT_GE(main.rescans.load(), 3);

    // Exactly the schedule, in order, to the one output, every send accepted.
    std::vector<Bytes> sent;
    for (const auto& list : backend.sentLists()) {
        EXPECT_EQ(list.destination, output);
        EXPECT_EQ(list.status, noErr);
        Bytes message;
        for (const auto& packet : list.packets) {
            message.insert(message.end(), packet.bytes.begin(), packet.bytes.end());
        }
        sent.push_back(std::move(message));
    }
    const auto scheduled = mirelo::test::scheduledMessages(schedule);
    ASSERT_EQ(sent.size(), scheduled.size());
    for (std::size_t i = 0; i < sent.size(); ++i) {
        ASSERT_EQ(sent[i], scheduled[i].bytes) << "message " << i;
    }

    // Every posted event once, each poster's in the order posted.
    for (int p = 0; p < kPosters; ++p) {
        const std::vector<int>& events = main.eventsByPoster[p];
        ASSERT_EQ(events.size(), static_cast<std::size_t>(kEventsPerPoster)) << "poster " << p;
        for (int i = 0; i < kEventsPerPoster; ++i) {
            ASSERT_EQ(events[static_cast<std::size_t>(i)], i) << "poster " << p;
        }
    }

    {
        std::lock_guard lock(input.mutex);
        ASSERT_EQ(input.messages.size(), static_cast<std::size_t>(kIncomingMessages));
        for (int i = 0; i < kIncomingMessages; ++i) {
            ASSERT_EQ(input.messages[static_cast<std::size_t>(i)], incomingMessage(i)) << "incoming " << i;
        }
    }

    EXPECT_EQ(main.manager->closeMidiIn(), noErr);
    EXPECT_EQ(MIDIClientDispose(documentClient), noErr);
    controller->removeListenerCallback(SMainSide::onEvent);
    env.clock().setSleepHook({});
}

} // namespace
