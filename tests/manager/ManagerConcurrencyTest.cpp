#include "tests/manager/ManagerFixture.h"

#include <atomic>
#include <thread>

namespace {

// Runs best under ThreadSanitizer (the tsan preset), which also checks that
// the output and input state are never touched unguarded.

TEST_F(CManagerTest, SendsRacingWithReopeningNeverUseADisposedPort)
{
    addDestination("A");
    addDestination("B");
    CQORMIDIManager& manager = makeManager();
    ASSERT_EQ(manager.openMidiOut(0), noErr);

    std::atomic<bool> done{false};
    std::atomic<int> failures{0};
    std::thread sender([&] {
        const std::vector<Byte> message(600, 0x11);
        while (!done.load()) {
            if (manager.sendLongMessage(message.data(), static_cast<int>(message.size())) != noErr) {
                ++failures;
            }
            if (manager.sendShortMessage(0, 0x90, 60, 100) != noErr) {
                ++failures;
            }
        }
    });
    for (int round = 0; round < 400; ++round) {
        if (round % 3 == 2) {
            manager.closeMidiOut();
        } else {
            ASSERT_EQ(manager.openMidiOut(static_cast<unsigned long>(round % 2)), noErr);
        }
    }
    done = true;
    sender.join();

    EXPECT_EQ(failures.load(), 0);
    for (const auto& list : m_backend.sentLists()) {
        EXPECT_EQ(list.status, noErr);
    }
}

struct CLateCallbackProbe {
    std::atomic<bool> closed{false};
    std::atomic<int> calls{0};
    std::atomic<int> lateCalls{0};

    static void record(void* context, const Byte*, std::uint32_t)
    {
        auto* probe = static_cast<CLateCallbackProbe*>(context);
        ++probe->calls;
        // Widens the window in which closeMidiIn could overtake us.
        std::this_thread::yield();
        if (probe->closed.load()) {
            ++probe->lateCalls;
        }
    }
};

TEST_F(CManagerTest, TheInputCallbackNeverRunsAfterCloseMidiInReturns)
{
    const MIDIEndpointRef source = addSource("In");
    CQORMIDIManager& manager = makeManager();
    CLateCallbackProbe probe;
    for (int round = 0; round < 100; ++round) {
        probe.closed = false;
        ASSERT_EQ(manager.openMidiIn(0, CLateCallbackProbe::record, &probe, 512), noErr);
        if (round == 0) {
            // Whether any call beats the close below is up to the scheduler;
            // this one surely arrives, so the probe is known to be wired up.
            ASSERT_TRUE(m_backend.injectIncoming(source, {{0xF0, 0x00, 0xF7}}));
            m_backend.waitForIncoming();
            ASSERT_EQ(probe.calls.load(), 1);
        }
        std::thread feeder([&] {
            for (int i = 0; i < 20; ++i) {
                EXPECT_TRUE(m_backend.injectIncoming(source, {{0xF0, 0x01, 0xF7}, {0xF0, 0x02, 0xF7}}));
            }
        });
        if (round % 2 == 0) {
            std::this_thread::yield();
        }
        ASSERT_EQ(manager.closeMidiIn(), noErr);
        probe.closed = true;
        feeder.join();
        m_backend.waitForIncoming();
    }
    EXPECT_EQ(probe.lateCalls.load(), 0);
}

void closeFromCallback(void* context, const Byte* data, std::uint32_t length)
{
    auto* log = static_cast<CSysExLog*>(context);
    CSysExLog::record(log, data, length);
    CQORMIDIManager::instance()->closeMidiIn();
}

TEST_F(CManagerTest, TheInputCallbackMayCloseTheInputItself)
{
    const MIDIEndpointRef source = addSource("In");
    CQORMIDIManager& manager = makeManager();
    CSysExLog log;
    ASSERT_EQ(manager.openMidiIn(0, closeFromCallback, &log, 512), noErr);
    ASSERT_TRUE(m_backend.injectIncoming(source, {{0xF0, 0x01, 0xF7, 0xF0, 0x02, 0xF7}}));
    m_backend.waitForIncoming();
    EXPECT_EQ(log.taken(), (std::vector<std::vector<Byte>>{{0xF0, 0x01, 0xF7}}));
    EXPECT_FALSE(manager.isOpenedMidiIn());
    EXPECT_EQ(m_backend.portCount(), 0u);
}

} // namespace
