#pragma once
// Picks the destination `send` sends to. With --to: an index, a display name
// exactly, or else a case-insensitive prefix of exactly one display name.
// Without: the one hardware destination. It never guesses: a software port
// such as Midi Through is not an instrument, and of two instruments either
// could be the wrong one.

#include "cli/MidiEndpoints.h"

#include <cstddef>
#include <string>
#include <vector>

class CDestinationChooser {
public:
    enum class EOutcome {
        kChosen,
        kNoMatch,            // --to names no destination
        kSeveralMatches,     // --to is a prefix of several display names
        kIndexOutOfRange,    // --to is an index past the last destination
        kNoInstrument,       // no --to, and no destination is hardware
        kSeveralInstruments, // no --to, and more than one destination is hardware
    };

    struct SChoice {
        EOutcome outcome = EOutcome::kChosen;
        std::size_t index = 0; // the destination, when chosen
        std::string message;   // otherwise why not, with the candidates, for the user
    };

    explicit CDestinationChooser(std::vector<SEndpointInfo> destinations) : m_destinations(std::move(destinations)) {}

    [[nodiscard]] SChoice choose(const std::string& what) const;
    [[nodiscard]] SChoice chooseInstrument() const;

private:
    std::vector<SEndpointInfo> m_destinations;
};
