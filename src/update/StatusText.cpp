#include "update/StatusText.h"

#include "platform/base/Bundle.h"

#include <string_view>

namespace {

struct SKnownStatus {
    OSStatus status;
    const char* name;
    const char* meaning;
};

constexpr SKnownStatus kKnown[] = {
    {kMIDIInvalidClient, "kMIDIInvalidClient", "the MIDI client is not valid"},
    {kMIDIInvalidPort, "kMIDIInvalidPort", "the MIDI port is not valid"},
    {kMIDIWrongEndpointType, "kMIDIWrongEndpointType", "the endpoint cannot be used this way"},
    {kMIDINoConnection, "kMIDINoConnection", "the port is not connected"},
    {kMIDIUnknownEndpoint, "kMIDIUnknownEndpoint", "the endpoint is not known"},
    {kMIDIUnknownProperty, "kMIDIUnknownProperty", "the endpoint has no such property"},
    {kMIDIWrongPropertyType, "kMIDIWrongPropertyType", "the property has another type"},
    {kMIDINoCurrentSetup, "kMIDINoCurrentSetup", "there is no MIDI setup"},
    {kMIDIMessageSendErr, "kMIDIMessageSendErr", "the message could not be sent"},
    {kMIDIServerStartErr, "kMIDIServerStartErr", "the MIDI system could not be started"},
    {kMIDISetupFormatErr, "kMIDISetupFormatErr", "the MIDI setup could not be read"},
    {kMIDIWrongThread, "kMIDIWrongThread", "called from the wrong thread"},
    {kMIDIObjectNotFound, "kMIDIObjectNotFound", "the device or port was not found; it may have been unplugged"},
    {kMIDIIDNotUnique, "kMIDIIDNotUnique", "two devices report the same identity"},
    {kMIDINotPermitted, "kMIDINotPermitted", "access to the MIDI system was refused"},
    {kMIDIUnknownError, "kMIDIUnknownError", "unknown MIDI error"},
    {kParamErr, "paramErr", "a value passed to the system was not valid"},
    {kMemFullErr, "memFullErr", "out of memory"},
    {kUnimpErr, "unimpErr", "not supported"},
};

const SKnownStatus* find(OSStatus status)
{
    for (const SKnownStatus& known : kKnown) {
        if (known.status == status) {
            return &known;
        }
    }
    return nullptr;
}

} // namespace

std::string CStatusText::name(OSStatus status)
{
    const SKnownStatus* known = find(status);
    return std::to_string(status) + (known ? std::string(" ") + known->name : std::string());
}

std::string CStatusText::meaning(OSStatus status)
{
    const std::string key = std::to_string(status);
    if (const mirelo::platform::Bundle* bundle = mirelo::platform::mainBundle()) {
        for (const char* table : {"AudioErrors", "OSErrors"}) {
            std::string text = bundle->localizedString(key, std::string_view(), table);
            if (!text.empty()) {
                return text;
            }
        }
    }
    const SKnownStatus* known = find(status);
    return known ? std::string(known->meaning) + "." : "unknown status.";
}
