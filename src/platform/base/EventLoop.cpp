#include "platform/base/EventLoop.h"

#include "platform/base/PlainEventLoop.h"

#include <atomic>
#include <chrono>
#include <cmath>

namespace mirelo::platform {
namespace {

std::atomic<EventLoop*> s_installedLoop{nullptr};

EventLoop& defaultLoop()
{
    static PlainEventLoop loop;
    return loop;
}

} // namespace

EventLoop& mainLoop()
{
    EventLoop* installed = s_installedLoop.load(std::memory_order_acquire);
    return installed ? *installed : defaultLoop();
}

void setMainLoop(EventLoop* loop)
{
    s_installedLoop.store(loop, std::memory_order_release);
}

} // namespace mirelo::platform

struct OpaqueEventLoopTimer {
    mirelo::platform::EventLoop* loop;
    mirelo::platform::EventLoop::TimerId id;
};

namespace {

std::chrono::nanoseconds toSpan(EventTimerInterval seconds)
{
    if (!(seconds > 0.0) || !std::isfinite(seconds)) {
        return std::chrono::nanoseconds(0);
    }
    return std::chrono::nanoseconds(static_cast<std::int64_t>(std::llround(seconds * 1e9)));
}

} // namespace

EventLoopRef GetMainEventLoop()
{
    return reinterpret_cast<EventLoopRef>(&mirelo::platform::mainLoop());
}

OSStatus InstallEventLoopTimer(EventLoopRef loop, EventTimerInterval fireDelay, EventTimerInterval interval,
                               EventLoopTimerUPP proc, void* userData, EventLoopTimerRef* outTimer)
{
    if (proc == nullptr) {
        return kParamErr;
    }
    auto* target = loop ? reinterpret_cast<mirelo::platform::EventLoop*>(loop) : &mirelo::platform::mainLoop();
    auto* timer = new OpaqueEventLoopTimer{target, 0};
    timer->id =
        target->addTimer(toSpan(fireDelay), toSpan(interval), [timer, proc, userData] { proc(timer, userData); });
    if (outTimer != nullptr) {
        *outTimer = timer;
    }
    return noErr;
}

OSStatus RemoveEventLoopTimer(EventLoopTimerRef timer)
{
    if (timer == nullptr) {
        return kParamErr;
    }
    timer->loop->removeTimer(timer->id);
    delete timer;
    return noErr;
}
