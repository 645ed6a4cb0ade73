#include "tests/alsa/vm/SeqRecorder.h"

#include "platform/base/Clock.h"

#include <algorithm>
#include <cstddef>

namespace mirelo::test {

SeqRecorder::SeqRecorder(const std::string& clientName, const std::string& portName)
{
    if (snd_seq_open(&m_seq, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK) < 0) {
        m_seq = nullptr;
        return;
    }
    snd_seq_set_client_name(m_seq, clientName.c_str());
    // Without these a large SysEx event does not fit the client's input pool.
    snd_seq_set_client_pool_input(m_seq, 2000);
    snd_seq_set_input_buffer_size(m_seq, std::size_t{96} * 1024);
    m_port = snd_seq_create_simple_port(m_seq, portName.c_str(), SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
                                        SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    std::vector<pollfd> fds(static_cast<std::size_t>(snd_seq_poll_descriptors_count(m_seq, POLLIN)));
    snd_seq_poll_descriptors(m_seq, fds.data(), static_cast<unsigned>(fds.size()), POLLIN);
    m_poller = std::make_unique<CPollThread>(std::move(fds), [this] { drain(); });
}

SeqRecorder::~SeqRecorder()
{
    m_poller.reset();
    if (m_seq != nullptr) {
        snd_seq_close(m_seq);
    }
}

std::vector<SeqRecorder::Event> SeqRecorder::waitForSysEx(std::size_t count, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    m_arrived.wait_for(lock, timeout, [&] {
        return static_cast<std::size_t>(std::count_if(m_events.begin(), m_events.end(), [](const Event& e) {
                   return e.type == SND_SEQ_EVENT_SYSEX;
               })) >= count;
    });
    return m_events;
}

int SeqRecorder::addPort(const std::string& name)
{
    return snd_seq_create_simple_port(m_seq, name.c_str(), SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
                                      SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
}

int SeqRecorder::removePort(int port)
{
    return snd_seq_delete_simple_port(m_seq, port);
}

void SeqRecorder::drain()
{
    snd_seq_event_t* ev = nullptr;
    while (snd_seq_event_input(m_seq, &ev) >= 0 && ev != nullptr) {
        Event e{ev->type, {}, platform::clock().monotonicNanoseconds()};
        if (ev->type == SND_SEQ_EVENT_SYSEX) {
            const auto* data = static_cast<const std::uint8_t*>(ev->data.ext.ptr);
            e.bytes.assign(data, data + ev->data.ext.len);
        }
        std::lock_guard lock(m_mutex);
        m_events.push_back(std::move(e));
        m_arrived.notify_all();
    }
}

} // namespace mirelo::test
