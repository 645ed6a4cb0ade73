// The parts `send` is made of, without a process: the progress display, the
// run's words, the choice of destination and the capture destination; and
// `list`, which shows the destinations the choice is made from.

#include "cli/DestinationChooser.h"
#include "cli/ListCommand.h"
#include "cli/ProgressDisplay.h"
#include "platform/midi/virtual/CaptureDestination.h"

#include "tests/cli/CliProcess.h"

#include "platform/base/Bundle.h"
#include "platform/base/Clock.h"
#include "update/RunReport.h"
#include "platform/midi/MidiBackend.h"
#include "testing/ControlledVirtualBackend.h"
#include "testing/FailingBackend.h"
#include "testing/SimulatedClock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <sstream>
#include <vector>

namespace {

SRunProgress progressOf(std::uint64_t reached, std::uint64_t total, std::uint64_t fileMs)
{
    SRunProgress progress;
    progress.reached = reached;
    progress.total = total;
    progress.fileMs = fileMs;
    return progress;
}

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// A message counts once it has gone; a line per tenth, and the end.
TEST(ProgressDisplay, PlainOutputHasOneLinePerTenPercent)
{
    std::ostringstream out;
    CProgressDisplay display(out, false);
    for (const std::uint64_t reached : std::initializer_list<std::uint64_t>{0, 2, 10, 18, 20, 22, 70, 72, 198, 200}) {
        display.update(progressOf(reached, 200, 10000), reached * 50);
    }
    display.finish(progressOf(200, 200, 10000), true, 10050);
    const std::vector<std::string> lines = linesOf(out.str());
    ASSERT_EQ(lines.size(), 5u) << out.str();
    EXPECT_EQ(lines[0], "progress: 0% (0 of 200 messages, 0.0 s elapsed, about 10.0 s left)");
    EXPECT_EQ(lines[1], "progress: 10% (20 of 200 messages, 1.0 s elapsed, about 9.0 s left)");
    EXPECT_EQ(lines[2], "progress: 35% (70 of 200 messages, 3.5 s elapsed, about 6.5 s left)");
    EXPECT_EQ(lines[3], "progress: 99% (198 of 200 messages, 9.9 s elapsed, about 0.1 s left)");
    EXPECT_EQ(lines[4], "progress: 100% (200 of 200 messages, 10.0 s elapsed, about 0.0 s left)");

    // All of a small update gone: no line until the run has ended.
    std::ostringstream two;
    CProgressDisplay twoMessages(two, false);
    twoMessages.update(progressOf(0, 2, 20), 0);
    twoMessages.update(progressOf(2, 2, 20), 20);
    twoMessages.finish(progressOf(2, 2, 20), true, 20);
    EXPECT_EQ(linesOf(two.str()), (std::vector<std::string>{
                                      "progress: 0% (0 of 2 messages, 0.0 s elapsed, about 0.0 s left)",
                                      "progress: 100% (2 of 2 messages, 0.0 s elapsed, about 0.0 s left)"}));
    std::ostringstream one;
    CProgressDisplay oneMessage(one, false);
    oneMessage.finish(progressOf(1, 1, 0), true, 1);
    EXPECT_EQ(one.str(), "progress: 100% (1 of 1 message, 0.0 s elapsed, about 0.0 s left)\n");
}

TEST(ProgressDisplay, PlainOutputShowsWhereAFailedRunStopped)
{
    std::ostringstream out;
    CProgressDisplay display(out, false);
    display.update(progressOf(3, 10, 1000), 300);
    display.finish(progressOf(3, 10, 1000), false, 320);
    EXPECT_EQ(out.str(), "progress: 30% (3 of 10 messages, 0.3 s elapsed, about 0.7 s left)\n");
    std::ostringstream out2;
    CProgressDisplay display2(out2, false);
    display2.update(progressOf(30, 100, 1000), 300);
    display2.finish(progressOf(37, 100, 1000), false, 320);
    EXPECT_NE(out2.str().find("progress: 37% (37 of 100"), std::string::npos) << out2.str();
}

// Every message may have gone before the transfer returns, and it may still
// fail; until it has returned success nothing says the update is whole.
TEST(ProgressDisplay, NothingShowsAHundredBeforeTheRunSucceeded)
{
    for (const bool terminal : {false, true}) {
        SCOPED_TRACE(terminal ? "terminal" : "plain");
        std::ostringstream out;
        CProgressDisplay display(out, terminal);
        display.update(progressOf(399, 400, 4000), 3990);
        display.update(progressOf(400, 400, 4000), 3995);
        EXPECT_EQ(out.str().find("100%"), std::string::npos) << out.str();
        display.finish(progressOf(399, 400, 4000), false, 4000);
        EXPECT_EQ(out.str().find("100%"), std::string::npos) << out.str();
        EXPECT_NE(out.str().find(terminal ? " 99%  399/400 messages" : "progress: 99% (399 of 400 messages"),
                  std::string::npos)
            << out.str();
    }
}

TEST(ProgressDisplay, TerminalRedrawsOneLine)
{
    std::ostringstream out;
    CProgressDisplay display(out, true);
    display.update(progressOf(121, 242, 14960), 7480);
    display.finish(progressOf(242, 242, 14960), true, 15000);
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

TEST(RunReport, FormatsDurationsForShortAndVeryLongSpans)
{
    const std::vector<std::pair<std::uint64_t, const char*>> cases = {
        {0, "0.0 s"},         {99, "0.0 s"},           {1250, "1.2 s"},          {59999, "59.9 s"},
        {60000, "1:00"},      {245000, "4:05"},        {3599999, "59:59"},       {3723000, "1:02:03"},
        {172799000, "47:59:59"}, {172800000, "2 days"}, {85'899'345'900, "994 days"},
        {315'359'999'999, "3649 days"}, {85'899'345'900'000, "2721 years"}, {~std::uint64_t{0}, "584542046 years"}};
    for (const auto& [ms, text] : cases) {
        EXPECT_EQ(CSentence::durationText(ms), text) << ms;
    }
}

// What both front ends say at the end of a run, as the tool prints it. The
// statuses are described by the built-in words (no resource folder here).
TEST(RunReport, SaysHowARunEnded)
{
    mirelo::platform::overrideMainBundle(nullptr);
    const auto ended = [](SRunEnd::EHow how, std::uint64_t reached, std::uint64_t total, std::uint64_t bytes) {
        SRunEnd end;
        end.how = how;
        end.progress = progressOf(reached, total, 14900);
        end.progress.bytes = bytes;
        end.elapsedMs = 14900;
        return end;
    };
    using EHow = SRunEnd::EHow;
    SRunEnd heldUp = ended(EHow::kSent, 242, 242, 37231);
    heldUp.progress.heldUpMs = 1500;
    heldUp.elapsedMs = 16400;
    SRunEnd barelyHeldUp = ended(EHow::kSent, 1, 1, 3);
    barelyHeldUp.progress.heldUpMs = CRunReport::kHeldUpWorthSaying - 1;
    SRunEnd refused = ended(EHow::kFailed, 4, 12, 1200);
    refused.status = kMIDIMessageSendErr;
    SRunEnd captureFull = refused;
    captureFull.detail = "capture: writing out.syx failed (File too large)";

    const std::vector<std::pair<CSentence, std::string>> cases = {
        {CRunReport::sent(ended(EHow::kSent, 242, 242, 37231), "Synth"),
         "sent 242 messages (37231 bytes) in 14.9 s to \"Synth\""},
        {CRunReport::sent(barelyHeldUp, "Synth"), "sent 1 message (3 bytes) in 14.9 s to \"Synth\""},
        {CRunReport::sent(heldUp, "Synth"),
         "sent 242 messages (37231 bytes) in 16.4 s to \"Synth\", 1.5 s later than the file's 14.9 s: the sender "
         "was held up; the file's spacing was kept"},
        {CRunReport::failedAt(refused),
         "send failed at message 5 of 12: the message could not be sent (status -10838 kMIDIMessageSendErr)"},
        {CRunReport::failedAt(captureFull),
         "send failed at message 5 of 12: capture: writing out.syx failed (File too large) (status -10838 "
         "kMIDIMessageSendErr)"},
        {CRunReport::failedAt(ended(EHow::kOutputClosed, 3, 10, 600)),
         "send failed at message 4 of 10: the destination went away and its output was closed"},
        {CRunReport::reached(refused, "Synth"),
         "4 of 12 messages (1200 bytes) reached \"Synth\"; the instrument must receive the whole update: send it "
         "again"},
        {CRunReport::reached(ended(EHow::kFailed, 0, 1, 0), "Synth"),
         "0 of 1 message (0 bytes) reached \"Synth\"; the instrument must receive the whole update: send it again"},
        {CRunReport::interrupted(ended(EHow::kInterrupted, 7, 60, 0)),
         "interrupted after message 7 of 60; the instrument must be updated again"},
        {CRunReport::interrupted(ended(EHow::kInterrupted, 0, 60, 0)),
         "interrupted before the first message; nothing was sent"},
        {CRunReport::closedDuringRun(ended(EHow::kInterrupted, 81, 242, 0)),
         "the window was closed during the update: interrupted after message 81 of 242; the instrument must be "
         "updated again"},
        {CRunReport::longRunWarning(7'200'000),
         "the file times this update to take 2:00:00; keep the instrument connected and switched on until it ends"},
        {CRunReport::timeLeft(progressOf(1, 4, 1500), 500), "1 of 4 messages, about 1.0 s left"},
    };
    for (const auto& [sentence, text] : cases) {
        EXPECT_EQ(sentence.plain(), text);
    }
    mirelo::platform::clearMainBundleOverride();
}

// The share of messages that went, rounded down; 100 only for a whole run.
TEST(RunReport, PercentageCountsMessagesThatWentAndIsWholeOnlyAtTheEnd)
{
    struct SCase {
        std::uint64_t reached, total;
        bool whole;
        int percent;
    };
    for (const SCase& c : std::vector<SCase>{
             {0, 0, false, 0}, {1, 2, false, 50}, {2, 2, false, 99}, {2, 2, true, 100}, {399, 400, false, 99},
             {1, 3, false, 33}, {5, 3, false, 99}}) {
        EXPECT_EQ(CRunReport::percentShown(progressOf(c.reached, c.total, 0), c.whole), c.percent)
            << c.reached << " of " << c.total;
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
