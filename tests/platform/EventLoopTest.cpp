#include "platform/base/Clock.h"
#include "platform/base/EventLoop.h"
#include "platform/base/PlainEventLoop.h"
#include "testing/SimulatedClock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using mirelo::platform::PlainEventLoop;
using mirelo::platform::SimulatedClock;

class SimulatedTime : public ::testing::Test {
protected:
    void SetUp() override
    {
        mirelo::platform::setClock(&m_clock);
        mirelo::platform::setMainLoop(&m_loop);
    }
    void TearDown() override
    {
        mirelo::platform::setMainLoop(nullptr);
        mirelo::platform::setClock(nullptr);
    }

    SimulatedClock m_clock;
    PlainEventLoop m_loop;
};

TEST_F(SimulatedTime, SleepsAdvanceTimeAtOnceAndAreRecorded)
{
    const AbsoluteTime start = UpTime();
    const std::time_t wallStart = platformTime();
    const timespec span{2, 500'000'000};
    EXPECT_EQ(platformNanosleep(&span), 0);
    EXPECT_EQ(AbsoluteToNanoseconds(UpTime() - start).value, 2'500'000'000u);
    EXPECT_EQ(AudioGetCurrentHostTime(), UpTime());
    EXPECT_EQ(platformTime(), wallStart + 2);
    EXPECT_EQ(m_clock.sleeps(), (std::vector<std::uint64_t>{2'500'000'000u}));

    const timespec invalid[] = {{0, -1}, {0, 1'000'000'000}, {-1, 0}};
    for (const timespec& bad : invalid) {
        EXPECT_EQ(platformNanosleep(&bad), -1);
    }
    EXPECT_EQ(platformNanosleep(nullptr), -1);
    EXPECT_EQ(m_clock.sleeps().size(), 1u);
}

TEST_F(SimulatedTime, TasksRunInPostedOrderOnTheLoopThreadNeverInline)
{
    std::vector<int> ran;
    std::thread::id poster;
    m_loop.post([&] { ran.push_back(1); });
    std::thread([&] {
        poster = std::this_thread::get_id();
        mirelo::platform::mainLoop().post([&] { ran.push_back(std::this_thread::get_id() == poster ? -2 : 2); });
    }).join();
    m_loop.post([&] {
        ran.push_back(3);
        m_loop.post([&] { ran.push_back(4); });
    });
    EXPECT_TRUE(ran.empty());
    EXPECT_EQ(m_loop.runUntilIdle(), 4u);
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3, 4}));
}

TEST_F(SimulatedTime, ARepeatingTimerRunsForSimulatedSecondsInstantly)
{
    std::vector<std::uint64_t> firedAt;
    const std::uint64_t start = m_clock.monotonicNanoseconds();
    m_loop.addTimer(50ms, 50ms, [&] { firedAt.push_back(m_clock.monotonicNanoseconds() - start); });

    m_loop.runFor(1s);

    ASSERT_EQ(firedAt.size(), 20u);
    for (std::size_t i = 0; i < firedAt.size(); ++i) {
        EXPECT_EQ(firedAt[i], (i + 1) * 50'000'000u);
    }
    EXPECT_EQ(m_clock.monotonicNanoseconds() - start, 1'000'000'000u);
    EXPECT_TRUE(m_clock.sleeps().empty());
}

TEST_F(SimulatedTime, TimersCanBeRemovedFromTheirOwnFiringAndOneShotsFireOnce)
{
    int repeating = 0;
    int once = 0;
    PlainEventLoop::TimerId id = 0;
    id = m_loop.addTimer(10ms, 10ms, [&] {
        if (++repeating == 3) {
            m_loop.removeTimer(id);
        }
    });
    m_loop.addTimer(5ms, 0ms, [&] { ++once; });
    m_loop.runFor(1s);
    EXPECT_EQ(repeating, 3);
    EXPECT_EQ(once, 1);
    EXPECT_EQ(m_loop.timerCount(), 0u);
}

struct TimerProbe {
    int fired = 0;
    EventLoopTimerRef seen = nullptr;
};

void countFiring(EventLoopTimerRef timer, void* userData)
{
    auto* probe = static_cast<TimerProbe*>(userData);
    ++probe->fired;
    probe->seen = timer;
}

TEST_F(SimulatedTime, EventLoopTimersFireOnTheMainLoopUntilRemoved)
{
    TimerProbe probe;
    EventLoopTimerRef timer = nullptr;
    ASSERT_EQ(InstallEventLoopTimer(GetMainEventLoop(), 0.05, 0.05, countFiring, &probe, &timer), noErr);
    m_loop.runFor(200ms);
    EXPECT_EQ(probe.fired, 4);
    EXPECT_EQ(probe.seen, timer);

    EXPECT_EQ(RemoveEventLoopTimer(timer), noErr);
    m_loop.runFor(200ms);
    EXPECT_EQ(probe.fired, 4);
    EXPECT_EQ(InstallEventLoopTimer(GetMainEventLoop(), 0.05, 0.05, nullptr, &probe, &timer), kParamErr);
}

TEST_F(SimulatedTime, RunUntilWaitsForPostsFromOtherThreads)
{
    bool arrived = false;
    std::thread poster([this, &arrived] { m_loop.post([&arrived] { arrived = true; }); });
    EXPECT_TRUE(m_loop.runUntil([&] { return arrived; }, 10s, 1s));
    poster.join();
}

TEST(RealTime, TheLoopWaitsForItsTimersAndQuitEndsRun)
{
    PlainEventLoop loop;
    int fired = 0;
    loop.addTimer(1ms, 1ms, [&] {
        if (++fired == 2) {
            loop.quit();
        }
    });
    loop.run();
    EXPECT_EQ(fired, 2);

    std::thread quitter([&] { loop.post([&] { loop.quit(); }); });
    loop.run();
    quitter.join();
}

} // namespace
