#pragma once
// The interface every MIDI backend implements. MIDIServices.cpp forwards each
// call of the MIDI API to the active backend. A backend reports failures as
// statuses of the MIDI family and never throws (allocation failure aside).

#include "platform/midi/MIDIServices.h"

#include <memory>
#include <string>

namespace mirelo::midi {

class MidiBackend {
public:
    virtual ~MidiBackend() = default;

    // Short name for diagnostics and `list`: "alsa", "virtual".
    virtual const char* name() const = 0;

    [[nodiscard]] virtual OSStatus clientCreate(const std::string& name, MIDINotifyProc notifyProc, void* notifyRefCon,
                                                MIDIClientRef* outClient) = 0;
    [[nodiscard]] virtual OSStatus clientDispose(MIDIClientRef client) = 0;
    [[nodiscard]] virtual OSStatus inputPortCreate(MIDIClientRef client, const std::string& portName,
                                                   MIDIReadProc readProc, void* refCon, MIDIPortRef* outPort) = 0;
    [[nodiscard]] virtual OSStatus outputPortCreate(MIDIClientRef client, const std::string& portName,
                                                    MIDIPortRef* outPort) = 0;
    [[nodiscard]] virtual OSStatus portConnectSource(MIDIPortRef port, MIDIEndpointRef source, void* connRefCon) = 0;
    [[nodiscard]] virtual OSStatus portDisconnectSource(MIDIPortRef port, MIDIEndpointRef source) = 0;
    [[nodiscard]] virtual OSStatus portDispose(MIDIPortRef port) = 0;

    virtual ItemCount numberOfSources() = 0;
    virtual MIDIEndpointRef source(ItemCount index) = 0;
    virtual ItemCount numberOfDestinations() = 0;
    virtual MIDIEndpointRef destination(ItemCount index) = 0;
    [[nodiscard]] virtual OSStatus stringProperty(MIDIObjectRef obj, MIDIPropertyID propertyID,
                                                  std::string* outString) = 0;
    [[nodiscard]] virtual OSStatus integerProperty(MIDIObjectRef obj, MIDIPropertyID propertyID,
                                                   std::int32_t* outValue) = 0;

    [[nodiscard]] virtual OSStatus send(MIDIPortRef port, MIDIEndpointRef dest, const MIDIPacketList* pktlist) = 0;
    [[nodiscard]] virtual OSStatus flushOutput(MIDIEndpointRef dest) = 0;
};

// The backend all MIDI calls go to. Chosen on first use from
// MIRELO_MIDI_BACKEND ("alsa" or "virtual"; default "alsa").
MidiBackend& activeBackend();

// Replaces the active backend (tests, the CLI's capture destination). The
// caller keeps ownership; pass null to return to the default choice. Must not
// race with MIDI calls.
void setActiveBackend(MidiBackend* backend);

// Builds the backend named (null when the name is unknown or not built here).
std::unique_ptr<MidiBackend> makeBackend(const std::string& name);

} // namespace mirelo::midi
