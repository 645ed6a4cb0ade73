// pack, send, list and inspect --schedule through the binary, as a user runs
// them. Transfers use a few milliseconds between messages, so each run takes
// a few tens of milliseconds of real time.

#include "CliProcess.h"
#include "support/SmfImageBuilder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

using Bytes = std::vector<std::uint8_t>;

// MIDI hardware must not be reached by accident: the default is "no MIDI system".
const CCliProcess::Environment kVirtual = {{"MIRELO_MIDI_BACKEND", "virtual"}, {"MIRELO_VIRTUAL_FAIL_SEND", {}}};

void writeFile(const std::filesystem::path& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Messages of several sizes, one of them longer than a 256-byte packet.
Bytes sampleSyx(std::size_t count)
{
    Bytes syx;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t size = i == 3 ? 700 : 4 + i * 5;
        syx.push_back(0xF0);
        for (std::size_t j = 0; j + 2 < size; ++j) {
            syx.push_back(static_cast<std::uint8_t>((i * 31 + j) & 0x7F));
        }
        syx.push_back(0xF7);
    }
    return syx;
}

struct SScheduled {
    std::uint64_t dueMs;
    std::uint64_t size;
};

std::vector<SScheduled> inspectSchedule(const std::filesystem::path& file)
{
    const SCliResult r = CCliProcess::run({"inspect", "--schedule", file.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<SScheduled> schedule;
    const std::regex row(R"re("due_ms":(\d+),"send_ms":\d+,"size":(\d+))re");
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (std::regex_search(line, m, row)) {
            schedule.push_back({std::stoull(m[1]), std::stoull(m[2])});
        }
    }
    return schedule;
}

struct SLogRow {
    std::uint64_t index;
    std::uint64_t sentUs;
    std::uint64_t bytes;
};

std::vector<SLogRow> readTimingLog(const std::filesystem::path& csv)
{
    std::ifstream in(csv);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "index,sent_us,bytes");
    std::vector<SLogRow> rows;
    while (std::getline(in, line)) {
        SLogRow row{};
        char comma1 = 0;
        char comma2 = 0;
        std::istringstream fields(line);
        fields >> row.index >> comma1 >> row.sentUs >> comma2 >> row.bytes;
        EXPECT_TRUE(fields && comma1 == ',' && comma2 == ',') << line;
        rows.push_back(row);
    }
    return rows;
}

class CliEndToEnd : public ::testing::Test {
protected:
    // Packs `count` sample messages; returns the update file.
    std::filesystem::path pack(std::size_t count, const std::vector<std::string>& options)
    {
        writeFile(m_dir / "in.syx", sampleSyx(count));
        const std::filesystem::path dat = m_dir / "update.dat";
        std::vector<std::string> args = {"pack", "--out", dat.string()};
        args.insert(args.end(), options.begin(), options.end());
        args.push_back((m_dir / "in.syx").string());
        const SCliResult r = CCliProcess::run(args);
        EXPECT_EQ(r.status, 0) << r.err;
        return dat;
    }

    CScratchDirectory m_dir;
};

TEST_F(CliEndToEnd, PackedIntervalsComeBackFromTheSchedule)
{
    struct SCase {
        std::uint64_t interval, firstDelay;
        std::vector<std::string> division;
    };
    const std::vector<SCase> cases = {
        {3, 2, {}}, {1, 0, {}}, {250, 1000, {"--division", "1000"}}, {7, 13, {"--division", "960"}}};
    for (const SCase& c : cases) {
        std::vector<std::string> options = {"--interval", std::to_string(c.interval), "--first-delay",
                                            std::to_string(c.firstDelay)};
        options.insert(options.end(), c.division.begin(), c.division.end());
        const std::vector<SScheduled> schedule = inspectSchedule(pack(9, options));
        ASSERT_EQ(schedule.size(), 9u);
        for (std::size_t i = 0; i < schedule.size(); ++i) {
            EXPECT_EQ(schedule[i].dueMs, c.firstDelay + i * c.interval) << "interval " << c.interval;
        }
    }
}

TEST_F(CliEndToEnd, PackRefusesMalformedSysExWithFileAndOffset)
{
    struct SCase {
        Bytes input;
        const char* where;
    };
    const std::vector<SCase> cases = {
        {{0xF0, 0x01, 0xF7, 0xF0, 0x02, 0x03}, "offset 6 (0x6): the SysEx message that starts at offset 3 is truncated"},
        {{0xF0, 0x01, 0xF7, 0xF0, 0x02, 0xA0, 0xF7}, "offset 5 (0x5): data byte 0xA0"},
    };
    for (const SCase& c : cases) {
        writeFile(m_dir / "bad.syx", c.input);
        const SCliResult r =
            CCliProcess::run({"pack", "--out", (m_dir / "x.dat").string(), (m_dir / "bad.syx").string()});
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("bad.syx: " + std::string(c.where)), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(m_dir / "x.dat"));
    }
}

TEST_F(CliEndToEnd, CaptureHoldsTheScheduledMessagesNoneEarly)
{
    const std::filesystem::path dat = pack(8, {"--interval", "5", "--first-delay", "0"});
    const std::filesystem::path capture = m_dir / "capture.syx";
    const SCliResult r = CCliProcess::run({"send", dat.string(), "--capture", capture.string()}, kVirtual);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("sent 8 messages (" + std::to_string(sampleSyx(8).size()) + " bytes)"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("to \"Capture\""), std::string::npos) << r.out;
    // Not a terminal: plain lines, the last at 100%.
    EXPECT_NE(r.err.find("progress: 100% (8 of 8 messages"), std::string::npos) << r.err;

    EXPECT_EQ(readFile(capture), sampleSyx(8)) << "the capture is the messages, unchanged and in order";
    const std::vector<SScheduled> schedule = inspectSchedule(dat);
    const std::vector<SLogRow> log = readTimingLog(capture.string() + ".csv");
    ASSERT_EQ(log.size(), schedule.size());
    for (std::size_t i = 0; i < log.size(); ++i) {
        EXPECT_EQ(log[i].index, i);
        EXPECT_EQ(log[i].bytes, schedule[i].size);
        // The log counts from the first message, the transfer from a start
        // read in whole milliseconds just before it: allow that millisecond
        // and one more for the first send's own latency. A message sent one
        // interval early still fails.
        EXPECT_GE(log[i].sentUs + 2000, (schedule[i].dueMs - schedule[0].dueMs) * 1000) << "message " << i;
    }
}

TEST_F(CliEndToEnd, WarnsBeforeStartingWhenFileOrderMakesMessagesLate)
{
    using mirelo::test::CSmfImageBuilder;
    const std::filesystem::path dat = m_dir / "order.mid";
    writeFile(dat, CSmfImageBuilder(500)
                       .track()
                       .tempo(0, 500000)
                       .sysEx(30, CSmfImageBuilder::message(6, 1))
                       .track()
                       .sysEx(10, CSmfImageBuilder::message(6, 2))
                       .sysEx(20, CSmfImageBuilder::message(6, 3))
                       .build());
    const SCliResult r = CCliProcess::run({"send", dat.string(), "--capture", (m_dir / "c.syx").string()}, kVirtual);
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string warning = "send: warning: 2 of 3 messages are due before a message ahead of them in the file "
                                "and will leave up to 20 ms late";
    const auto at = r.err.find(warning);
    EXPECT_NE(at, std::string::npos) << r.err;
    EXPECT_LT(at, r.err.find("progress:")) << "the warning comes before the run";
}

TEST_F(CliEndToEnd, UsesTheBundledUpdateFileByDefault)
{
    const std::filesystem::path dat = pack(3, {"--interval", "1"});
    std::filesystem::create_directory(m_dir / "resources");
    std::filesystem::copy_file(dat, m_dir / "resources" / "mirelo updater.dat");
    CCliProcess::Environment env = kVirtual;
    env["MIRELO_RESOURCES"] = (m_dir / "resources").string();
    const SCliResult r = CCliProcess::run({"send", "--capture", (m_dir / "c.syx").string()}, env);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(m_dir / "c.syx"), sampleSyx(3));
}

TEST_F(CliEndToEnd, AFailingSendSaysWhereAndStops)
{
    const std::filesystem::path dat = pack(12, {"--interval", "1"});
    CCliProcess::Environment env = kVirtual;
    env["MIRELO_VIRTUAL_FAIL_SEND"] = "5:-10838";
    const std::filesystem::path capture = m_dir / "capture.syx";
    const SCliResult r = CCliProcess::run({"send", dat.string(), "--capture", capture.string()}, env);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("send failed at message 5 of 12: status -10838 kMIDIMessageSendErr: "), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("4 of 12 messages"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
    const Bytes firstFour = sampleSyx(4);
    EXPECT_EQ(readFile(capture), firstFour) << "nothing after the failed message goes out";
    EXPECT_EQ(readTimingLog(capture.string() + ".csv").size(), 4u);
}

TEST_F(CliEndToEnd, RefusedFilesAndBadUsage)
{
    writeFile(m_dir / "junk.dat", {'n', 'o', 't', ' ', 'M', 'I', 'D', 'I'});
    // 60 MB of whole messages: readable, but more than the limits below leave room for.
    {
        mirelo::test::CSmfImageBuilder big(500, 0);
        big.track();
        const Bytes message = mirelo::test::CSmfImageBuilder::message(4000, 1);
        for (std::uint32_t i = 0; i < 15'000; ++i) {
            big.sysEx(0, message);
        }
        writeFile(m_dir / "big.dat", big.build());
    }
    writeFile(m_dir / "damaged.dat",
              mirelo::test::CSmfImageBuilder(480).track().tempo(0, 500000).sysEx(0, {0xF0, 0x7D, 0x01, 0x90, 0xF7}).build());
    struct SCase {
        std::vector<std::string> args;
        int status;
        const char* says;
        std::uint64_t memoryLimitMiB = 0; // 0: none
    };
    const std::vector<SCase> cases = {
        {{"send", (m_dir / "junk.dat").string(), "--capture", (m_dir / "c.syx").string()},
         2,
         "junk.dat: the file holds 8 bytes, too few for a Standard MIDI File header"},
        {{"send", (m_dir / "damaged.dat").string(), "--capture", (m_dir / "c.syx").string()},
         2,
         "damaged.dat: track 0, event 1 at byte 34: SysEx holds status byte 0x90\n"},
        {{"inspect", "--schedule", (m_dir / "damaged.dat").string()},
         2,
         "damaged.dat: track 0, event 1 at byte 34: SysEx holds status byte 0x90\n"},
        {{"send", "/dev/zero", "--capture", (m_dir / "c.syx").string()}, 2, "/dev/zero: more than the 256 MiB"},
        // Out of memory is a one-line failure, never an abort.
        {{"send", (m_dir / "big.dat").string(), "--capture", (m_dir / "c.syx").string()}, 1,
         "big.dat: out of memory while reading it", 40},
        {{"send", (m_dir / "big.dat").string(), "--capture", (m_dir / "c.syx").string()}, 1,
         "big.dat: out of memory while building the schedule", 110},
        {{"send", (m_dir / "missing.dat").string(), "--capture", (m_dir / "c.syx").string()},
         2,
         "missing.dat: No such file or directory"},
        {{"pack", "--out", (m_dir / "x.dat").string(), (m_dir / "missing.syx").string()},
         2,
         "missing.syx: cannot be read"},
        {{"pack", (m_dir / "in.syx").string()}, 2, "--out is required"},
        {{"send", "--no-such-option"}, 2, "no-such-option"},
        {{"pack", "--out", "x.dat", "--division", "0", "in.syx"}, 2, "--division"},
    };
    for (const SCase& c : cases) {
        if (c.memoryLimitMiB != 0 && kSanitized) {
            continue; // a sanitizer reserves far more address space than any limit here
        }
        const SCliResult r = CCliProcess::run(c.args, kVirtual,
                                              c.memoryLimitMiB == 0 ? std::nullopt
                                                                    : std::optional<std::uint64_t>(c.memoryLimitMiB << 20));
        EXPECT_EQ(r.status, c.status) << c.says;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(m_dir / "c.syx")) << "a refused file sends nothing and captures nothing";
}

TEST_F(CliEndToEnd, NoDestinationIsRefusedBeforeSending)
{
    const std::filesystem::path dat = pack(2, {"--interval", "1"});
    const SCliResult r = CCliProcess::run({"send", dat.string()}, kVirtual);
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("no MIDI destination"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("mirelo-updater-cli list"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("--capture"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("progress"), std::string::npos) << "nothing was started";
}

TEST_F(CliEndToEnd, ToChoosesByIndexNameOrPrefix)
{
    const std::filesystem::path dat = pack(2, {"--interval", "1"});
    struct SCase {
        const char* to;
        int status;
    };
    for (const SCase& c : std::vector<SCase>{{"0", 0}, {"Capture", 0}, {"capt", 0}, {"1", 3}, {"Other", 3}}) {
        const SCliResult r =
            CCliProcess::run({"send", dat.string(), "--capture", (m_dir / "c.syx").string(), "--to", c.to}, kVirtual);
        EXPECT_EQ(r.status, c.status) << "--to " << c.to << ": " << r.err;
        if (c.status != 0) {
            EXPECT_NE(r.err.find("`mirelo-updater-cli list`"), std::string::npos) << r.err;
        }
    }
}

TEST_F(CliEndToEnd, ListShowsTheBackendsEndpoints)
{
    SCliResult r = CCliProcess::run({"list"}, kVirtual);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "MIDI backend: virtual\ndestinations: none\nsources: none\n");
    r = CCliProcess::run({"list", "--json"}, kVirtual);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
}

TEST_F(CliEndToEnd, WithoutAMidiSystemListAndSendSaySoAndNameCapture)
{
    if (std::filesystem::exists("/dev/snd/seq")) {
        GTEST_SKIP() << "this machine has an ALSA sequencer";
    }
    const std::filesystem::path dat = pack(2, {"--interval", "1"});
    const CCliProcess::Environment alsa = {{"MIRELO_MIDI_BACKEND", {}}};
    for (const auto& args : std::vector<std::vector<std::string>>{{"list"}, {"send", dat.string()}}) {
        const SCliResult r = CCliProcess::run(args, alsa);
        EXPECT_EQ(r.status, 3) << args[0];
        EXPECT_NE(r.err.find("No MIDI system is available"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("send --capture OUT.syx"), std::string::npos) << r.err;
    }
}

TEST_F(CliEndToEnd, EverySubcommandExplainsItself)
{
    for (const char* command : {"send", "list", "pack", "inspect"}) {
        const SCliResult r = CCliProcess::run({command, "--help"});
        EXPECT_EQ(r.status, 0) << command;
        EXPECT_NE(r.out.find("Usage:"), std::string::npos) << command;
    }
    const SCliResult r = CCliProcess::run({"--help"});
    EXPECT_EQ(r.status, 0);
    for (const char* command : {"send", "list", "pack", "inspect"}) {
        EXPECT_NE(r.out.find(command), std::string::npos) << command;
    }
}

} // namespace
