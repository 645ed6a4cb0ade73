#include "platform/midi/alsa/AlsaClient.h"

#include "platform/base/Clock.h"
#include "platform/base/EventLoop.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

namespace mirelo::midi::alsa {

namespace {

// The kernel's limit for a client's input pool: large SysEx events are held
// in pool cells, and the default of 200 cells overflows at about 5 KiB.
constexpr int kInputPoolCells = 2000;
// Large enough for one event filling the whole input pool.
constexpr std::size_t kInputBufferBytes = std::size_t{96} * 1024;
constexpr std::size_t kDecodeBufferBytes = 16;

int addressKey(snd_seq_addr_t addr)
{
    return addr.client << 8 | addr.port;
}

} // namespace

std::unique_ptr<AlsaClient> AlsaClient::open(const std::string& name, MIDINotifyProc notifyProc, void* notifyRefCon,
                                             std::shared_ptr<OwnClientSet> ownClients, int* outError)
{
    snd_seq_t* seq = nullptr;
    int error = 0;
    const int clientId = ownClients->registerClient([&]() {
        error = snd_seq_open(&seq, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK);
        return error < 0 ? -1 : snd_seq_client_id(seq);
    });
    if (error < 0 || clientId < 0) {
        if (seq != nullptr) {
            snd_seq_close(seq);
        }
        *outError = error < 0 ? error : clientId;
        return nullptr;
    }
    std::unique_ptr<AlsaClient> client(new AlsaClient(seq, clientId, std::move(ownClients), notifyProc, notifyRefCon));
    if (const int nameResult = snd_seq_set_client_name(seq, name.c_str()); nameResult < 0) {
        *outError = nameResult;
        return nullptr;
    }
    if (!client->start(outError)) {
        return nullptr;
    }
    return client;
}

AlsaClient::AlsaClient(snd_seq_t* seq, int clientId, std::shared_ptr<OwnClientSet> ownClients,
                       MIDINotifyProc notifyProc, void* notifyRefCon)
    : m_seq(seq),
      m_clientId(clientId),
      m_ownClients(std::move(ownClients)),
      m_notify(std::shared_ptr<NotifyTarget>(new NotifyTarget{notifyProc, notifyRefCon, {true}}))
{
}

AlsaClient::~AlsaClient()
{
    close();
}

bool AlsaClient::start(int* outError)
{
    // Best effort: a smaller pool still works for ordinary messages.
    snd_seq_set_client_pool_input(m_seq, kInputPoolCells);
    snd_seq_set_input_buffer_size(m_seq, kInputBufferBytes);

    m_announcePort = snd_seq_create_simple_port(
        m_seq, "setup changes", SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_NO_EXPORT, SND_SEQ_PORT_TYPE_APPLICATION);
    if (m_announcePort < 0) {
        *outError = m_announcePort;
        return false;
    }
    if (const int r = snd_seq_connect_from(m_seq, m_announcePort, SND_SEQ_CLIENT_SYSTEM, SND_SEQ_PORT_SYSTEM_ANNOUNCE);
        r < 0) {
        *outError = r;
        return false;
    }
    if (const int r = snd_midi_event_new(kDecodeBufferBytes, &m_decoder); r < 0) {
        m_decoder = nullptr;
        *outError = r;
        return false;
    }
    snd_midi_event_no_status(m_decoder, 1);
    m_wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wakeFd < 0) {
        *outError = -errno;
        return false;
    }
    m_thread = std::thread([this] { receiveLoop(); });
    return true;
}

void AlsaClient::close()
{
    m_notify->alive = false;
    if (m_thread.joinable()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof one);
        m_thread.join();
    }
    if (m_wakeFd >= 0) {
        ::close(m_wakeFd);
        m_wakeFd = -1;
    }
    if (m_decoder != nullptr) {
        snd_midi_event_free(m_decoder);
        m_decoder = nullptr;
    }
    if (m_seq != nullptr) {
        std::lock_guard lock(m_outputMutex);
        m_ownClients->depart(m_clientId);
        snd_seq_close(m_seq);
        m_seq = nullptr;
    }
}

int AlsaClient::createInputPort(const std::string& name, MIDIReadProc readProc, void* refCon)
{
    const int port =
        snd_seq_create_simple_port(m_seq, name.c_str(), SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
                                   SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (port >= 0) {
        std::lock_guard lock(m_inputMutex);
        m_inputPorts[port] = InputPort{readProc, refCon, {}};
    }
    return port;
}

int AlsaClient::createOutputPort(const std::string& name)
{
    return snd_seq_create_simple_port(m_seq, name.c_str(), SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                      SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
}

int AlsaClient::deletePort(int port)
{
    {
        std::unique_lock lock(m_inputMutex);
        m_inputPorts.erase(port);
        if (std::this_thread::get_id() != m_thread.get_id()) {
            m_inputIdle.wait(lock, [&] { return m_portInCallback != port; });
        }
    }
    {
        std::lock_guard lock(m_subscriptionMutex);
        std::erase_if(m_subscriptions, [port](const std::pair<int, int>& s) { return s.first == port; });
    }
    return snd_seq_delete_simple_port(m_seq, port);
}

int AlsaClient::connectSource(int port, snd_seq_addr_t source, void* connRefCon)
{
    std::lock_guard lock(m_inputMutex);
    auto it = m_inputPorts.find(port);
    if (it == m_inputPorts.end()) {
        return -EINVAL;
    }
    const int result = snd_seq_connect_from(m_seq, port, source.client, source.port);
    if (result < 0 && result != -EBUSY) {
        return result;
    }
    it->second.connRefCons[addressKey(source)] = connRefCon;
    return 0;
}

int AlsaClient::disconnectSource(int port, snd_seq_addr_t source)
{
    {
        std::lock_guard lock(m_inputMutex);
        auto it = m_inputPorts.find(port);
        if (it == m_inputPorts.end()) {
            return -EINVAL;
        }
        it->second.connRefCons.erase(addressKey(source));
    }
    return snd_seq_disconnect_from(m_seq, port, source.client, source.port);
}

int AlsaClient::ensureConnectedTo(int port, snd_seq_addr_t dest)
{
    snd_seq_port_subscribe_t* subscription = nullptr;
    snd_seq_port_subscribe_alloca(&subscription);
    const snd_seq_addr_t sender{static_cast<unsigned char>(m_clientId), static_cast<unsigned char>(port)};
    snd_seq_port_subscribe_set_sender(subscription, &sender);
    snd_seq_port_subscribe_set_dest(subscription, &dest);
    const std::pair<int, int> key{port, addressKey(dest)};
    std::lock_guard lock(m_subscriptionMutex);
    if (snd_seq_get_port_subscription(m_seq, subscription) == 0) {
        return 0;
    }
    if (m_subscriptions.count(key) != 0) {
        return -ENODEV;
    }
    const int result = snd_seq_subscribe_port(m_seq, subscription);
    if (result < 0 && result != -EBUSY) {
        return result;
    }
    m_subscriptions.insert(key);
    return 0;
}

void AlsaClient::receiveLoop()
{
    const int seqFds = snd_seq_poll_descriptors_count(m_seq, POLLIN);
    std::vector<pollfd> fds(static_cast<std::size_t>(seqFds) + 1);
    snd_seq_poll_descriptors(m_seq, fds.data(), static_cast<unsigned>(seqFds), POLLIN);
    fds.back() = pollfd{m_wakeFd, POLLIN, 0};
    for (;;) {
        if (poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            std::fprintf(stderr, "ALSA: the MIDI receive thread stopped: poll failed (errno %d)\n", errno);
            return;
        }
        if (fds.back().revents != 0) {
            return;
        }
        for (std::size_t i = 0; i + 1 < fds.size(); ++i) {
            if (fds[i].revents & (POLLERR | POLLHUP | POLLNVAL)) {
                // Polling again would return at once, forever.
                std::fprintf(stderr,
                             "ALSA: the MIDI sequencer connection failed; no more MIDI input or setup changes\n");
                return;
            }
        }
        drainEvents();
    }
}

void AlsaClient::drainEvents()
{
    bool changed = false;
    bool removed = false;
    for (;;) {
        snd_seq_event_t* ev = nullptr;
        const int result = snd_seq_event_input(m_seq, &ev);
        if (result == -ENOSPC) {
            if (!m_reportedOverrun) {
                std::fprintf(stderr, "ALSA: MIDI input overran the receive buffer; incoming events were lost\n");
                m_reportedOverrun = true;
            }
            continue;
        }
        if (result < 0 || ev == nullptr) {
            break;
        }
        if (ev->dest.port != m_announcePort) {
            deliverInput(*ev);
            continue;
        }
        switch (ev->type) {
        case SND_SEQ_EVENT_CLIENT_START:
        case SND_SEQ_EVENT_CLIENT_CHANGE:
        case SND_SEQ_EVENT_PORT_START:
        case SND_SEQ_EVENT_PORT_CHANGE:
            if (!m_ownClients->isOurs(ev->data.addr.client, ev->type == SND_SEQ_EVENT_CLIENT_START)) {
                changed = true;
            }
            break;
        case SND_SEQ_EVENT_CLIENT_EXIT:
        case SND_SEQ_EVENT_PORT_EXIT:
            if (!m_ownClients->isOurs(ev->data.addr.client, false)) {
                changed = true;
                removed = true;
            }
            break;
        default:
            break;
        }
    }
    // One burst of announcements (a device brings several ports) is one
    // change for the listeners.
    if (removed) {
        post(kMIDIMsgObjectRemoved);
    }
    if (changed) {
        post(kMIDIMsgSetupChanged);
    }
}

void AlsaClient::deliverInput(const snd_seq_event_t& ev)
{
    const Byte* bytes = nullptr;
    std::size_t length = 0;
    unsigned char decoded[kDecodeBufferBytes];
    if (ev.type == SND_SEQ_EVENT_SYSEX) {
        bytes = static_cast<const Byte*>(ev.data.ext.ptr);
        length = ev.data.ext.len;
    } else {
        snd_midi_event_reset_decode(m_decoder);
        const long n = snd_midi_event_decode(m_decoder, decoded, sizeof decoded, &ev);
        if (n <= 0) {
            return; // not a MIDI message (subscription notices and the like)
        }
        bytes = decoded;
        length = static_cast<std::size_t>(n);
    }
    if (bytes == nullptr || length == 0) {
        return;
    }
    MIDIReadProc readProc = nullptr;
    void* refCon = nullptr;
    void* connRefCon = nullptr;
    {
        std::lock_guard lock(m_inputMutex);
        auto port = m_inputPorts.find(ev.dest.port);
        if (port == m_inputPorts.end() || port->second.readProc == nullptr) {
            return;
        }
        auto conn = port->second.connRefCons.find(addressKey(ev.source));
        if (conn == port->second.connRefCons.end()) {
            return;
        }
        readProc = port->second.readProc;
        refCon = port->second.refCon;
        connRefCon = conn->second;
        m_portInCallback = ev.dest.port;
    }
    struct CallbackDone {
        explicit CallbackDone(AlsaClient& owner) : client(owner) {}
        CallbackDone(const CallbackDone&) = delete;
        CallbackDone& operator=(const CallbackDone&) = delete;
        AlsaClient& client;
        ~CallbackDone()
        {
            {
                std::lock_guard lock(client.m_inputMutex);
                client.m_portInCallback = -1;
            }
            client.m_inputIdle.notify_all();
        }
    } done{*this};
    const PacketListStorage list = PacketListStorage::holding(bytes, length, platform::clock().hostTime());
    readProc(list.list(), refCon, connRefCon);
}

void AlsaClient::post(MIDINotificationMessageID id)
{
    if (m_notify->proc == nullptr) {
        return;
    }
    platform::mainLoop().post([target = m_notify, id]() {
        if (!target->alive) {
            return;
        }
        const MIDINotification message{id, sizeof(MIDINotification)};
        target->proc(&message, target->refCon);
    });
}

} // namespace mirelo::midi::alsa
