#pragma once
// The world a core test runs in: a simulated clock, a plain main loop and the
// virtual MIDI backend, installed for the test's lifetime. Whatever controller
// or manager the test brought up is taken down before the platform goes.

#include <cstdint>

#include "platform/base/EventLoop.h"
#include "platform/midi/MidiBackend.h"
#include "testing/ControlledVirtualBackend.h"
#include "platform/base/PlainEventLoop.h"
#include "testing/SimulatedClock.h"
#include "QORMIDIManager_Mac.h"
#include "ZAVController.h"

namespace mirelo::test {

class CCoreEnvironment {
public:
    explicit CCoreEnvironment(std::uint64_t startNanoseconds = platform::SimulatedClock::kDefaultStartNanoseconds)
        : m_clock(startNanoseconds)
    {
        platform::setClock(&m_clock);
        platform::setMainLoop(&m_loop);
        midi::setActiveBackend(&m_backend);
    }
    ~CCoreEnvironment()
    {
        CZAVController::terminate();
        CQORMIDIManager::terminate();
        m_loop.runUntilIdle();
        midi::setActiveBackend(nullptr);
        platform::setMainLoop(nullptr);
        platform::setClock(nullptr);
    }
    CCoreEnvironment(const CCoreEnvironment&) = delete;
    CCoreEnvironment& operator=(const CCoreEnvironment&) = delete;

    platform::SimulatedClock& clock() { return m_clock; }
    platform::PlainEventLoop& loop() { return m_loop; }
    midi::ControlledVirtualBackend& backend() { return m_backend; }

private:
    platform::SimulatedClock m_clock;
    platform::PlainEventLoop m_loop;
    midi::ControlledVirtualBackend m_backend;
};

} // namespace mirelo::test
