// How sequencer ports become endpoints: capabilities, order, names, refs.

#include "platform/midi/alsa/EndpointRef.h"
#include "platform/midi/alsa/OwnClientSet.h"
#include "platform/midi/alsa/PortMapping.h"

#include <alsa/asoundlib.h>
#include <gtest/gtest.h>

#include <utility>
#include <vector>

using namespace mirelo::midi::alsa;

namespace {

constexpr unsigned R = SND_SEQ_PORT_CAP_READ;
constexpr unsigned W = SND_SEQ_PORT_CAP_WRITE;
constexpr unsigned SR = SND_SEQ_PORT_CAP_SUBS_READ;
constexpr unsigned SW = SND_SEQ_PORT_CAP_SUBS_WRITE;
constexpr unsigned NX = SND_SEQ_PORT_CAP_NO_EXPORT;
// Port types as the kernel sets them: 0x090002 for a USB MIDI device (and a
// card's MIDI port), 0x0a0002 for Midi Through and virmidi.
constexpr unsigned kHardware = SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_HARDWARE | SND_SEQ_PORT_TYPE_PORT;
constexpr unsigned kSoftware = SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_SOFTWARE | SND_SEQ_PORT_TYPE_PORT;
constexpr unsigned kApplication = SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION;

TEST(AlsaPortMapping, CapabilitiesDecideSourceAndDestination)
{
    struct Case {
        unsigned caps;
        bool source;
        bool destination;
    };
    const Case cases[] = {
        {R | SR | W | SW, true, true}, // a typical hardware port
        {R | SR, true, false},         // output-only device
        {W | SW, false, true},         // input-only device
        {R | W, false, false},         // no subscription: private port
        {R | SR | W, true, false},
        {W | SW | R, false, true},
        {R | SR | W | SW | NX, false, false}, // not for others to use
        {0, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caps);
        EXPECT_EQ(PortMapping::isSource(c.caps), c.source);
        EXPECT_EQ(PortMapping::isDestination(c.caps), c.destination);
        EXPECT_EQ(PortMapping::matchesKind(c.caps, EndpointKind::source), c.source);
        EXPECT_EQ(PortMapping::matchesKind(c.caps, EndpointKind::destination), c.destination);
    }
}

TEST(AlsaPortMapping, ListsOtherClientsInClientThenPortOrder)
{
    const std::vector<PortRecord> ports = {
        {24, 1, W | SW, "UM-ONE", "UM-ONE MIDI 2"},
        {0, 1, R | SR, "System", "Announce"},
        {14, 0, R | SR | W | SW, "Midi Through", "Midi Through Port-0"},
        {128, 0, W | SW, "ZAV Editor", "MIDI INPUT"},
        {24, 0, R | SR | W | SW, "UM-ONE", "UM-ONE MIDI 1"},
        {16, 0, R | SR, "Virtual Raw MIDI 0-0", "VirMIDI 0-0"},
    };
    const std::set<int> own = {128};

    const auto destinations = PortMapping::listEndpoints(ports, EndpointKind::destination, own);
    ASSERT_EQ(destinations.size(), 3u);
    EXPECT_EQ(destinations[0].client, 14);
    EXPECT_EQ(destinations[1].client, 24);
    EXPECT_EQ(destinations[1].port, 0);
    EXPECT_EQ(destinations[2].port, 1);

    const auto sources = PortMapping::listEndpoints(ports, EndpointKind::source, own);
    ASSERT_EQ(sources.size(), 3u); // the system's announce port is never a source
    EXPECT_EQ(sources[0].client, 14);
    EXPECT_EQ(sources[1].client, 16);
    EXPECT_EQ(sources[2].client, 24);
}

TEST(AlsaPortMapping, HardwarePortsComeFirstEachGroupByClientThenPort)
{
    using Address = std::pair<int, int>;
    struct Case {
        const char* setup;
        std::vector<PortRecord> ports;
        std::vector<Address> destinations;
        std::vector<Address> sources;
    };
    const auto port = [](int client, int p, unsigned caps, unsigned type) {
        return PortRecord{client, p, caps, "client", "port", true, -1, type};
    };
    const unsigned RW = R | SR | W | SW;
    const Case cases[] = {
        {"the test VM: Midi Through, virmidi, a USB gadget's own end and the USB device",
         {port(24, 0, RW, kHardware), port(14, 0, RW, kSoftware), port(16, 0, RW, kSoftware),
          port(20, 0, RW, kHardware), port(17, 0, RW, kSoftware)},
         {{20, 0}, {24, 0}, {14, 0}, {16, 0}, {17, 0}},
         {{20, 0}, {24, 0}, {14, 0}, {16, 0}, {17, 0}}},
        {"a two-port USB device after Midi Through and a software synth",
         {port(14, 0, RW, kSoftware), port(128, 0, W | SW, kApplication), port(24, 1, W | SW, kHardware),
          port(24, 0, RW, kHardware)},
         {{24, 0}, {24, 1}, {14, 0}, {128, 0}},
         {{24, 0}, {14, 0}}},
        {"no hardware: sequencer order",
         {port(16, 0, RW, kSoftware), port(14, 0, RW, kSoftware)},
         {{14, 0}, {16, 0}},
         {{14, 0}, {16, 0}}},
        {"a card's synth port counts as hardware",
         {port(16, 0, RW, kSoftware), port(17, 0, W | SW, SND_SEQ_PORT_TYPE_HARDWARE | SND_SEQ_PORT_TYPE_SYNTH)},
         {{17, 0}, {16, 0}},
         {{16, 0}}},
    };
    const auto addresses = [](const std::vector<PortRecord>& list) {
        std::vector<Address> out;
        for (const PortRecord& p : list) {
            out.emplace_back(p.client, p.port);
        }
        return out;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.setup);
        EXPECT_EQ(addresses(PortMapping::listEndpoints(c.ports, EndpointKind::destination, {})), c.destinations);
        EXPECT_EQ(addresses(PortMapping::listEndpoints(c.ports, EndpointKind::source, {})), c.sources);
    }
    EXPECT_TRUE(PortMapping::isHardware(0x090002));
    EXPECT_FALSE(PortMapping::isHardware(0x0a0002));
    EXPECT_FALSE(PortMapping::isHardware(kApplication));
    EXPECT_FALSE(PortMapping::isHardware(0));
}

TEST(AlsaPortMapping, DisplayNameIsWhatAconnectShows)
{
    struct Case {
        const char* client;
        const char* port;
        const char* display;
    };
    const Case cases[] = {
        {"UM-ONE", "UM-ONE MIDI 1", "UM-ONE MIDI 1"},
        {"Midi Through", "Midi Through Port-0", "Midi Through Port-0"},
        {"Virtual Raw MIDI 0-0", "VirMIDI 0-0", "Virtual Raw MIDI 0-0:VirMIDI 0-0"},
        {"FLUID Synth (1234)", "Synth input port (1234:0)", "FLUID Synth (1234):Synth input port (1234:0)"},
        {"Device", "", "Device"},
        {"", "Port", "Port"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PortMapping::displayName(c.client, c.port), c.display);
    }
}

TEST(AlsaPortMapping, OnlyKernelClientsWithACardArePaced)
{
    EXPECT_TRUE(PortMapping::drainsToWire(true, 0)); // USB device, virmidi
    EXPECT_TRUE(PortMapping::drainsToWire(true, 3));
    EXPECT_FALSE(PortMapping::drainsToWire(true, -1));  // Midi Through
    EXPECT_FALSE(PortMapping::drainsToWire(false, -1)); // software synth, recorder
}

TEST(AlsaEndpointRef, RoundTripsEveryAddressAndDirection)
{
    for (int client : {0, 14, 16, 127, 128, 191, 255}) {
        for (int port : {0, 1, 254, 255}) {
            for (EndpointKind kind : {EndpointKind::source, EndpointKind::destination}) {
                const EndpointRef ref{kind, static_cast<std::uint8_t>(client), static_cast<std::uint8_t>(port),
                                      EndpointRef::hashNames("Client", "Port")};
                const MIDIEndpointRef encoded = ref.encode();
                EXPECT_NE(encoded, 0u);
                EXPECT_NE(objectTag(encoded), kClientTag);
                EXPECT_NE(objectTag(encoded), kPortTag);
                EXPECT_EQ(EndpointRef::decode(encoded), ref);
            }
        }
    }
}

TEST(AlsaEndpointRef, SourceAndDestinationOfOnePortDiffer)
{
    const PortRecord port{20, 0, R | SR | W | SW, "Synth", "Synth MIDI 1"};
    const MIDIEndpointRef source = PortMapping::refFor(port, EndpointKind::source).encode();
    const MIDIEndpointRef destination = PortMapping::refFor(port, EndpointKind::destination).encode();
    EXPECT_NE(source, destination);
    EXPECT_EQ(EndpointRef::decode(source)->kind, EndpointKind::source);
    EXPECT_EQ(EndpointRef::decode(destination)->kind, EndpointKind::destination);
}

TEST(AlsaEndpointRef, RejectsRefsOfOtherObjects)
{
    EXPECT_FALSE(EndpointRef::decode(0));
    EXPECT_FALSE(EndpointRef::decode(kClientTag << kObjectTagShift | 1));
    EXPECT_FALSE(EndpointRef::decode(kPortTag << kObjectTagShift | 1));
    EXPECT_FALSE(EndpointRef::decode(0x00001000u)); // no tag at all
}

TEST(AlsaEndpointRef, AnotherDeviceAtTheSameAddressIsNotTheSameEndpoint)
{
    const PortRecord before{24, 0, W | SW, "UM-ONE", "UM-ONE MIDI 1"};
    const PortRecord replugged{24, 0, W | SW, "UM-ONE", "UM-ONE MIDI 1"};
    const PortRecord other{24, 0, W | SW, "MPK mini", "MPK mini MIDI 1"};
    const PortRecord swapped{24, 0, W | SW, "UM-ONE MIDI 1", "UM-ONE"};
    const auto ref = [](const PortRecord& p) { return PortMapping::refFor(p, EndpointKind::destination); };
    EXPECT_EQ(ref(before), ref(replugged));
    EXPECT_NE(ref(before), ref(other));
    EXPECT_NE(ref(before), ref(swapped));
}

TEST(AlsaOwnClientSet, OurExitsStayOursUntilTheNumberIsTakenAgain)
{
    OwnClientSet own;
    EXPECT_EQ(own.registerClient([] { return 130; }), 130);
    EXPECT_EQ(own.registerClient([] { return -2; }), -2);
    EXPECT_TRUE(own.isOurs(130, false));
    EXPECT_FALSE(own.isOurs(131, false));
    EXPECT_EQ(own.live(), std::set<int>{130});

    own.depart(130);
    EXPECT_TRUE(own.live().empty());
    EXPECT_TRUE(own.isOurs(130, false)); // our client's late exit announcement
    EXPECT_FALSE(own.isOurs(130, true)); // someone else's client took the number
    EXPECT_FALSE(own.isOurs(130, false));
}

} // namespace
