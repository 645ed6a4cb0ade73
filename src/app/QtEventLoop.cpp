#include "app/QtEventLoop.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

namespace {

// QTimer counts whole milliseconds. Round up so that nothing fires early, and
// keep a repeating interval above 0 so that it cannot spin.
std::chrono::milliseconds toTimerMilliseconds(std::chrono::nanoseconds duration, bool atLeastOne)
{
    auto ms = std::chrono::ceil<std::chrono::milliseconds>(duration);
    if (ms.count() < 0) {
        ms = std::chrono::milliseconds(0);
    }
    if (atLeastOne && ms.count() == 0) {
        ms = std::chrono::milliseconds(1);
    }
    return ms;
}

} // namespace

CQtEventLoop::CQtEventLoop() : m_context(std::make_unique<QObject>())
{
    Q_ASSERT(QCoreApplication::instance() != nullptr);
    Q_ASSERT(QThread::currentThread() == QCoreApplication::instance()->thread());
}

CQtEventLoop::~CQtEventLoop() = default;

void CQtEventLoop::post(Task task)
{
    QMetaObject::invokeMethod(m_context.get(), std::move(task), Qt::QueuedConnection);
}

CQtEventLoop::TimerId CQtEventLoop::addTimer(std::chrono::nanoseconds delay, std::chrono::nanoseconds interval,
                                             std::function<void()> fire)
{
    Q_ASSERT(QThread::currentThread() == m_context->thread());
    const TimerId id = m_nextId++;
    const bool repeating = interval.count() > 0;

    auto* qtimer = new QTimer(m_context.get());
    qtimer->setTimerType(Qt::PreciseTimer);
    qtimer->setSingleShot(true);
    QObject::connect(qtimer, &QTimer::timeout, m_context.get(), [this, id] { onTimeout(id); });

    m_timers.emplace(id, Timer{qtimer, toTimerMilliseconds(interval, true), repeating,
                               std::make_shared<std::function<void()>>(std::move(fire))});
    qtimer->start(toTimerMilliseconds(delay, false));
    return id;
}

void CQtEventLoop::removeTimer(TimerId id)
{
    Q_ASSERT(QThread::currentThread() == m_context->thread());
    const auto it = m_timers.find(id);
    if (it == m_timers.end()) {
        return;
    }
    it->second.qtimer->stop();
    // The timer may be removed from inside its own timeout.
    it->second.qtimer->deleteLater();
    m_timers.erase(it);
}

void CQtEventLoop::onTimeout(TimerId id)
{
    const auto it = m_timers.find(id);
    if (it == m_timers.end()) {
        return;
    }
    // Hold the callable: it may remove its own timer, and with it the entry.
    const std::shared_ptr<std::function<void()>> fire = it->second.fire;
    if (it->second.repeating) {
        if (it->second.qtimer->isSingleShot()) {
            it->second.qtimer->setSingleShot(false);
            it->second.qtimer->start(it->second.interval);
        }
    } else {
        removeTimer(id);
    }
    (*fire)();
}
