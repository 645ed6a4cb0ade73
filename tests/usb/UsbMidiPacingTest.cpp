// Runs in the test VM with a USB MIDI instrument plugged in (vm-run
// --usb-midi): the ALSA backend's pacing through snd-usb-audio's sequencer
// port, read back at the device end. Unpaced, that port drops most of a
// large SysEx message and still reports success.

#include "tests/alsa/vm/RawMidiReader.h"
#include "tests/support/SmfImageBuilder.h"

#include "platform/base/Clock.h"
#include "platform/base/EventLoop.h"
#include "platform/midi/alsa/WirePacer.h"
#include "platform/midi/MidiBackend.h"
#include "platform/midi/MIDIServices.h"
#include "platform/base/PlainEventLoop.h"
#include "QORMIDIManager_Mac.h"
#include "ZAVController.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

using namespace std::chrono_literals;
using mirelo::test::Bytes;
using mirelo::test::CSmfImageBuilder;
using mirelo::test::RawMidiReader;

namespace {

// f_midi has no flow control into its own buffer: this one holds it all.
constexpr std::size_t kDeviceEndBufferBytes = 1 << 20;

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::optional<unsigned long> destinationIndex(const std::string& name)
{
    for (ItemCount i = 0; i < MIDIGetNumberOfDestinations(); ++i) {
        std::string displayName;
        if (MIDIObjectGetStringProperty(MIDIGetDestination(i), kMIDIPropertyDisplayName, &displayName) == noErr &&
            displayName == name) {
            return i;
        }
    }
    return std::nullopt;
}

class UsbMidiPacing : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(environment("MIRELO_VM_USB_PORT_NAME").empty()) << "run this in the test VM with --usb-midi";
        ASSERT_STREQ(mirelo::midi::activeBackend().name(), "alsa");
        mirelo::platform::setMainLoop(&m_loop);
        CZAVController::initialize();
    }

    void TearDown() override
    {
        CZAVController::terminate();
        m_loop.runUntilIdle();
        mirelo::platform::setMainLoop(nullptr);
    }

    mirelo::platform::PlainEventLoop m_loop;
};

TEST_F(UsbMidiPacing, EveryByteOfA40000ByteMessageReachesTheDeviceEnd)
{
    RawMidiReader deviceEnd(environment("MIRELO_VM_USB_DEVICE_RAWMIDI"), kDeviceEndBufferBytes);
    ASSERT_TRUE(deviceEnd.ok());
    const std::optional<unsigned long> index = destinationIndex(environment("MIRELO_VM_USB_PORT_NAME"));
    ASSERT_TRUE(index.has_value());
    CQORMIDIManager& manager = *CQORMIDIManager::instance();
    ASSERT_EQ(manager.openMidiOut(*index), noErr);

    const Bytes message = CSmfImageBuilder::message(40'000, 5);
    const std::uint64_t start = mirelo::platform::clock().monotonicNanoseconds();
    ASSERT_EQ(manager.sendLongMessage(message.data(), static_cast<int>(message.size())), noErr);
    const double sendSeconds = static_cast<double>(mirelo::platform::clock().monotonicNanoseconds() - start) / 1e9;

    const std::vector<RawMidiReader::Chunk> chunks = deviceEnd.waitForBytes(message.size(), 30s);
    Bytes received;
    for (const RawMidiReader::Chunk& c : chunks) {
        received.insert(received.end(), c.bytes.begin(), c.bytes.end());
    }
    ASSERT_EQ(received.size(), message.size());
    EXPECT_TRUE(received == message) << "bytes changed or reordered on the way";
    // The pacer lets half the port's buffer stand; the rest goes at the wire rate.
    const double wireSeconds = static_cast<double>(message.size() - mirelo::midi::alsa::WirePacer::kOutstandingLimit) /
                               static_cast<double>(mirelo::midi::alsa::WirePacer::kBytesPerSecond);
    EXPECT_GE(sendSeconds, wireSeconds * 0.95);
    std::printf("USB: %zu bytes of one SysEx message reached the device end whole; the send took %.2f s (wire "
                "model %.2f s), the last byte arrived after %.2f s\n",
                received.size(), sendSeconds, wireSeconds, static_cast<double>(chunks.back().arrivedNs - start) / 1e9);
    manager.closeMidiOut();
}

} // namespace
