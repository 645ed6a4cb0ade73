#pragma once
// Reads what a virtual raw MIDI device receives: events sent to a virmidi
// sequencer port come out of its raw MIDI device as bytes, the way they
// would leave for a hardware instrument's wire.

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

class RawMidiReader {
public:
    struct Chunk {
        std::vector<std::uint8_t> bytes;
        std::uint64_t arrivedNs; // platform clock
    };

    // e.g. "hw:0,0"; `bufferBytes` 0 keeps the driver's buffer. A device end
    // without flow control (f_midi) needs one that holds the whole input.
    explicit RawMidiReader(const std::string& device, std::size_t bufferBytes = 0);
    ~RawMidiReader();
    RawMidiReader(const RawMidiReader&) = delete;
    RawMidiReader& operator=(const RawMidiReader&) = delete;

    bool ok() const { return m_in != nullptr; }
    // Waits (without spinning) until `count` bytes arrived or the time is up.
    std::vector<Chunk> waitForBytes(std::size_t count, std::chrono::milliseconds timeout);

private:
    void drain();

    snd_rawmidi_t* m_in = nullptr;
    std::unique_ptr<CPollThread> m_poller;
    std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::vector<Chunk> m_chunks;
    std::size_t m_total = 0;
};

} // namespace mirelo::test
