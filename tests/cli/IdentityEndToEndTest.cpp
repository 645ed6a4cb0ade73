// identify, history and the record send keeps, through the binary's test build. identify
// and send ask the virtual backend's test instrument
// (MIRELO_VIRTUAL_INSTRUMENT), which answers, stays silent or loops back; a
// silent one costs the real second the tool waits. history reads a record
// written here by hand, as another version might have left it, and the one
// real sends leave.

#include "tests/cli/CliProcess.h"
#include "tests/support/SmfImageBuilder.h"
#include "testing/SendFailure.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
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
        {kReply,
         {"identify"},
         0,
         "instrument: \"Virtual Instrument\"\nmanufacturer: 0x7D\nfamily: 0x004D\nmodel: 0x0001\nfirmware: 1.1\n"
         "device ID: 0x00\n",
         ""},
        {kReply,
         {"identify", "--to", "virtual", "--json"},
         0,
         R"({"destination":"Virtual Instrument","answered":true,"device_id":0,"manufacturer":"0x7D",)"
         R"("family":"0x004D","model":"0x0001","firmware":"1.1","revision":[1,1,0,0]})"
         "\n",
         ""},
        {kReply,
         {"identify", "--wait", "5"},
         0,
         "instrument: \"Virtual Instrument\"\nmanufacturer: 0x7D\nfamily: 0x004D\nmodel: 0x0001\nfirmware: 1.1\n"
         "device ID: 0x00\n",
         ""},
        {"silent", {"identify"}, 4, "", "identify: \"Virtual Instrument\" did not answer within 1 s (many"},
        {"echo",
         {"identify", "--json"},
         4,
         R"({"destination":"Virtual Instrument","answered":false,"reason":"loop-back"})"
         "\n",
         "it sent our own request back, so it loops its output to its input"},
        {"F0 7E 00 06 02 7D F7", {"identify"}, 4, "", "it sent 1 other SysEx message, none of them an answer"},
        {kReply, {"identify", "--to", "Nothing"}, 3, "", "--to Nothing: no destination is called \"Nothing\""},
        {kReply,
         {"identify", "--to", "Nothing", "--wait", "0.5"},
         3,
         "",
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
        R"("identity_asked":true,"identity_before":)" +
        identity10 + R"(,"identity_after":)" + identity11 +
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
        {{"history"},
         0,
         "2025-03-01T10:00:00+01:00  completed  242 of 242 messages (37231 bytes) to \"Synth MIDI 1\" (hardware)\n"
         "    instrument: firmware 1.0 \u2192 1.1\n"
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

// A short update in the project's firmware format: its header message says
// it carries firmware 1.1; one data block follows, 5 ms later.
void writeVersionedUpdate(const std::filesystem::path& path)
{
    const mirelo::test::Bytes header = {0xF0, 0x7D, 0x4D, 0x01, 0x01, 0x01, 0x00, 0x01, 0x00, 0x10,
                                        0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0xF7};
    mirelo::test::CSmfImageBuilder builder(500, 0);
    builder.track().tempo(0, 500'000).sysEx(0, header).sysEx(5, mirelo::test::CSmfImageBuilder::message(20, 1));
    const mirelo::test::Bytes image = builder.build();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
}

TEST(HistoryEndToEnd, EverySendIsKeptWithWhatTheInstrumentSaid)
{
    CScratchDirectory dir;
    const std::filesystem::path update = dir / "update.dat";
    writeVersionedUpdate(update);
    std::ofstream(dir / "garbage.dat") << "not a MIDI file";
    const std::string state = (dir / "state").string();
    struct SRow {
        const char* instrument;
        std::vector<std::string> args;
        int status;
        const char* out; // contained
        const char* err; // contained
    };
    const std::vector<SRow> rows = {
        {kReply,
         {"send", update.string()},
         0,
         " to \"Virtual Instrument\"\ninstrument: firmware 1.1 \u2192 1.1\n"
         "the instrument reports 1.1, the version this update carries\n",
         "send: every message was sent; waiting up to 30.0 s for the instrument to answer again"},
        {kReply, {"send", "--no-identify", update.string()}, 0, " to \"Virtual Instrument\"\n", ""},
        {kReply, {"send", (dir / "garbage.dat").string()}, 2, "", "not a Standard MIDI File"},
        {kReply, {"send", update.string(), "--capture", (dir / "out.syx").string()}, 0, " to \"Capture\"\n", ""},
        {"silent",
         {"send", update.string()},
         0,
         "the instrument did not say which firmware it runs (many instruments do not), so whether it took the "
         "update was not checked\n",
         ""},
        {"echo",
         {"send", "--to", "virtual", update.string()},
         0,
         "\"Virtual Instrument\" sent our identity request back, as a loop-back does",
         ""},
    };
    for (const SRow& row : rows) {
        CCliProcess::Environment environment = instrument(row.instrument);
        environment["XDG_STATE_HOME"] = state;
        const SCliResult r = CCliProcess::run(row.args, environment);
        EXPECT_EQ(r.status, row.status) << row.args.back() << ": " << r.err;
        EXPECT_NE(r.out.find(row.out), std::string::npos) << r.out;
        EXPECT_NE(r.err.find(row.err), std::string::npos) << r.err;
        if (std::string(row.args[1]) == "--no-identify") {
            EXPECT_EQ(r.out.find("instrument:"), std::string::npos) << r.out;
        }
    }

    // One line per send, in order, each naming the file by its SHA-256.
    const SCliResult json = CCliProcess::run({"history", "--json"}, {{"XDG_STATE_HOME", state}});
    EXPECT_EQ(json.status, 0) << json.err;
    const std::vector<std::string> expected = {
        R"("destination":{"name":"Virtual Instrument","hardware":true},"identity_asked":true,"identity_before":)"
        R"({"device_id":0,"manufacturer":"0x7D","family":"0x004D","model":"0x0001","firmware":"1.1",)"
        R"("revision":[1,1,0,0]},"identity_after":{"device_id":0,"manufacturer":"0x7D","family":"0x004D",)"
        R"("model":"0x0001","firmware":"1.1","revision":[1,1,0,0]},"outcome":{"result":"completed",)"
        R"("messages_sent":2,"messages_total":2,"bytes_sent":39,"status":0,"words":"sent 2 messages (39 bytes))",
        R"("identity_asked":false,"identity_before":null,"identity_after":null,"outcome":{"result":"completed")",
        R"("outcome":{"result":"refused","messages_sent":0,"messages_total":0,"bytes_sent":0,"status":0,"words":")",
        R"("destination":{"name":"Capture","hardware":false},"identity_asked":false)",
        R"("identity_asked":true,"identity_before":null,"identity_after":null,"outcome":{"result":"completed")",
        R"("identity_asked":true,"identity_before":null,)",
    };
    std::istringstream lines(json.out);
    std::vector<std::string> records;
    for (std::string line; std::getline(lines, line);) {
        records.push_back(line);
    }
    ASSERT_EQ(records.size(), rows.size()) << json.out;
    const std::regex digest(R"re("file":\{"path":"[^"]*update\.dat","sha256":"([0-9a-f]{64})"\})re");
    std::smatch first;
    ASSERT_TRUE(std::regex_search(records[0], first, digest)) << records[0];
    for (std::size_t i = 0; i < records.size(); ++i) {
        EXPECT_NE(records[i].find(expected[i]), std::string::npos) << "record " << i + 1 << ": " << records[i];
        EXPECT_NE(records[i].find(R"("program":{"name":"mirelo-updater-cli","version":")"), std::string::npos);
        std::smatch m;
        if (i != 2 && std::regex_search(records[i], m, digest)) {
            EXPECT_EQ(m[1], first[1]) << "record " << i + 1 << " names another file";
        }
    }

    const SCliResult text = CCliProcess::run({"history", "--last", "2"}, {{"XDG_STATE_HOME", state}});
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("completed  2 of 2 messages (39 bytes) to \"Virtual Instrument\" (hardware)\n"
                            "    instrument: did not answer\n"),
              std::string::npos)
        << text.out;

    // A record that cannot be kept is a warning: the update still counts.
    std::ofstream(dir / "a-file") << "x";
    CCliProcess::Environment blocked = instrument(kReply);
    blocked["XDG_STATE_HOME"] = (dir / "a-file").string();
    const SCliResult r = CCliProcess::run({"send", "--no-identify", update.string()}, blocked);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("send: warning: this send was not kept in the record of updates: "), std::string::npos)
        << r.err;
}

} // namespace
