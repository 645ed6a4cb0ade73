#include "cli/MidiEndpoints.h"

#include "update/StatusText.h"

namespace {

std::string property(MIDIEndpointRef endpoint, MIDIPropertyID id)
{
    std::string value;
    if (MIDIObjectGetStringProperty(endpoint, id, &value) != noErr) {
        value.clear();
    }
    return value;
}

// Never guesses hardware: an endpoint that cannot say counts as software.
bool isHardware(MIDIEndpointRef endpoint)
{
    std::int32_t value = 0;
    return MIDIObjectGetIntegerProperty(endpoint, kMIDIPropertyHardware, &value) == noErr && value != 0;
}

std::vector<SEndpointInfo> describe(ItemCount count, MIDIEndpointRef (*at)(ItemCount))
{
    std::vector<SEndpointInfo> list;
    for (ItemCount i = 0; i < count; ++i) {
        const MIDIEndpointRef endpoint = at(i);
        list.push_back({i, property(endpoint, kMIDIPropertyDisplayName), property(endpoint, kMIDIPropertyModel),
                        property(endpoint, kMIDIPropertyName), isHardware(endpoint)});
    }
    return list;
}

} // namespace

std::string SEndpointInfo::label(const char* kind) const
{
    for (const std::string* text : {&displayName, &name, &model}) {
        if (!text->empty()) {
            return *text;
        }
    }
    return std::string(kind) + " " + std::to_string(index);
}

OSStatus CMidiEndpoints::probe()
{
    MIDIClientRef client = 0;
    const OSStatus status = MIDIClientCreate("mirelo-updater-cli", nullptr, nullptr, &client);
    if (status == noErr) {
        // Only whether a client could be made answers the question.
        static_cast<void>(MIDIClientDispose(client));
    }
    return status;
}

std::vector<SEndpointInfo> CMidiEndpoints::destinations()
{
    return describe(MIDIGetNumberOfDestinations(), MIDIGetDestination);
}

std::vector<SEndpointInfo> CMidiEndpoints::sources()
{
    return describe(MIDIGetNumberOfSources(), MIDIGetSource);
}

std::string CMidiEndpoints::noMidiSystemSentence(OSStatus status)
{
    // What a Linux user can act on comes first; the status is for a report.
    return "No MIDI system is available: the ALSA sequencer (/dev/snd/seq) cannot be opened, so there are no MIDI "
           "devices. To run the update without one, send to a capture file with `mirelo-updater-cli send --capture "
           "OUT.syx`. (status " +
           CStatusText::name(status) + ")";
}
