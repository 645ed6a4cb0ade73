#include "platform/midi/MidiBackend.h"

#include "platform/midi/alsa/AlsaBackend.h"
#include "platform/midi/virtual/VirtualBackend.h"
#include "platform/midi/virtual/VirtualInstrument.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace mirelo::midi {
namespace {

constexpr const char* kDefaultBackend = "alsa";
constexpr const char* kKnownBackends = "alsa, virtual";

std::atomic<MidiBackend*> s_override{nullptr};
std::atomic<MidiBackend*> s_default{nullptr};
std::mutex s_defaultMutex;

// Lives until exit: notifications and receive threads may still refer to it.
std::unique_ptr<MidiBackend>& defaultStorage()
{
    static std::unique_ptr<MidiBackend> storage;
    return storage;
}

std::unique_ptr<MidiBackend> makeChosenBackend()
{
    const char* requested = std::getenv("MIRELO_MIDI_BACKEND");
    if (requested != nullptr && *requested != '\0') {
        if (auto chosen = makeBackend(requested)) {
            return chosen;
        }
        // A typo should not silently route firmware nowhere: use the default.
        std::fprintf(stderr, "MIRELO_MIDI_BACKEND=\"%s\" is not a MIDI backend here (known: %s); using %s.\n",
                     requested, kKnownBackends, kDefaultBackend);
    }
    if (auto chosen = makeBackend(kDefaultBackend)) {
        return chosen;
    }
    return std::make_unique<VirtualBackend>();
}

} // namespace

MidiBackend& activeBackend()
{
    if (MidiBackend* chosen = s_override.load(std::memory_order_acquire)) {
        return *chosen;
    }
    if (MidiBackend* existing = s_default.load(std::memory_order_acquire)) {
        return *existing;
    }
    std::lock_guard lock(s_defaultMutex);
    auto& storage = defaultStorage();
    if (!storage) {
        storage = makeChosenBackend();
        s_default.store(storage.get(), std::memory_order_release);
    }
    return *storage;
}

void setActiveBackend(MidiBackend* backend)
{
    s_override.store(backend, std::memory_order_release);
}

std::unique_ptr<MidiBackend> makeBackend(const std::string& name)
{
    if (name == "virtual") {
        auto backend = std::make_unique<VirtualBackend>();
        // Not in a capture destination's own backend: only the front ends' MIDI system has instruments.
        VirtualInstrument::addFromEnvironment(*backend);
        return backend;
    }
    if (name == "alsa") {
        return makeAlsaBackend();
    }
    return nullptr;
}

} // namespace mirelo::midi
