#pragma once
// Every manager test runs against a fresh virtual backend, a plain main loop
// and a simulated clock, so what the manager hands the MIDI services can be
// read back from the backend's recordings.

#include "platform/base/Clock.h"
#include "platform/base/EventLoop.h"
#include "testing/ControlledVirtualBackend.h"
#include "platform/base/PlainEventLoop.h"
#include "testing/SimulatedClock.h"
#include "QORMIDIManager_Mac.h"

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

class CManagerTest : public ::testing::Test {
protected:
    using Announce = mirelo::midi::ControlledVirtualBackend::Announce;

    void SetUp() override
    {
        mirelo::midi::setActiveBackend(&m_backend);
        mirelo::platform::setMainLoop(&m_loop);
        mirelo::platform::setClock(&m_clock);
    }
    void TearDown() override
    {
        CQORMIDIManager::terminate();
        mirelo::platform::setClock(nullptr);
        mirelo::platform::setMainLoop(nullptr);
        mirelo::midi::setActiveBackend(nullptr);
    }

    CQORMIDIManager& makeManager()
    {
        CQORMIDIManager::initialize(nullptr, nullptr);
        return *CQORMIDIManager::instance();
    }

    MIDIEndpointRef addDestination(const std::string& name, const std::string& model = "Model")
    {
        return m_backend.addDestination({model, name, name}, {}, Announce::No);
    }
    MIDIEndpointRef addSource(const std::string& name, const std::string& model = "Model")
    {
        return m_backend.addSource({model, name, name}, Announce::No);
    }

    // The bytes of every packet of every list sent, one list after another.
    std::vector<std::vector<Byte>> sentMessages() const
    {
        std::vector<std::vector<Byte>> messages;
        for (const auto& list : m_backend.sentLists()) {
            std::vector<Byte> bytes;
            for (const auto& packet : list.packets) {
                bytes.insert(bytes.end(), packet.bytes.begin(), packet.bytes.end());
            }
            messages.push_back(bytes);
        }
        return messages;
    }

    mirelo::midi::ControlledVirtualBackend m_backend;
    mirelo::platform::PlainEventLoop m_loop;
    mirelo::platform::SimulatedClock m_clock;
};

// Collects the SysEx messages the manager hands its input callback.
struct CSysExLog {
    std::mutex mutex;
    std::vector<std::vector<Byte>> messages;

    static void record(void* context, const Byte* data, std::uint32_t length)
    {
        auto* log = static_cast<CSysExLog*>(context);
        std::lock_guard lock(log->mutex);
        log->messages.emplace_back(data, data + length);
    }
    std::vector<std::vector<Byte>> taken()
    {
        std::lock_guard lock(mutex);
        return messages;
    }
};
