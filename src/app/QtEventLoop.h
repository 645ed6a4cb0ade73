#pragma once
// The main loop of the application: posted tasks and timers run on the Qt GUI
// thread. Make it on the GUI thread after the QApplication, install it with
// mirelo::platform::setMainLoop(), and uninstall it before it goes.

#include "platform/base/EventLoop.h"

#include <QObject>

#include <map>
#include <memory>

class QTimer;

class CQtEventLoop final : public mirelo::platform::EventLoop {
public:
    CQtEventLoop();
    ~CQtEventLoop() override;

    CQtEventLoop(const CQtEventLoop&) = delete;
    CQtEventLoop& operator=(const CQtEventLoop&) = delete;

    void post(Task task) override;
    TimerId addTimer(std::chrono::nanoseconds delay, std::chrono::nanoseconds interval,
                     std::function<void()> fire) override;
    void removeTimer(TimerId id) override;

private:
    struct Timer {
        QTimer* qtimer;
        std::chrono::milliseconds interval;
        bool repeating;
        std::shared_ptr<std::function<void()>> fire;
    };

    void onTimeout(TimerId id);

    // Lives on the GUI thread: queued calls to it run there, and it owns the
    // QTimers so that they go with the loop.
    std::unique_ptr<QObject> m_context;
    std::map<TimerId, Timer> m_timers;
    TimerId m_nextId = 1;
};
