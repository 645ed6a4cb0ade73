// identify and history through the binary's test build. identify asks the
// virtual backend's test instrument (MIRELO_VIRTUAL_INSTRUMENT), which answers, stays
// silent or loops back; a silent one costs the real second the tool waits.
// history reads a record written here by hand, as another version might
// have left it.

#include "tests/cli/CliProcess.h"
#include "testing/SendFailure.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

// Manufacturer 7D, family 0x004D, model 0x0001, firmware 1.1, device ID 0.
constexpr const char* kReply = "F0 7E 00 06 02 7D 4D 00 01 00 01 01 00 00 F7";

CCliProcess::Environment instrument(const char* behaviour)
{
    return {{"MIRELO_MIDI_BACKEND", "virtual"},
            {mirelo::midi::SendFailure::kVariable, {}},
            {"MIRELO_VIRTUAL_INSTRUMENT", behaviour ? std::optional<std::string>(behaviour) : std::nullopt}};
}

TEST(IdentifyEndToEnd, ShowsTheAnswerOrSaysThereWasNone)
{
    struct SRow {
        const char* instrument; // MIRELO_VIRTUAL_INSTRUMENT; null: none
        std::vector<std::string> args;
        int status;
        std::string out; // exactly
        const char* err; // contained
    };
    const std::vector<SRow> rows = {
        {kReply, {"identify"}, 0,
         "instrument: \"Virtual Instrument\"\nmanufacturer: 0x7D\nfamily: 0x004D\nmodel: 0x0001\nfirmware: 1.1\n"
         "device ID: 0x00\n",
         ""},
        {kReply, {"identify", "--to", "virtual", "--json"}, 0,
         R"({"destination":"Virtual Instrument","answered":true,"device_id":0,"manufacturer":"0x7D",)"
         R"("family":"0x004D","model":"0x0001","firmware":"1.1","revision":[1,1,0,0]})"
         "\n",
         ""},
        {kReply, {"identify", "--wait", "5"}, 0,
         "instrument: \"Virtual Instrument\"\nmanufacturer: 0x7D\nfamily: 0x004D\nmodel: 0x0001\nfirmware: 1.1\n"
         "device ID: 0x00\n",
         ""},
        {"silent", {"identify"}, 4, "", "identify: \"Virtual Instrument\" did not answer within 1 s (many"},
        {"echo", {"identify", "--json"}, 4,
         R"({"destination":"Virtual Instrument","answered":false,"reason":"loop-back"})"
         "\n",
         "it sent our own request back, so it loops its output to its input"},
        {"F0 7E 00 06 02 7D F7", {"identify"}, 4, "", "it sent 1 other SysEx message, none of them an answer"},
        {kReply, {"identify", "--to", "Nothing"}, 3, "", "--to Nothing: no destination is called \"Nothing\""},
        {kReply, {"identify", "--to", "Nothing", "--wait", "0.5"}, 3, "",
         "no destination called \"Nothing\" came within 0.5 s"},
        {nullptr, {"identify"}, 3, "", "identify: there is no MIDI destination to ask"},
    };
    for (const SRow& row : rows) {
        const SCliResult r = CCliProcess::run(row.args, instrument(row.instrument));
        EXPECT_EQ(r.status, row.status) << row.args.back() << ": " << r.err;
        EXPECT_EQ(r.out, row.out) << row.args.back();
        EXPECT_NE(r.err.find(row.err), std::string::npos) << r.err;
    }
}

TEST(HistoryEndToEnd, ShowsTheRecordOldestFirst)
{
    CScratchDirectory state;
    const CCliProcess::Environment environment = {{"XDG_STATE_HOME", state.path().string()}};
    const std::string identity10 = R"({"device_id":0,"manufacturer":"0x7D","family":"0x004D","model":"0x0001",)"
                                   R"("firmware":"1.0","revision":[1,0,0,0]})";
    const std::string identity11 = R"({"device_id":0,"manufacturer":"0x7D","family":"0x004D","model":"0x0001",)"
                                   R"("firmware":"1.1","revision":[1,1,0,0]})";
    const std::string first =
        R"({"start":"2025-03-01T10:00:00+01:00","end":"2025-03-01T10:00:15+01:00",)"
        R"("file":{"path":"/u/update.dat","sha256":"ab12"},"destination":{"name":"Synth MIDI 1","hardware":true},)"
        R"("identity_asked":true,"identity_before":)" + identity10 + R"(,"identity_after":)" + identity11 +
        R"(,"outcome":{"result":"completed","messages_sent":242,"messages_total":242,"bytes_sent":37231,)"
        R"("status":0,"words":"sent 242 messages"},"program":{"name":"mirelo-updater-cli","version":"0.1.0"}})";
    const std::string second =
        R"({"start":"2025-03-02T09:00:00+01:00","file":{"path":"/u/update.dat"},"destination":{"name":"Capture"},)"
        R"("outcome":{"result":"failed","messages_sent":5,"messages_total":242,"bytes_sent":800},"a later field":1})";

    SCliResult r = CCliProcess::run({"history"}, environment);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "no update has been recorded yet (" + state.path().string() + "/mirelo-updater/runs.jsonl)\n");

    std::filesystem::create_directories(state / "mirelo-updater");
    std::ofstream(state / "mirelo-updater" / "runs.jsonl") << first << "\nnot a record\n" << second << "\n";
    struct SRow {
        std::vector<std::string> args;
        int status;
        std::string out;
        const char* err;
    };
    const std::vector<SRow> rows = {
        {{"history"}, 0,
         "2025-03-01T10:00:00+01:00  completed  242 of 242 messages (37231 bytes) to \"Synth MIDI 1\" (hardware)\n"
         "    instrument: firmware 1.0 \u2192 firmware 1.1\n"
         "    file: /u/update.dat  SHA-256 ab12\n"
         "    by mirelo-updater-cli 0.1.0, ended 2025-03-01T10:00:15+01:00\n"
         "    sent 242 messages\n"
         "2025-03-02T09:00:00+01:00  failed  5 of 242 messages (800 bytes) to \"Capture\" (software)\n"
         "    instrument: not asked\n"
         "    file: /u/update.dat\n"
         "    by ?\n",
         "runs.jsonl: line 2 holds no record; skipped"},
        {{"history", "--json", "--last", "1"}, 0, second + "\n", ""},
        {{"history", "--last", "0"}, 2, "", "--last"},
    };
    for (const SRow& row : rows) {
        r = CCliProcess::run(row.args, environment);
        EXPECT_EQ(r.status, row.status) << row.args.back() << ": " << r.err;
        EXPECT_EQ(r.out, row.out) << row.args.back();
        EXPECT_NE(r.err.find(row.err), std::string::npos) << r.err;
    }
}

} // namespace
