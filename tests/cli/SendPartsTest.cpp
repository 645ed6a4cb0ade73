// The parts `send` is made of, without a process: the progress display, the
// choice of destination, the capture destination and the send counter; and
// `list`, which shows the destinations the choice is made from.

#include "cli/CountingBackend.h"
#include "cli/DestinationChooser.h"
#include "cli/ListCommand.h"
#include "cli/ProgressDisplay.h"
#include "platform/midi/virtual/CaptureDestination.h"

#include "tests/cli/CliProcess.h"

#include "platform/base/Clock.h"
#include "platform/midi/MidiBackend.h"
#include "testing/ControlledVirtualBackend.h"
#include "testing/FailingBackend.h"
#include "testing/SimulatedClock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
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

// The transfer reports 100 after message 399 of 400 (399.5 rounds up); until
// it has returned success the display must not say the update is whole.
TEST(ProgressDisplay, NothingShowsAHundredBeforeTheRunSucceeded)
{
    for (const bool terminal : {false, true}) {
        SCOPED_TRACE(terminal ? "terminal" : "plain");
        std::ostringstream out;
        CProgressDisplay display(out, terminal, 400, 4000);
        display.update(100, 399, 3990);
        EXPECT_EQ(out.str().find("100%"), std::string::npos) << out.str();
        display.finish(99, 399, 4000);
        EXPECT_EQ(out.str().find("100%"), std::string::npos) << out.str();
        EXPECT_NE(out.str().find(terminal ? " 99%  399/400 messages" : "progress: 99% (399 of 400 messages"),
                  std::string::npos)
            << out.str();
    }
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

// Destinations as `list` describes them: display names, and which are hardware.
std::vector<SEndpointInfo> destinations(const std::vector<std::pair<const char*, bool>>& namesAndHardware)
{
    std::vector<SEndpointInfo> list;
    for (const auto& [name, hardware] : namesAndHardware) {
        list.push_back({list.size(), name, "model", name, hardware});
    }
    return list;
}

using EOutcome = CDestinationChooser::EOutcome;
using mirelo::midi::CaptureDestination;

TEST(DestinationChooser, ToTakesAnIndexAnExactNameOrAUniquePrefix)
{
    const CDestinationChooser chooser(destinations(
        {{"Midi Through Port-0", false}, {"ZAV10 MIDI 1", true}, {"ZAV10 MIDI 2", true}, {"zav", false},
         {"Capture", false}}));
    struct SCase {
        const char* what;
        EOutcome outcome;
        std::size_t index;
        const char* says;
    };
    const std::vector<SCase> cases = {
        {"0", EOutcome::kChosen, 0, ""},
        {"4", EOutcome::kChosen, 4, ""},
        {"5", EOutcome::kIndexOutOfRange, 0, "--to 5: there is no destination 5 (there are 5); "},
        {"Capture", EOutcome::kChosen, 4, ""},
        {"capture", EOutcome::kChosen, 4, ""},
        {"midi", EOutcome::kChosen, 0, ""},
        {"ZAV10 MIDI 2", EOutcome::kChosen, 2, ""},
        {"zav", EOutcome::kChosen, 3, ""}, // exact beats the prefixes it shares
        {"ZAV1", EOutcome::kSeveralMatches, 0, "\"ZAV1\" could be any of 1 \"ZAV10 MIDI 1\", 2 \"ZAV10 MIDI 2\""},
        {"Synth", EOutcome::kNoMatch, 0, "--to Synth: no destination is called \"Synth\""},
        {"", EOutcome::kNoMatch, 0, "no destination is called \"\""},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.what);
        const CDestinationChooser::SChoice choice = chooser.choose(c.what);
        EXPECT_EQ(choice.outcome, c.outcome);
        if (c.outcome == EOutcome::kChosen) {
            EXPECT_EQ(choice.index, c.index);
            EXPECT_TRUE(choice.message.empty()) << choice.message;
        } else {
            EXPECT_NE(choice.message.find(c.says), std::string::npos) << choice.message;
            EXPECT_NE(choice.message.find("`mirelo-updater-cli list`"), std::string::npos) << choice.message;
        }
    }
}

// Without --to only a single hardware destination is taken; otherwise the
// refusal lists the candidates and says how to pick one.
TEST(DestinationChooser, WithoutToOnlyTheOneHardwareDestination)
{
    struct SCase {
        const char* setup;
        std::vector<std::pair<const char*, bool>> destinations;
        EOutcome outcome;
        std::size_t index;
        std::vector<const char*> says;
        std::vector<const char*> leavesOut;
    };
    const std::vector<SCase> cases = {
        {"one instrument after the software ports",
         {{"Midi Through Port-0", false}, {"VirMIDI 0-0", false}, {"ZAV10 MIDI 1", true}},
         EOutcome::kChosen, 2, {}, {}},
        {"one instrument, first as the backends list it",
         {{"ZAV10 MIDI 1", true}, {"Midi Through Port-0", false}}, EOutcome::kChosen, 0, {}, {}},
        {"software ports only",
         {{"Midi Through Port-0", false}, {"Virtual Raw MIDI 0-0:VirMIDI 0-0", false}},
         EOutcome::kNoInstrument, 0,
         {"no MIDI destination is a hardware port", "--to INDEX|NAME", "`mirelo-updater-cli list`",
          "\n  0  \"Midi Through Port-0\"", "\n  1  \"Virtual Raw MIDI 0-0:VirMIDI 0-0\""},
         {}},
        {"two instruments",
         {{"ZAV10 MIDI 1", true}, {"UM-ONE MIDI 1", true}, {"Midi Through Port-0", false}},
         EOutcome::kSeveralInstruments, 0,
         {"2 MIDI destinations are hardware ports", "--to INDEX|NAME", "`mirelo-updater-cli list`",
          "\n  0  \"ZAV10 MIDI 1\"", "\n  1  \"UM-ONE MIDI 1\""},
         {"Midi Through"}},
        {"an unreadable name is listed by what can be read", {{"", false}}, EOutcome::kNoInstrument, 0,
         {"\n  0  \"model\""}, {}},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.setup);
        const CDestinationChooser chooser(destinations(c.destinations));
        const CDestinationChooser::SChoice choice = chooser.chooseInstrument();
        EXPECT_EQ(choice.outcome, c.outcome);
        if (c.outcome == EOutcome::kChosen) {
            EXPECT_EQ(choice.index, c.index);
        }
        for (const char* text : c.says) {
            EXPECT_NE(choice.message.find(text), std::string::npos) << text << " in:\n" << choice.message;
        }
        for (const char* text : c.leavesOut) {
            EXPECT_EQ(choice.message.find(text), std::string::npos) << text << " in:\n" << choice.message;
        }
    }
}

TEST(ListCommand, MarksEachEndpointHardwareOrSoftwareHardwareFirst)
{
    mirelo::midi::ControlledVirtualBackend backend;
    using Announce = mirelo::midi::ControlledVirtualBackend::Announce;
    backend.addDestination({"Midi Through", "Midi Through Port-0", "Midi Through Port-0"}, {}, Announce::No);
    backend.addDestination({"ZAV10", "ZAV10 MIDI 1", "ZAV10 MIDI 1", true}, {}, Announce::No);
    backend.addSource({"Midi Through", "Midi Through Port-0", "Midi Through Port-0"}, Announce::No);
    mirelo::midi::setActiveBackend(&backend);
    const auto list = [](std::vector<std::string> args) {
        CLI::App app;
        CListCommand command;
        command.attach(app);
        args.insert(args.begin(), "list");
        std::reverse(args.begin(), args.end()); // CLI11 takes them last first
        app.parse(args);
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(command.run(out, err), 0) << err.str();
        return out.str();
    };
    const std::string through = "\"Midi Through Port-0\"  model \"Midi Through\"  name \"Midi Through Port-0\"\n";
    EXPECT_EQ(list({}), "MIDI backend: virtual\n"
                        "destinations:\n"
                        "  0  hardware  \"ZAV10 MIDI 1\"  model \"ZAV10\"  name \"ZAV10 MIDI 1\"\n"
                        "  1  software  " + through +
                        "sources:\n"
                        "  0  software  " + through);
    EXPECT_EQ(list({"--json"}),
              "{\"kind\":\"destination\",\"index\":0,\"display_name\":\"ZAV10 MIDI 1\",\"model\":\"ZAV10\","
              "\"name\":\"ZAV10 MIDI 1\",\"port_type\":\"hardware\"}\n"
              "{\"kind\":\"destination\",\"index\":1,\"display_name\":\"Midi Through Port-0\",\"model\":\"Midi "
              "Through\",\"name\":\"Midi Through Port-0\",\"port_type\":\"software\"}\n"
              "{\"kind\":\"source\",\"index\":0,\"display_name\":\"Midi Through Port-0\",\"model\":\"Midi "
              "Through\",\"name\":\"Midi Through Port-0\",\"port_type\":\"software\"}\n");
    mirelo::midi::setActiveBackend(nullptr);
}

// One message per MIDISend, however many packets it came in; failures are
// counted where the transfer stops, and nothing of them is captured.
TEST(CaptureDestination, WritesEachSendAsOneMessageAndCountsThem)
{
    CScratchDirectory dir;
    CaptureDestination capture(dir / "out.syx");
    std::string error;
    ASSERT_EQ(capture.open(error), CaptureDestination::OpenResult::kOk) << error;
    mirelo::midi::FailingBackend failing(capture.backend(), {3, kMIDIMessageSendErr});
    CCountingBackend counting(failing);
    ASSERT_EQ(counting.numberOfDestinations(), 1u);
    std::string name;
    ASSERT_EQ(counting.stringProperty(counting.destination(0), kMIDIPropertyDisplayName, &name), noErr);
    EXPECT_EQ(name, "Capture");
    std::int32_t hardware = -1;
    ASSERT_EQ(counting.integerProperty(counting.destination(0), kMIDIPropertyHardware, &hardware), noErr);
    EXPECT_EQ(hardware, 0) << "a capture file is no instrument";

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
        const auto list = mirelo::midi::PacketListStorage::holding(message.data(), message.size(), stamp);
        return counting.send(port, counting.destination(0), list.list());
    };
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
