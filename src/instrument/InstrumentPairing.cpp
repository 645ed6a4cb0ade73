#include "instrument/InstrumentPairing.h"

#include "platform/midi/MIDIServices.h"

#include <algorithm>
#include <functional>

namespace {

using Match = std::function<bool(const SPortNames&)>;

std::vector<std::size_t> positionsOf(const std::vector<SPortNames>& ports, const Match& match)
{
    std::vector<std::size_t> positions;
    for (std::size_t i = 0; i < ports.size(); ++i) {
        if (match(ports[i])) {
            positions.push_back(i);
        }
    }
    return positions;
}

std::string property(MIDIEndpointRef endpoint, MIDIPropertyID id)
{
    std::string value;
    if (MIDIObjectGetStringProperty(endpoint, id, &value) != noErr) {
        value.clear();
    }
    return value;
}

std::vector<SPortNames> describe(ItemCount count, MIDIEndpointRef (*at)(ItemCount))
{
    std::vector<SPortNames> ports;
    for (ItemCount i = 0; i < count; ++i) {
        const MIDIEndpointRef endpoint = at(i);
        ports.push_back({property(endpoint, kMIDIPropertyModel), property(endpoint, kMIDIPropertyName),
                         property(endpoint, kMIDIPropertyDisplayName)});
    }
    return ports;
}

} // namespace

std::optional<std::size_t> CInstrumentPairing::sourceFor(const std::vector<SPortNames>& destinations,
                                                         std::size_t destination,
                                                         const std::vector<SPortNames>& sources)
{
    if (destination >= destinations.size() || destinations[destination].model.empty()) {
        return std::nullopt;
    }
    const SPortNames& wanted = destinations[destination];
    const Match sameModel = [&](const SPortNames& p) { return p.model == wanted.model; };
    const Match sameName = [&](const SPortNames& p) { return sameModel(p) && p.name == wanted.name; };
    for (const Match* match : {&sameName, &sameModel}) {
        const std::vector<std::size_t> candidates = positionsOf(sources, *match);
        if (candidates.empty()) {
            continue;
        }
        const std::vector<std::size_t> twins = positionsOf(destinations, *match);
        if (twins.size() != candidates.size()) {
            return std::nullopt;
        }
        const auto place = std::find(twins.begin(), twins.end(), destination) - twins.begin();
        return candidates[static_cast<std::size_t>(place)];
    }
    return std::nullopt;
}

std::vector<SPortNames> CInstrumentPairing::currentDestinations()
{
    return describe(MIDIGetNumberOfDestinations(), MIDIGetDestination);
}

std::vector<SPortNames> CInstrumentPairing::currentSources()
{
    return describe(MIDIGetNumberOfSources(), MIDIGetSource);
}

std::optional<CInstrumentPairing::SFound> CInstrumentPairing::find(const std::string& displayName)
{
    const std::vector<SPortNames> destinations = currentDestinations();
    const auto it = std::find_if(destinations.begin(), destinations.end(),
                                 [&](const SPortNames& p) { return p.displayName == displayName; });
    if (it == destinations.end()) {
        return std::nullopt;
    }
    const auto destination = static_cast<std::size_t>(it - destinations.begin());
    return SFound{destination, sourceFor(destinations, destination, currentSources())};
}
