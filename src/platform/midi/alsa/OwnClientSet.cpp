#include "platform/midi/alsa/OwnClientSet.h"

namespace mirelo::midi::alsa {

int OwnClientSet::registerClient(const std::function<int()>& open)
{
    std::lock_guard lock(m_mutex);
    const int client = open();
    if (client >= 0) {
        m_live.insert(client);
        m_departed.erase(client);
    }
    return client;
}

void OwnClientSet::depart(int client)
{
    std::lock_guard lock(m_mutex);
    if (m_live.erase(client) != 0) {
        m_departed.insert(client);
    }
}

bool OwnClientSet::isOurs(int client, bool clientStart)
{
    std::lock_guard lock(m_mutex);
    if (m_live.count(client) != 0) {
        return true;
    }
    if (m_departed.count(client) != 0) {
        if (!clientStart) {
            return true;
        }
        m_departed.erase(client);
    }
    return false;
}

std::set<int> OwnClientSet::live() const
{
    std::lock_guard lock(m_mutex);
    return m_live;
}

} // namespace mirelo::midi::alsa
