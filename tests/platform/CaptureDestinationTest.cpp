// The capture destination: a MIDI destination that writes what it is sent to
// a .syx file and its timing to a .csv beside it.

#include "platform/midi/virtual/CaptureDestination.h"

#include "platform/base/Clock.h"
#include "platform/midi/MIDIServices.h"
#include "testing/FailingBackend.h"
#include "testing/SimulatedClock.h"
#include "tests/cli/CliProcess.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using mirelo::midi::CaptureDestination;

// One message per MIDISend, however many packets it came in; a failed send
// is not captured.
TEST(CaptureDestination, WritesEachSendAsOneMessage)
{
    CScratchDirectory dir;
    CaptureDestination capture(dir / "out.syx");
    std::string error;
    ASSERT_EQ(capture.open(error), CaptureDestination::OpenResult::kOk) << error;
    // The capture as a device that refuses the third message.
    mirelo::midi::FailingBackend backend(capture.backend(), {3, kMIDIMessageSendErr});
    ASSERT_EQ(backend.numberOfDestinations(), 1u);
    std::string name;
    ASSERT_EQ(backend.stringProperty(backend.destination(0), kMIDIPropertyDisplayName, &name), noErr);
    EXPECT_EQ(name, "Capture");
    std::int32_t hardware = -1;
    ASSERT_EQ(backend.integerProperty(backend.destination(0), kMIDIPropertyHardware, &hardware), noErr);
    EXPECT_EQ(hardware, 0) << "a capture file is no instrument";

    MIDIClientRef client = 0;
    MIDIPortRef port = 0;
    ASSERT_EQ(backend.clientCreate("test", nullptr, nullptr, &client), noErr);
    ASSERT_EQ(backend.outputPortCreate(client, "out", &port), noErr);

    std::vector<std::uint8_t> big(600);
    for (std::size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<std::uint8_t>(i & 0x7F);
    }
    big.front() = 0xF0;
    big.back() = 0xF7;
    const std::vector<std::uint8_t> small = {0xF0, 0x01, 0xF7};
    auto sendAt = [&](const std::vector<std::uint8_t>& message, MIDITimeStamp stamp) {
        const auto list = mirelo::midi::PacketListStorage::holding(message.data(), message.size(), stamp);
        return backend.send(port, backend.destination(0), list.list());
    };
    EXPECT_EQ(sendAt(small, 5'000'000), noErr);
    EXPECT_EQ(sendAt(big, 7'500'000), noErr);
    EXPECT_EQ(sendAt(small, 9'000'000), kMIDIMessageSendErr);
    ASSERT_TRUE(capture.finish(error)) << error;

    std::ifstream syx(dir / "out.syx", std::ios::binary);
    const std::vector<std::uint8_t> captured((std::istreambuf_iterator<char>(syx)), std::istreambuf_iterator<char>());
    std::vector<std::uint8_t> expected = small;
    expected.insert(expected.end(), big.begin(), big.end());
    EXPECT_EQ(captured, expected);
    std::ifstream csv(dir / "out.syx.csv");
    const std::string log((std::istreambuf_iterator<char>(csv)), std::istreambuf_iterator<char>());
    EXPECT_EQ(log, "index,sent_us,bytes\n0,0,3\n1,2500,600\n");
}

// Rows count from the transfer's start, the zero its due times count from;
// an empty message has no packet and is stamped when it arrives.
TEST(CaptureDestination, RowsCountFromTheTransfersStart)
{
    mirelo::platform::SimulatedClock clock(10'000'000);
    mirelo::platform::setClock(&clock);
    CScratchDirectory dir;
    CaptureDestination capture(dir / "out.syx");
    std::string error;
    ASSERT_EQ(capture.open(error), CaptureDestination::OpenResult::kOk) << error;
    const std::atomic<std::uint64_t> start{4'000'000};
    capture.countFrom(&start);
    mirelo::midi::VirtualBackend& backend = capture.backend();
    MIDIClientRef client = 0;
    MIDIPortRef port = 0;
    ASSERT_EQ(backend.clientCreate("test", nullptr, nullptr, &client), noErr);
    ASSERT_EQ(backend.outputPortCreate(client, "out", &port), noErr);
    const mirelo::midi::PacketListStorage empty(300);
    EXPECT_EQ(backend.send(port, backend.destination(0), empty.list()), noErr); // stamped now: 10 ms
    const Byte message[] = {0xF0, 0x01, 0xF7};
    const auto list = mirelo::midi::PacketListStorage::holding(message, sizeof message, 4'500'000);
    EXPECT_EQ(backend.send(port, backend.destination(0), list.list()), noErr);
    ASSERT_TRUE(capture.finish(error)) << error;
    mirelo::platform::setClock(nullptr);
    std::ifstream csv(dir / "out.syx.csv");
    const std::string log((std::istreambuf_iterator<char>(csv)), std::istreambuf_iterator<char>());
    EXPECT_EQ(log, "index,sent_us,bytes\n0,6000,0\n1,500,3\n");
}

// A second capture into the same files fails at once and leaves the first's
// files as they are; one whose files vanish fails its next send.
TEST(CaptureDestination, OneCapturePerFileAndNoneIntoARemovedFolder)
{
    CScratchDirectory dir;
    std::filesystem::create_directory(dir / "run");
    const std::filesystem::path syx = dir / "run" / "out.syx";
    CaptureDestination first(syx);
    std::string error;
    ASSERT_EQ(first.open(error), CaptureDestination::OpenResult::kOk) << error;
    mirelo::midi::VirtualBackend& backend = first.backend();
    MIDIClientRef client = 0;
    MIDIPortRef port = 0;
    ASSERT_EQ(backend.clientCreate("test", nullptr, nullptr, &client), noErr);
    ASSERT_EQ(backend.outputPortCreate(client, "out", &port), noErr);
    const Byte message[] = {0xF0, 0x01, 0xF7};
    const auto storage = mirelo::midi::PacketListStorage::holding(message, sizeof message, 0);
    const MIDIPacketList* list = storage.list();
    ASSERT_EQ(backend.send(port, backend.destination(0), list), noErr);

    CaptureDestination second(syx);
    EXPECT_EQ(second.open(error), CaptureDestination::OpenResult::kInUse);
    EXPECT_NE(error.find(syx.string() + " is being written by another capture"), std::string::npos) << error;
    EXPECT_EQ(std::filesystem::file_size(syx), sizeof message) << "the first capture's file was emptied";

    std::filesystem::remove_all(dir / "run");
    EXPECT_EQ(backend.send(port, backend.destination(0), list), CaptureDestination::kWriteFailed);
    ASSERT_TRUE(first.failure());
    EXPECT_NE(first.failure()->find("was removed while the capture was written"), std::string::npos)
        << *first.failure();
    EXPECT_FALSE(first.finish(error));
}

TEST(CaptureDestination, SaysWhenItCannotCreateItsFiles)
{
    CaptureDestination capture("/nonexistent/dir/out.syx");
    std::string error;
    EXPECT_EQ(capture.open(error), CaptureDestination::OpenResult::kFailed);
    EXPECT_NE(error.find("cannot create /nonexistent/dir/out.syx"), std::string::npos) << error;
}

} // namespace
