// What an instrument's answer says and which port it comes on: the Identity
// Reply read byte by byte, the version an update file carries, and the source
// that belongs to a destination, each as rows of a table.

#include "instrument/DeviceInquiry.h"
#include "instrument/InstrumentPairing.h"
#include "update/FirmwareVersion.h"
#include "tools/SyntheticFirmware.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <optional>
#include <vector>

namespace {

using Bytes = std::vector<Byte>;

// The emulator's default answer: manufacturer 7D, family 0x004D, model 0x0001, firmware 1.0.
const Bytes kReply = {0xF0, 0x7E, 0x00, 0x06, 0x02, 0x7D, 0x4D, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0xF7};
// An extended manufacturer ID; family and model use both 7-bit bytes, LSB first.
const Bytes kExtendedReply = {0xF0, 0x7E, 0x10, 0x06, 0x02, 0x00, 0x20, 0x33, 0x01,
                              0x02, 0x7F, 0x7F, 0x00, 0x01, 0x02, 0x03, 0xF7};

Bytes changed(Bytes bytes, std::size_t at, Byte value)
{
    bytes[at] = value;
    return bytes;
}

struct SReplyRow {
    const char* what;
    Bytes bytes;
    // Expected, as the user sees them; none: not an answer.
    std::optional<std::vector<std::string>> shown; // device ID, manufacturer, family, model, firmware
};

TEST(IdentityReply, IsReadOnlyFromAWellFormedReplyOfItsLength)
{
    Bytes shorter = kReply;
    shorter.erase(shorter.end() - 2);
    Bytes longer = kReply;
    longer.insert(longer.end() - 1, 0x00);
    const std::vector<SReplyRow> rows = {
        {"one-byte manufacturer", kReply, {{"0", "0x7D", "0x004D", "0x0001", "1.0"}}},
        {"extended manufacturer, 14-bit codes",
         kExtendedReply,
         {{"16", "0x00 0x20 0x33", "0x0101", "0x3FFF", "0.1.2.3"}}},
        {"our own request, looped back", {0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7}, std::nullopt},
        {"a revision byte short", shorter, std::nullopt},
        {"a byte too long", longer, std::nullopt},
        {"extended ID in a one-byte reply's length", changed(kReply, 5, 0x00), std::nullopt},
        {"a status byte where the family belongs", changed(kReply, 6, 0x90), std::nullopt},
        {"no F7 at the end", changed(kReply, 14, 0x00), std::nullopt},
        {"not a reply (sub-ID 03)", changed(kReply, 4, 0x03), std::nullopt},
        {"real-time universal, not non-real-time", changed(kReply, 1, 0x7F), std::nullopt},
        {"the head alone", {0xF0, 0x7E, 0x00, 0x06, 0x02}, std::nullopt},
        {"nothing", {}, std::nullopt},
    };
    for (const SReplyRow& row : rows) {
        const std::optional<SDeviceIdentity> identity = CDeviceInquiry::parseReply(row.bytes.data(), row.bytes.size());
        ASSERT_EQ(identity.has_value(), row.shown.has_value()) << row.what;
        if (identity) {
            const std::vector<std::string> shown = {std::to_string(identity->deviceId), identity->manufacturerText(),
                                                    identity->familyText(), identity->modelText(),
                                                    identity->versionText()};
            EXPECT_EQ(shown, *row.shown) << row.what;
            EXPECT_EQ(SDeviceIdentity::fromJson(identity->toJson()), identity) << row.what << ": JSON round trip";
        }
    }
    EXPECT_EQ(CDeviceInquiry::parseReply(nullptr, 15), std::nullopt);
    const auto request = CDeviceInquiry::request();
    EXPECT_EQ(Bytes(request.begin(), request.end()), (Bytes{0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7}));
    EXPECT_TRUE(CDeviceInquiry::isRequest(request.data(), request.size()));
    EXPECT_FALSE(CDeviceInquiry::isRequest(kReply.data(), kReply.size()));
    for (const char* bad :
         {R"({"device_id":0,"manufacturer":"0x00","family":"0x0001","model":"0x0001","revision":[1,0,0,0]})",
          R"({"device_id":0,"manufacturer":"0x7D","family":"0x4000","model":"0x0001","revision":[1,0,0,0]})",
          R"({"device_id":0,"manufacturer":"0x7D","family":"0x0001","model":"0x0001","revision":[1,0,0]})", "null"}) {
        EXPECT_EQ(SDeviceIdentity::fromJson(nlohmann::ordered_json::parse(bad)), std::nullopt) << bad;
    }
}

TEST(FirmwareVersion, IsReadFromTheFormatsHeaderOnly)
{
    const std::vector<Bytes> messages = CSyntheticFirmware().messages();
    const Bytes& header = messages.front();
    EXPECT_EQ(CFirmwareVersion::fromHeaderMessage(header.data(), header.size()),
              (SFirmwareVersion{CSyntheticFirmware::kVersionMajor, CSyntheticFirmware::kVersionMinor}));
    EXPECT_EQ(SFirmwareVersion({1, 1}).text(), "1.1");
    EXPECT_EQ(SFirmwareVersion({1, 1}).revision(), (std::array<std::uint8_t, 4>{1, 1, 0, 0}));

    Bytes shorter = header;
    shorter.erase(shorter.begin() + 6);
    for (const Bytes& notAHeader : {messages[1], shorter, changed(header, 1, 0x43), changed(header, 8, 0x81),
                                    changed(header, header.size() - 1, 0x00)}) {
        EXPECT_EQ(CFirmwareVersion::fromHeaderMessage(notAHeader.data(), notAHeader.size()), std::nullopt);
    }
}

struct SPairingRow {
    const char* what;
    std::vector<SPortNames> destinations;
    std::size_t destination;
    std::vector<SPortNames> sources;
    std::optional<std::size_t> source;
};

SPortNames port(const char* model, const char* name)
{
    return {model, name, name};
}

TEST(InstrumentPairing, TakesTheSourceOfTheSameDevice)
{
    const SPortNames through = port("Midi Through", "Midi Through Port-0");
    const SPortNames usb = port("Test Instrument", "Test Instrument MIDI 1");
    const SPortNames usb2 = port("Test Instrument", "Test Instrument MIDI 2");
    const std::vector<SPairingRow> rows = {
        {"a USB instrument beside Midi Through", {usb, through}, 0, {usb, through}, 0},
        {"Midi Through: its own loop-back", {usb, through}, 1, {through, usb}, 0},
        {"in and out named apart", {port("Synth", "Synth Out")}, 0, {through, port("Synth", "Synth In")}, 1},
        {"a device's second port, by name", {usb, usb2}, 1, {usb, usb2}, 1},
        {"of two alike devices, the second with the second", {through, usb, usb}, 2, {usb, usb, through}, 1},
        {"two alike devices, one without an input: no telling", {usb, usb}, 1, {usb}, std::nullopt},
        {"no source of its model", {usb}, 0, {through}, std::nullopt},
        {"a model that cannot be read pairs with nothing", {port("", "x")}, 0, {port("", "x")}, std::nullopt},
        {"past the last destination", {usb}, 1, {usb}, std::nullopt},
    };
    for (const SPairingRow& row : rows) {
        EXPECT_EQ(CInstrumentPairing::sourceFor(row.destinations, row.destination, row.sources), row.source)
            << row.what;
    }
}

} // namespace
