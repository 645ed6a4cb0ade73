#pragma once
// Which MIDI source belongs to a destination: the instrument's own input, on
// which it answers what it is sent. The MIDI services list sources and
// destinations apart; what ties the two ends of one device together is its
// model (on ALSA the sequencer client both ports belong to), and within a
// device the port's name, which a device's input and output share.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

struct SPortNames {
    std::string model; // "" when it cannot be read: such a port is paired with nothing
    std::string name;
    std::string displayName;
};

class CInstrumentPairing {
public:
    struct SFound {
        std::size_t destination;
        std::optional<std::size_t> source; // none: the destination has no input of its own
    };

    // The source of the destination at `destination`: among the sources of
    // its model and name (else, when there are none, of its model), the one
    // whose place among them is the destination's place among the
    // destinations of the same kind. Two devices of one model list their
    // ports in the same order both ways, so places match; when the counts
    // differ, nothing, since the answer could come from another device.
    static std::optional<std::size_t> sourceFor(const std::vector<SPortNames>& destinations, std::size_t destination,
                                                const std::vector<SPortNames>& sources);

    // The endpoints as the MIDI services list them now, in index order.
    static std::vector<SPortNames> currentDestinations();
    static std::vector<SPortNames> currentSources();

    // The first destination now called `displayName`, with its source: how a
    // device is found again after it went away and came back under another
    // index.
    static std::optional<SFound> find(const std::string& displayName);
};
