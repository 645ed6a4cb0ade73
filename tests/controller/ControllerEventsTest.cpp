// Listeners, the 50 ms tick with its queued and heartbeat events, the timer's
// catch-all and the MIDI notification procedure.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <thread>
#include <vector>

#include "QORMIDIManager_Mac.h"
#include "tests/support/CoreEnvironment.h"
#include "ZAVController.h"

namespace {

using mirelo::midi::ControlledVirtualBackend;
using mirelo::test::CCoreEnvironment;
using namespace std::chrono_literals;

struct SCall {
    int listener;
    int event;
    int param1;
    int param2;
    bool operator==(const SCall&) const = default;
};

std::ostream& operator<<(std::ostream& os, const SCall& c)
{
    return os << "{" << c.listener << ": " << c.event << "," << c.param1 << "," << c.param2 << "}";
}

// A listener's context: who it is, where calls are logged, and an optional
// action run on each call.
struct SListener {
    int id;
    std::vector<SCall>* log;
    std::function<void(EQOREventID)> action;
};

void listen(void* context, EQOREventID event, int param1, int param2)
{
    auto* self = static_cast<SListener*>(context);
    self->log->push_back({self->id, event, param1, param2});
    if (self->action) {
        self->action(event);
    }
}

void otherListen(void* context, EQOREventID event, int param1, int param2)
{
    listen(context, event, param1, param2);
}

void neverRegistered(void*, EQOREventID, int, int) {}

constexpr auto kTick = 50ms;
constexpr EQOREventID kPosted1 = static_cast<EQOREventID>(10);
constexpr EQOREventID kPosted2 = static_cast<EQOREventID>(11);
constexpr EQOREventID kPostedFromDrain = static_cast<EQOREventID>(12);

class ControllerEventsTest : public testing::Test {
protected:
    void SetUp() override { m_controller = CZAVController::instance(); }

    CCoreEnvironment m_env;
    CZAVController* m_controller = nullptr;
    std::vector<SCall> m_log;
};

TEST_F(ControllerEventsTest, ListenersCalledInOrderAndRemovedFirstMatchOnly)
{
    SListener a1{1, &m_log, {}};
    SListener b{2, &m_log, {}};
    SListener a2{3, &m_log, {}};
    m_controller->addListenerCallback(listen, &a1);
    m_controller->addListenerCallback(otherListen, &b);
    m_controller->addListenerCallback(listen, &a2);

    m_controller->notifyQOREvent(kPosted1, 7, -8);
    EXPECT_EQ(m_log, (std::vector<SCall>{{1, 10, 7, -8}, {2, 10, 7, -8}, {3, 10, 7, -8}}));

    m_log.clear();
    m_controller->removeListenerCallback(listen);
    m_controller->removeListenerCallback(neverRegistered);
    m_controller->notifyQOREvent(kPosted2, 0, 0);
    EXPECT_EQ(m_log, (std::vector<SCall>{{2, 11, 0, 0}, {3, 11, 0, 0}}));
}

TEST_F(ControllerEventsTest, ListenerRemovingListenersDuringAnEventIsSafe)
{
    SListener first{1, &m_log, {}};
    SListener second{2, &m_log, {}};
    first.action = [&](EQOREventID) {
        m_controller->removeListenerCallback(listen);
        m_controller->removeListenerCallback(otherListen);
    };
    m_controller->addListenerCallback(listen, &first);
    m_controller->addListenerCallback(otherListen, &second);

    m_controller->notifyQOREvent(kPosted1, 0, 0);
    m_controller->notifyQOREvent(kPosted2, 0, 0);
    // The removal counts from the next event on.
    EXPECT_EQ(m_log, (std::vector<SCall>{{1, 10, 0, 0}, {2, 10, 0, 0}}));
}

TEST_F(ControllerEventsTest, ListenerRemovingItselfLeavesTheOthersCalledOnce)
{
    SListener first{1, &m_log, {}};
    SListener second{2, &m_log, {}};
    SListener third{3, &m_log, {}};
    // The first match is the first listener itself.
    first.action = [&](EQOREventID) { m_controller->removeListenerCallback(listen); };
    m_controller->addListenerCallback(listen, &first);
    m_controller->addListenerCallback(listen, &second);
    m_controller->addListenerCallback(listen, &third);

    m_controller->notifyQOREvent(kPosted1, 0, 0);
    m_controller->notifyQOREvent(kPosted2, 0, 0);
    EXPECT_EQ(m_log, (std::vector<SCall>{{1, 10, 0, 0}, {2, 10, 0, 0}, {3, 10, 0, 0}, {2, 11, 0, 0}, {3, 11, 0, 0}}));
}

TEST_F(ControllerEventsTest, QueuedEventsArriveAtTheNextTickBeforeItsHeartbeatEvent)
{
    SListener l{1, &m_log, {}};
    m_controller->addListenerCallback(listen, &l);
    m_controller->notifyQOREventAsync(kPosted1, 1, 2);
    m_controller->notifyQOREventAsync(kPosted2, 3, 4);
    m_env.loop().runUntilIdle();
    EXPECT_TRUE(m_log.empty());

    m_env.loop().runFor(kTick);
    EXPECT_EQ(m_log, (std::vector<SCall>{{1, 10, 1, 2}, {1, 11, 3, 4}, {1, kEventNoHeartbeat, 0, 0}}));

    m_log.clear();
    m_env.loop().runFor(3 * kTick);
    EXPECT_EQ(m_log, std::vector<SCall>(3, SCall{1, kEventNoHeartbeat, 0, 0}));
    EXPECT_FALSE(m_controller->checkHeartbeat());
}

TEST_F(ControllerEventsTest, ListenerPostingFromADrainIsServedInTheSameTick)
{
    SListener l{1, &m_log, {}};
    l.action = [&](EQOREventID event) {
        if (event == kPosted1) {
            m_controller->notifyQOREventAsync(kPostedFromDrain, 0, 0);
        }
    };
    m_controller->addListenerCallback(listen, &l);
    m_controller->notifyQOREventAsync(kPosted1, 0, 0);
    m_controller->notifyQOREventAsync(kPosted2, 0, 0);

    m_env.loop().runFor(kTick);
    EXPECT_EQ(m_log, (std::vector<SCall>{{1, 10, 0, 0}, {1, 11, 0, 0}, {1, 12, 0, 0}, {1, kEventNoHeartbeat, 0, 0}}));
}

TEST_F(ControllerEventsTest, PostsFromAnotherThreadArriveInOrder)
{
    SListener l{1, &m_log, {}};
    m_controller->addListenerCallback(listen, &l);
    std::thread poster([&] {
        for (int i = 0; i < 200; ++i) {
            m_controller->notifyQOREventAsync(kPosted1, i, 0);
        }
    });
    // Tick while the other thread posts.
    for (int i = 0; i < 20; ++i) {
        m_env.loop().runFor(kTick);
    }
    poster.join();
    m_env.loop().runFor(kTick);

    std::vector<int> order;
    for (const SCall& call : m_log) {
        if (call.event == kPosted1) {
            order.push_back(call.param1);
        }
    }
    ASSERT_EQ(order.size(), 200u);
    for (int i = 0; i < 200; ++i) {
        EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
    }
}

TEST_F(ControllerEventsTest, ThrowingListenerIsCaughtAndTheTimerAndRegionCarryOn)
{
    SListener l{1, &m_log, {}};
    int throwsLeft = 1;
    l.action = [&](EQOREventID event) {
        if (event == kPosted1 && throwsLeft-- > 0) {
            throw std::runtime_error("listener failed");
        }
    };
    m_controller->addListenerCallback(listen, &l);
    m_controller->notifyQOREventAsync(kPosted1, 0, 0);

    testing::internal::CaptureStderr();
    m_env.loop().runFor(kTick);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Exception caught!\n");

    // The region must have been left: another thread can still post.
    auto posted = std::async(std::launch::async, [&] { m_controller->notifyQOREventAsync(kPosted2, 0, 0); });
    ASSERT_EQ(posted.wait_for(2s), std::future_status::ready);
    m_log.clear();
    m_env.loop().runFor(kTick);
    EXPECT_EQ(m_log, (std::vector<SCall>{{1, 11, 0, 0}, {1, kEventNoHeartbeat, 0, 0}}));
}

TEST_F(ControllerEventsTest, RemovalNotificationPrintsAndChecksHealthOnlyWithAController)
{
    SListener l{1, &m_log, {}};
    m_controller->addListenerCallback(listen, &l);
    const MIDIEndpointRef source =
        m_env.backend().addSource({"ZAV5", "ZAV5 in", "ZAV5 in"}, ControlledVirtualBackend::Announce::No);
    m_env.backend().addDestination({"ZAV5", "ZAV5 out", "ZAV5 out"}, {}, ControlledVirtualBackend::Announce::No);
    ASSERT_TRUE(m_controller->openZAV());

    // As start-up wires it: the manager's client hands the procedure a null
    // context, so an unplugged instrument is only reported, and its input
    // stays open.
    testing::internal::CaptureStderr();
    ASSERT_TRUE(m_env.backend().removeEndpoint(source, ControlledVirtualBackend::Announce::Yes));
    m_env.loop().runUntilIdle();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "A MIDI Device removed!\n");
    EXPECT_TRUE(m_log.empty());
    EXPECT_TRUE(CQORMIDIManager::instance()->isOpenedMidiIn());

    const MIDINotification setupChanged{kMIDIMsgSetupChanged, sizeof(MIDINotification)};
    const MIDINotification removed{kMIDIMsgObjectRemoved, sizeof(MIDINotification)};
    testing::internal::CaptureStderr();
    CZAVController::MIDINotifyProc(nullptr, m_controller);
    CZAVController::MIDINotifyProc(&setupChanged, m_controller);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(m_log.empty());

    // Given the controller, the procedure runs the health check, which closes
    // the input of the source that is gone and reports the heartbeat lost.
    testing::internal::CaptureStderr();
    CZAVController::MIDINotifyProc(&removed, m_controller);
    // The manager may add its own line about the source that is gone.
    EXPECT_EQ(testing::internal::GetCapturedStderr().rfind("A MIDI Device removed!\n", 0), 0u);
    EXPECT_FALSE(CQORMIDIManager::instance()->isOpenedMidiIn());
    EXPECT_EQ(m_log, (std::vector<SCall>{{1, kEventHeartbeatLost, 0, 0}}));

    // A later check still finds the input closed and says so again.
    m_log.clear();
    m_controller->healthCheck();
    EXPECT_EQ(m_log, (std::vector<SCall>{{1, kEventHeartbeatLost, 0, 0}}));
}

// Nothing records a heartbeat, so none is ever lost: every tick says there is none.
TEST_F(ControllerEventsTest, InputHandlersIgnoreInput)
{
    SListener l{1, &m_log, {}};
    m_controller->addListenerCallback(listen, &l);
    const Byte heartbeat[] = {0xF0, 0x43, 0x7E, 0xF7};
    CZAVController::procMIDIIn(m_controller, heartbeat, sizeof heartbeat);
    m_controller->handleMIDIIn(heartbeat, sizeof heartbeat);
    EXPECT_TRUE(m_controller->receiveHeartbeatMessage(heartbeat, sizeof heartbeat));
    EXPECT_FALSE(m_controller->checkHeartbeat());
    m_env.loop().runFor(4s);
    EXPECT_EQ(m_log, std::vector<SCall>(80, SCall{1, kEventNoHeartbeat, 0, 0}));
}

} // namespace
