#include "cli/DestinationChooser.h"

#include <algorithm>
#include <cctype>

namespace {

constexpr const char* kSeeList = "; `mirelo-updater-cli list` shows the destinations";

bool isIndex(const std::string& text)
{
    return !text.empty() && text.size() <= 9 &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
}

bool startsWithIgnoringCase(const std::string& text, const std::string& prefix)
{
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(),
                      [](unsigned char a, unsigned char b) { return std::tolower(a) == std::tolower(b); });
}

CDestinationChooser::SChoice chosen(std::size_t index)
{
    return {CDestinationChooser::EOutcome::kChosen, index, {}};
}

CDestinationChooser::SChoice refused(CDestinationChooser::EOutcome outcome, std::string message)
{
    return {outcome, 0, std::move(message)};
}

} // namespace

CDestinationChooser::SChoice CDestinationChooser::choose(const std::string& what) const
{
    const std::string head = "--to " + what + ": ";
    if (isIndex(what)) {
        const std::size_t index = std::stoul(what);
        if (index < m_destinations.size()) {
            return chosen(index);
        }
        const std::size_t count = m_destinations.size();
        return refused(EOutcome::kIndexOutOfRange,
                       head + "there is no destination " + what + " (there " +
                           (count == 1 ? std::string("is 1") : "are " + std::to_string(count)) + ")" + kSeeList + ".");
    }
    for (const SEndpointInfo& d : m_destinations) {
        if (d.displayName == what) {
            return chosen(d.index);
        }
    }
    std::vector<const SEndpointInfo*> matches;
    if (!what.empty()) {
        for (const SEndpointInfo& d : m_destinations) {
            if (startsWithIgnoringCase(d.displayName, what)) {
                matches.push_back(&d);
            }
        }
    }
    if (matches.size() == 1) {
        return chosen(matches.front()->index);
    }
    if (matches.empty()) {
        return refused(EOutcome::kNoMatch, head + "no destination is called \"" + what + "\"" + kSeeList + ".");
    }
    std::string message = head + "\"" + what + "\" could be any of";
    for (const SEndpointInfo* d : matches) {
        message += (d == matches.front() ? " " : ", ") + std::to_string(d->index) + " \"" + d->displayName + "\"";
    }
    return refused(EOutcome::kSeveralMatches, message + kSeeList + ".");
}

CDestinationChooser::SChoice CDestinationChooser::chooseInstrument() const
{
    std::vector<const SEndpointInfo*> hardware;
    for (const SEndpointInfo& d : m_destinations) {
        if (d.hardware) {
            hardware.push_back(&d);
        }
    }
    if (hardware.size() == 1) {
        return chosen(hardware.front()->index);
    }
    const bool none = hardware.empty();
    std::string message =
        none ? "not sending: no MIDI destination is a hardware port, so none of them is the instrument. Connect "
               "the instrument (by USB), or name the destination to send to with --to INDEX|NAME"
             : "not sending: " + std::to_string(hardware.size()) +
                   " MIDI destinations are hardware ports and any of them could be the instrument. Name the one to "
                   "send to with --to INDEX|NAME";
    message += std::string(kSeeList) + (none ? ". The destinations:" : ". The hardware ones:");
    for (const SEndpointInfo& d : m_destinations) {
        if (d.hardware || none) {
            message += "\n  " + std::to_string(d.index) + "  \"" + d.label("destination") + "\"";
        }
    }
    return refused(none ? EOutcome::kNoInstrument : EOutcome::kSeveralInstruments, message);
}
