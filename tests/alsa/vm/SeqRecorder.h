#pragma once
// A sequencer client of the test's own, outside the backend under test: it
// records every event that reaches its port, with the time it arrived, and
// can add and remove ports to play a device coming and going.

#include "tests/alsa/vm/PollThread.h"

#include <alsa/asoundlib.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace mirelo::test {

class SeqRecorder {
public:
    struct Event {
        int type;
        std::vector<std::uint8_t> bytes; // SysEx data; empty for other events
        std::uint64_t arrivedNs;         // platform clock
    };

    SeqRecorder(const std::string& clientName, const std::string& portName);
    ~SeqRecorder();
    SeqRecorder(const SeqRecorder&) = delete;
    SeqRecorder& operator=(const SeqRecorder&) = delete;

    bool ok() const { return m_seq != nullptr && m_port >= 0; }
    // Waits (without spinning) until `count` SysEx events arrived or the time is up.
    std::vector<Event> waitForSysEx(std::size_t count, std::chrono::milliseconds timeout);

    int addPort(const std::string& name);
    int removePort(int port);

private:
    void drain();

    snd_seq_t* m_seq = nullptr;
    int m_port = -1;
    std::unique_ptr<CPollThread> m_poller;
    std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::vector<Event> m_events;
};

} // namespace mirelo::test
