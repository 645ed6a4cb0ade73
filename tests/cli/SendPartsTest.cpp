// The parts `send` is made of, without a process: the progress display and
// the choice of destination; and `list`, which shows the destinations the
// choice is made from.

#include "cli/DestinationChooser.h"
#include "cli/ListCommand.h"
#include "cli/ProgressDisplay.h"

#include "tests/cli/CliProcess.h"

#include "platform/base/Bundle.h"
#include "platform/base/Clock.h"
#include "update/RunReport.h"
#include "tests/support/RunProgress.h"
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

using mirelo::test::progressOf;

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
    EXPECT_EQ(linesOf(two.str()),
              (std::vector<std::string>{"progress: 0% (0 of 2 messages, 0.0 s elapsed, about 0.0 s left)",
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

TEST(DestinationChooser, ToTakesAnIndexAnExactNameOrAUniquePrefix)
{
    const CDestinationChooser chooser(destinations({{"Midi Through Port-0", false},
                                                    {"ZAV10 MIDI 1", true},
                                                    {"ZAV10 MIDI 2", true},
                                                    {"zav", false},
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
         EOutcome::kChosen,
         2,
         {},
         {}},
        {"one instrument, first as the backends list it",
         {{"ZAV10 MIDI 1", true}, {"Midi Through Port-0", false}},
         EOutcome::kChosen,
         0,
         {},
         {}},
        {"software ports only",
         {{"Midi Through Port-0", false}, {"Virtual Raw MIDI 0-0:VirMIDI 0-0", false}},
         EOutcome::kNoInstrument,
         0,
         {"no MIDI destination is a hardware port", "--to INDEX|NAME", "`mirelo-updater-cli list`",
          "\n  0  \"Midi Through Port-0\"", "\n  1  \"Virtual Raw MIDI 0-0:VirMIDI 0-0\""},
         {}},
        {"two instruments",
         {{"ZAV10 MIDI 1", true}, {"UM-ONE MIDI 1", true}, {"Midi Through Port-0", false}},
         EOutcome::kSeveralInstruments,
         0,
         {"2 MIDI destinations are hardware ports", "--to INDEX|NAME", "`mirelo-updater-cli list`",
          "\n  0  \"ZAV10 MIDI 1\"", "\n  1  \"UM-ONE MIDI 1\""},
         {"Midi Through"}},
        {"an unreadable name is listed by what can be read",
         {{"", false}},
         EOutcome::kNoInstrument,
         0,
         {"\n  0  \"model\""},
         {}},
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
                        "  1  software  " +
                            through +
                            "sources:\n"
                            "  0  software  " +
                            through);
    EXPECT_EQ(list({"--json"}),
              "{\"kind\":\"destination\",\"index\":0,\"display_name\":\"ZAV10 MIDI 1\",\"model\":\"ZAV10\","
              "\"name\":\"ZAV10 MIDI 1\",\"port_type\":\"hardware\"}\n"
              "{\"kind\":\"destination\",\"index\":1,\"display_name\":\"Midi Through Port-0\",\"model\":\"Midi "
              "Through\",\"name\":\"Midi Through Port-0\",\"port_type\":\"software\"}\n"
              "{\"kind\":\"source\",\"index\":0,\"display_name\":\"Midi Through Port-0\",\"model\":\"Midi "
              "Through\",\"name\":\"Midi Through Port-0\",\"port_type\":\"software\"}\n");
    mirelo::midi::setActiveBackend(nullptr);
}

} // namespace
