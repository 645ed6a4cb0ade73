// The parts `send` is made of, without a process: the progress display, the
// choice of destination, the capture destination and the send counter.

#include "CaptureDestination.h"
#include "CountingBackend.h"
#include "DestinationChooser.h"
#include "ProgressDisplay.h"

#include "CliProcess.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

namespace {

TEST(ProgressDisplay, PlainOutputHasOneLinePerTenPercent)
{
    std::ostringstream out;
    CProgressDisplay display(out, false, 200, 10000);
    // Values as the transfer reports them: skipping some, repeating none.
    for (int percent : {0, 1, 5, 9, 10, 11, 35, 36, 99}) {
        display.update(percent, static_cast<std::uint64_t>(percent) * 2, static_cast<std::uint64_t>(percent) * 100);
    }
    display.finish(100, 200, 10050);
    const std::string text = out.str();
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    ASSERT_EQ(lines.size(), 5u) << text;
    EXPECT_EQ(lines[0], "progress: 0% (0 of 200 messages, 0.0 s elapsed, about 10.0 s left)");
    EXPECT_EQ(lines[1], "progress: 10% (20 of 200 messages, 1.0 s elapsed, about 9.0 s left)");
    EXPECT_EQ(lines[2], "progress: 30% (70 of 200 messages, 3.5 s elapsed, about 6.5 s left)");
    EXPECT_EQ(lines[3], "progress: 90% (198 of 200 messages, 9.9 s elapsed, about 0.1 s left)");
    EXPECT_EQ(lines[4], "progress: 100% (200 of 200 messages, 10.0 s elapsed, about 0.0 s left)");
}

TEST(ProgressDisplay, PlainOutputShowsWhereAFailedRunStopped)
{
    std::ostringstream out;
    CProgressDisplay display(out, false, 10, 1000);
    display.update(30, 4, 300);
    display.finish(30, 4, 320);
    EXPECT_EQ(out.str(), "progress: 30% (4 of 10 messages, 0.3 s elapsed, about 0.7 s left)\n");
    std::ostringstream out2;
    CProgressDisplay display2(out2, false, 10, 1000);
    display2.update(30, 4, 300);
    display2.finish(37, 4, 320);
    EXPECT_NE(out2.str().find("progress: 37%"), std::string::npos);
}

TEST(ProgressDisplay, TerminalRedrawsOneLine)
{
    std::ostringstream out;
    CProgressDisplay display(out, true, 242, 14960);
    display.update(50, 121, 7480);
    display.finish(100, 242, 15000);
    const std::string text = out.str();
    EXPECT_EQ(text.front(), '\r');
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
    EXPECT_NE(text.find("[###############...............]  50%  121/242 messages  7.4 s elapsed, about 7.4 s left"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("[##############################] 100%  242/242 messages  15.0 s elapsed, about 0.0 s left"),
              std::string::npos)
        << text;
}

TEST(ProgressDisplay, FormatsDurations)
{
    const std::vector<std::pair<std::uint64_t, const char*>> cases = {
        {0, "0.0 s"}, {99, "0.0 s"}, {1250, "1.2 s"}, {59999, "59.9 s"}, {60000, "1:00"}, {3723000, "62:03"}};
    for (const auto& [ms, text] : cases) {
        EXPECT_EQ(CProgressDisplay::formatDuration(ms), text) << ms;
    }
}

TEST(DestinationChooser, IndexExactNameOrUniquePrefix)
{
    const std::vector<std::string> names = {"Midi Through Port-0", "ZAV10 MIDI 1", "ZAV10 MIDI 2", "zav", "Capture"};
    struct SCase {
        const char* what;
        std::optional<std::size_t> index;
        const char* error;
    };
    const std::vector<SCase> cases = {
        {"0", 0, ""},
        {"4", 4, ""},
        {"5", std::nullopt, "there is no destination 5 (there are 5)"},
        {"Capture", 4, ""},
        {"capture", 4, ""},
        {"midi", 0, ""},
        {"ZAV10 MIDI 2", 2, ""},
        {"zav", 3, ""}, // exact beats the prefixes it shares
        {"ZAV1", std::nullopt, "\"ZAV1\" could be any of 1 \"ZAV10 MIDI 1\", 2 \"ZAV10 MIDI 2\""},
        {"Synth", std::nullopt, "no destination is called \"Synth\""},
        {"", std::nullopt, "no destination is called \"\""},
    };
    for (const SCase& c : cases) {
        CDestinationChooser chooser(names);
        EXPECT_EQ(chooser.choose(c.what), c.index) << c.what;
        EXPECT_EQ(chooser.error(), c.error) << c.what;
    }
}

// One message per MIDISend, however many packets it came in; failures are
// counted where the transfer stops, and nothing of them is captured.
TEST(CaptureDestination, WritesEachSendAsOneMessageAndCountsThem)
{
    CScratchDirectory dir;
    CCaptureDestination capture(dir / "out.syx");
    std::string error;
    ASSERT_TRUE(capture.open(error)) << error;
    mirelo::midi::VirtualBackend& backend = capture.backend();
    CCountingBackend counting(backend);
    ASSERT_EQ(counting.numberOfDestinations(), 1u);
    std::string name;
    ASSERT_EQ(counting.stringProperty(counting.destination(0), kMIDIPropertyDisplayName, &name), noErr);
    EXPECT_EQ(name, "Capture");

    MIDIClientRef client = 0;
    MIDIPortRef port = 0;
    ASSERT_EQ(counting.clientCreate("test", nullptr, nullptr, &client), noErr);
    ASSERT_EQ(counting.outputPortCreate(client, "out", &port), noErr);

    std::vector<std::uint8_t> big(600);
    for (std::size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<std::uint8_t>(i & 0x7F);
    }
    big.front() = 0xF0;
    big.back() = 0xF7;
    const std::vector<std::uint8_t> small = {0xF0, 0x01, 0xF7};
    auto sendAt = [&](const std::vector<std::uint8_t>& message, MIDITimeStamp stamp) {
        std::vector<std::uint8_t> storage(message.size() * 2 + 272);
        auto* list = reinterpret_cast<MIDIPacketList*>(storage.data());
        MIDIPacket* packet = MIDIPacketListInit(list);
        for (std::size_t at = 0; at < message.size(); at += 256) {
            const std::size_t n = std::min<std::size_t>(256, message.size() - at);
            packet = MIDIPacketListAdd(list, storage.size(), packet, stamp, n, message.data() + at);
        }
        return counting.send(port, counting.destination(0), list);
    };
    backend.failSend(3, kMIDIMessageSendErr);
    EXPECT_EQ(sendAt(small, 5'000'000), noErr);
    EXPECT_EQ(sendAt(big, 7'500'000), noErr);
    EXPECT_EQ(sendAt(small, 9'000'000), kMIDIMessageSendErr);
    EXPECT_EQ(counting.messagesSent(), 2u);
    EXPECT_EQ(counting.bytesSent(), small.size() + big.size());
    EXPECT_EQ(counting.firstFailure(), kMIDIMessageSendErr);
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

TEST(CaptureDestination, SaysWhenItCannotCreateItsFiles)
{
    CCaptureDestination capture("/nonexistent/dir/out.syx");
    std::string error;
    EXPECT_FALSE(capture.open(error));
    EXPECT_NE(error.find("cannot create /nonexistent/dir/out.syx"), std::string::npos) << error;
}

} // namespace
