#include "app/QtEventLoop.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

constexpr int kWaitMs = 5000; // only a failing test waits this long

TEST(QtEventLoop, PostsFromAnyThreadRunOnTheGuiThreadInOrder)
{
    CQtEventLoop loop;
    std::vector<int> order;
    std::atomic<bool> wrongThread{false};
    QThread* gui = QCoreApplication::instance()->thread();

    std::thread poster([&] {
        for (int i = 0; i < 100; ++i) {
            loop.post([&, i] {
                wrongThread = wrongThread || QThread::currentThread() != gui;
                order.push_back(i);
            });
        }
    });
    poster.join();
    EXPECT_TRUE(order.empty()); // never inline
    ASSERT_TRUE(QTest::qWaitFor([&] { return order.size() == 100; }, kWaitMs));
    EXPECT_FALSE(wrongThread);
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
    }
}

TEST(QtEventLoop, PostFromTheGuiThreadIsQueued)
{
    CQtEventLoop loop;
    bool ran = false;
    loop.post([&] { ran = true; });
    EXPECT_FALSE(ran);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ran; }, kWaitMs));
}

TEST(QtEventLoop, OneShotTimerFiresOnce)
{
    CQtEventLoop loop;
    int fired = 0;
    const auto id = loop.addTimer(0ns, 0ns, [&] { ++fired; });
    EXPECT_NE(id, 0u);
    ASSERT_TRUE(QTest::qWaitFor([&] { return fired == 1; }, kWaitMs));
    QTest::qWait(5);
    EXPECT_EQ(fired, 1);
    loop.removeTimer(id); // already gone: harmless
}

TEST(QtEventLoop, RepeatingTimerFiresUntilRemoved)
{
    CQtEventLoop loop;
    int fired = 0;
    const auto id = loop.addTimer(0ns, 1ms, [&] { ++fired; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return fired >= 3; }, kWaitMs));
    loop.removeTimer(id);
    const int atRemoval = fired;
    QTest::qWait(5);
    EXPECT_EQ(fired, atRemoval);
}

TEST(QtEventLoop, TimerMayRemoveItselfWhileFiring)
{
    CQtEventLoop loop;
    int fired = 0;
    CQtEventLoop::TimerId id = 0;
    id = loop.addTimer(0ns, 1ms, [&] {
        ++fired;
        if (fired == 2) {
            loop.removeTimer(id);
        }
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return fired == 2; }, kWaitMs));
    QTest::qWait(5);
    EXPECT_EQ(fired, 2);
}

TEST(QtEventLoop, ControllerTimerApiRunsOnTheInstalledLoop)
{
    CQtEventLoop loop;
    mirelo::platform::setMainLoop(&loop);
    static int s_fired = 0;
    s_fired = 0;
    EventLoopTimerRef timer = nullptr;
    ASSERT_EQ(InstallEventLoopTimer(
                  GetMainEventLoop(), 0, kEventDurationMillisecond, [](EventLoopTimerRef, void*) { ++s_fired; },
                  nullptr, &timer),
              noErr);
    EXPECT_TRUE(QTest::qWaitFor([] { return s_fired >= 2; }, kWaitMs));
    EXPECT_EQ(RemoveEventLoopTimer(timer), noErr);
    mirelo::platform::setMainLoop(nullptr);
}

TEST(QtEventLoop, PendingWorkDiesWithTheLoop)
{
    bool ran = false;
    int fired = 0;
    {
        CQtEventLoop loop;
        loop.post([&] { ran = true; });
        loop.addTimer(0ns, 1ms, [&] { ++fired; });
    }
    QTest::qWait(5);
    EXPECT_FALSE(ran);
    EXPECT_EQ(fired, 0);
}

} // namespace
