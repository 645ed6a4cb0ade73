#pragma once
// What the CLI shows of the active MIDI backend: whether it can start at all,
// and its destinations and sources with their three names and whether they
// are hardware.

#include "platform/midi/MIDIServices.h"

#include <cstddef>
#include <string>
#include <vector>

struct SEndpointInfo {
    std::size_t index;
    std::string displayName; // "" when it cannot be read
    std::string model;
    std::string name;
    bool hardware = false; // a port of a connected device; software when it cannot be read

    // The display name, else the name, else the model, else "destination N".
    std::string label(const char* kind) const;
};

class CMidiEndpoints {
public:
    // Creates and disposes a client: the status tells whether the MIDI system
    // is there (kMIDIServerStartErr when the ALSA sequencer cannot be opened).
    [[nodiscard]] static OSStatus probe();

    static std::vector<SEndpointInfo> destinations();
    static std::vector<SEndpointInfo> sources();

    // The one sentence for a MIDI system that cannot start.
    static std::string noMidiSystemSentence(OSStatus status);
};
