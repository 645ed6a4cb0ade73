#include "tests/alsa/vm/RawMidiReader.h"

#include "platform/base/Clock.h"

namespace mirelo::test {

RawMidiReader::RawMidiReader(const std::string& device, std::size_t bufferBytes)
{
    if (snd_rawmidi_open(&m_in, nullptr, device.c_str(), SND_RAWMIDI_NONBLOCK) < 0) {
        m_in = nullptr;
        return;
    }
    if (bufferBytes != 0) {
        snd_rawmidi_params_t* params = nullptr;
        snd_rawmidi_params_alloca(&params);
        snd_rawmidi_params_current(m_in, params);
        if (snd_rawmidi_params_set_buffer_size(m_in, params, bufferBytes) < 0 || snd_rawmidi_params(m_in, params) < 0) {
            snd_rawmidi_close(m_in);
            m_in = nullptr;
            return;
        }
    }
    // The kernel delivers to an input substream only once it is triggered,
    // which a read does; doing one here means nothing sent after the
    // constructor returns can be dropped before the thread first polls.
    std::uint8_t first = 0;
    if (snd_rawmidi_read(m_in, &first, 1) == 1) {
        m_chunks.push_back(Chunk{{first}, platform::clock().monotonicNanoseconds()});
        m_total = 1;
    }
    std::vector<pollfd> fds(static_cast<std::size_t>(snd_rawmidi_poll_descriptors_count(m_in)));
    snd_rawmidi_poll_descriptors(m_in, fds.data(), static_cast<unsigned>(fds.size()));
    m_poller = std::make_unique<CPollThread>(std::move(fds), [this] { drain(); });
}

RawMidiReader::~RawMidiReader()
{
    m_poller.reset();
    if (m_in != nullptr) {
        snd_rawmidi_close(m_in);
    }
}

std::vector<RawMidiReader::Chunk> RawMidiReader::waitForBytes(std::size_t count, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    m_arrived.wait_for(lock, timeout, [&] { return m_total >= count; });
    return m_chunks;
}

void RawMidiReader::drain()
{
    std::uint8_t buffer[4096];
    for (;;) {
        const ssize_t got = snd_rawmidi_read(m_in, buffer, sizeof buffer);
        if (got <= 0) {
            return;
        }
        Chunk chunk{{buffer, buffer + got}, platform::clock().monotonicNanoseconds()};
        std::lock_guard lock(m_mutex);
        m_total += chunk.bytes.size();
        m_chunks.push_back(std::move(chunk));
        m_arrived.notify_all();
    }
}

} // namespace mirelo::test
