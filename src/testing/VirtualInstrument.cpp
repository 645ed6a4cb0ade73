#include "testing/VirtualInstrument.h"

#include "testing/ControlledVirtualBackend.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace mirelo::midi {

namespace {

bool isIdentityRequest(const std::vector<Byte>& bytes)
{
    return bytes.size() == 6 && bytes[0] == 0xF0 && bytes[1] == 0x7E && bytes[2] < 0x80 && bytes[3] == 0x06 &&
           bytes[4] == 0x01 && bytes[5] == 0xF7;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

} // namespace

std::optional<std::vector<Byte>> VirtualInstrument::parseHex(std::string_view text)
{
    std::vector<Byte> bytes;
    int high = -1;
    for (const char c : text) {
        if (c == ' ') {
            continue;
        }
        const int digit = hexDigit(c);
        if (digit < 0) {
            return std::nullopt;
        }
        if (high < 0) {
            high = digit;
        } else {
            bytes.push_back(static_cast<Byte>(high << 4 | digit));
            high = -1;
        }
    }
    if (high >= 0 || bytes.empty()) {
        return std::nullopt;
    }
    return bytes;
}

void VirtualInstrument::addFromEnvironment(ControlledVirtualBackend& backend)
{
    const char* value = std::getenv(kVariable);
    if (value == nullptr || *value == '\0') {
        return;
    }
    const std::string_view behaviour(value);
    const bool echo = behaviour == "echo";
    const std::optional<std::vector<Byte>> reply =
        echo || behaviour == "silent" ? std::optional<std::vector<Byte>>() : parseHex(behaviour);
    if (!echo && behaviour != "silent" && !reply) {
        std::fprintf(stderr, "%s=\"%s\" is not silent, echo or hex bytes; ignored\n", kVariable, value);
        return;
    }
    const VirtualEndpointProperties properties{kName, kName, kName, true};
    const MIDIEndpointRef source = backend.addSource(properties, ControlledVirtualBackend::Announce::No);
    ControlledVirtualBackend::ReceiveHook hook;
    if (echo) {
        hook = [&backend, source](MIDIEndpointRef, const MIDIPacketList& list) {
            // An echo of a list the backend accepted: always deliverable.
            static_cast<void>(backend.injectIncoming(source, {allBytes(list)}));
        };
    } else if (reply) {
        hook = [&backend, source, answer = *reply](MIDIEndpointRef, const MIDIPacketList& list) {
            if (isIdentityRequest(allBytes(list))) {
                static_cast<void>(backend.injectIncoming(source, {answer}));
            }
        };
    }
    backend.addDestination(properties, std::move(hook), ControlledVirtualBackend::Announce::No);
}

} // namespace mirelo::midi
