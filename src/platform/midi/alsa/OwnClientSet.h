#pragma once
// The sequencer clients this process owns, so that announcements about them
// (our own ports coming and going as outputs are opened) are not taken for
// changes of the MIDI setup: the window reopens its output on every change,
// which would otherwise announce itself again without end.

#include <functional>
#include <mutex>
#include <set>

namespace mirelo::midi::alsa {

class OwnClientSet {
public:
    // Runs `open`, which returns the new client's number (negative on
    // failure), and registers it before any receive thread can ask about it.
    int registerClient(const std::function<int()>& open);

    // Our client is closing: the exit announcements still to come are ours,
    // until the number is taken by a new client.
    void depart(int client);

    // Whether an announcement about `client` concerns one of ours.
    // `clientStart` marks a client-start announcement, the only way a number
    // that one of ours gave up comes back into use.
    bool isOurs(int client, bool clientStart);

    std::set<int> live() const;

private:
    mutable std::mutex m_mutex;
    std::set<int> m_live;
    std::set<int> m_departed;
};

} // namespace mirelo::midi::alsa
