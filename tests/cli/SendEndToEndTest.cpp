// pack, send, list and inspect --schedule through the binary, as a user runs
// them (its test build, whose hook can fail a send when asked). Transfers use a few milliseconds between messages, so each run takes
// a few tens of milliseconds of real time.

#include "tests/cli/CliProcess.h"
#include "tests/support/SmfImageBuilder.h"
#include "testing/SendFailure.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <sys/stat.h>

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

using Bytes = std::vector<std::uint8_t>;

// MIDI hardware must not be reached by accident: the default is "no MIDI system".
const CCliProcess::Environment kVirtual = {{"MIRELO_MIDI_BACKEND", "virtual"},
                                           {mirelo::midi::SendFailure::kVariable, {}}};

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

// Waits on the real clock, a few milliseconds at a time, for what a child
// process shows; false after a minute (a sanitized build on a loaded machine
// can take seconds to start).
template <typename Condition>
bool waitFor(Condition condition)
{
    for (int i = 0; i < 12'000; ++i) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return condition();
}

// The state letter of a process in /proc ('T' once it is stopped).
char processState(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    return close != std::string::npos && close + 2 < text.size() ? text[close + 2] : '?';
}

class CliEndToEnd : public ::testing::Test {
protected:
    // Packs `count` sample messages; returns the update file.
    std::filesystem::path pack(std::size_t count, const std::vector<std::string>& options)
    {
        writeFile(m_dir / "in.syx", sampleSyx(count));
        std::filesystem::path dat = m_dir / "update.dat";
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
        {{0xF0, 0x01, 0xF7, 0xF0, 0x02, 0x03},
         "offset 6 (0x6): the SysEx message that starts at offset 3 is truncated"},
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

// What the user should know before a run, not guess after it: messages the
// file orders after one due later leave late; a run of more than an hour
// (here one message due in 170 years) says how long, and so does the time
// left. A signal ends the long wait at once.
TEST_F(CliEndToEnd, WarnsBeforeStartingWhenFileOrderMakesMessagesLateOrTheRunLong)
{
    using mirelo::test::CSmfImageBuilder;
    struct SCase {
        const char* name;
        Bytes image;
        const char* warning;
        const char* firstLine;
    };
    const SCase cases[] = {
        {"late by order",
         CSmfImageBuilder(500)
             .track()
             .tempo(0, 500000)
             .sysEx(30, CSmfImageBuilder::message(6, 1))
             .track()
             .sysEx(10, CSmfImageBuilder::message(6, 2))
             .sysEx(20, CSmfImageBuilder::message(6, 3))
             .build(),
         "send: warning: 2 of 3 messages are due before a message ahead of them in the file and will leave up to "
         "20 ms late",
         "progress: 0% (0 of 3 messages"},
        // The slowest tempo there is and the longest delta time: 20 s a tick.
        {"due in 170 years",
         CSmfImageBuilder(1)
             .track()
             .tempo(0, 0xFFFFFF)
             .sysEx(0, CSmfImageBuilder::message(6, 1))
             .sysEx(0x0FFFFFFF, CSmfImageBuilder::message(6, 2))
             .build(),
         "send: warning: the file times this update to take 170 years; keep the instrument connected",
         "progress: 0% (0 of 2 messages, 0.0 s elapsed, about 170 years left)"},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::filesystem::path dat = m_dir / "warned.mid";
        writeFile(dat, c.image);
        CCliProcess send({"send", dat.string(), "--capture", (m_dir / "c.syx").string()}, kVirtual);
        ASSERT_TRUE(waitFor([&] { return send.errorSoFar().find("progress:") != std::string::npos; }));
        ::kill(send.pid(), SIGINT);
        const SCliResult r = send.wait();
        EXPECT_TRUE(r.status == 0 || r.status == 128 + SIGINT) << r.err;
        const auto at = r.err.find(c.warning);
        EXPECT_NE(at, std::string::npos) << r.err;
        EXPECT_LT(at, r.err.find(c.firstLine)) << "the warning comes before the run";
    }
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
    // inspect shows the file send sends.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"inspect"}, std::vector<std::string>{"inspect", "--schedule"}}) {
        std::vector<std::string> named = args;
        named.push_back(dat.string());
        const SCliResult bundled = CCliProcess::run(args, env);
        EXPECT_EQ(bundled.status, 0) << bundled.err;
        EXPECT_EQ(bundled.out, CCliProcess::run(named, env).out);
    }

    // Without it, each says where it looked and what to do.
    std::filesystem::remove(m_dir / "resources" / "mirelo updater.dat");
    for (const char* command : {"send", "inspect"}) {
        const SCliResult missing = CCliProcess::run({command}, env);
        EXPECT_EQ(missing.status, 2) << command;
        EXPECT_NE(missing.err.find("the bundled update file \"mirelo updater.dat\" was not found in the resource "
                                   "folder " +
                                   (m_dir / "resources").string() + "; name a FILE, or set MIRELO_RESOURCES"),
                  std::string::npos)
            << missing.err;
    }
}

// A failure at the last of several hundred messages: the transfer's last
// report is 100 (399.5 rounds up), and nothing may show it.
TEST_F(CliEndToEnd, AFailureAtTheLastMessageNeverShowsAHundred)
{
    const std::filesystem::path dat = pack(400, {"--interval", "0"});
    CCliProcess::Environment env = kVirtual;
    env[mirelo::midi::SendFailure::kVariable] = "400:-10838";
    const SCliResult r = CCliProcess::run({"send", dat.string(), "--capture", (m_dir / "c.syx").string()}, env);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("send failed at message 400 of 400"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("100%"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("progress: 99% (399 of 400 messages"), std::string::npos) << r.err;
}

// SIGTERM, SIGINT or SIGHUP during a run: the message in flight finishes,
// nothing more goes out, the captures hold exactly what was sent, and the
// status says which signal ended it.
TEST_F(CliEndToEnd, ASignalEndsTheRunAfterTheMessageInFlightAndSaysHowFarItGot)
{
    constexpr std::size_t kMessages = 60;
    const std::filesystem::path dat = pack(kMessages, {"--interval", "20"});
    const Bytes all = sampleSyx(kMessages);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        const std::filesystem::path capture = m_dir / "capture.syx";
        CCliProcess send({"send", dat.string(), "--capture", capture.string()}, kVirtual);
        ASSERT_TRUE(waitFor([&] { return send.errorSoFar().find("progress: 10%") != std::string::npos; }));
        ::kill(send.pid(), signal);
        const SCliResult r = send.wait();
        EXPECT_EQ(r.status, 128 + signal) << r.err;
        const std::regex notice(R"re(interrupted after message (\d+) of 60; the instrument must be updated again)re");
        std::smatch m;
        ASSERT_TRUE(std::regex_search(r.err, m, notice)) << r.err;
        const std::size_t sent = std::stoul(m[1]);
        EXPECT_GE(sent, 6u);
        EXPECT_LT(sent, kMessages);
        EXPECT_EQ(r.err.find("100%"), std::string::npos) << r.err;
        const Bytes captured = readFile(capture);
        EXPECT_EQ(captured, sampleSyx(sent)) << "the capture holds exactly the messages sent";
        EXPECT_EQ(Bytes(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(captured.size())), captured);
        EXPECT_EQ(readTimingLog(capture.string() + ".csv").size(), sent) << "one row per message sent";
    }
}

// The signals are taken over once `send` has started: the main thread has
// blocked them (SigBlk in /proc holds SIGINT's bit).
bool signalsWatched(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("SigBlk:", 0) == 0) {
            return (std::stoull(line.substr(7), nullptr, 16) & (1ULL << (SIGINT - 1))) != 0;
        }
    }
    return false;
}

// Ctrl-C while the update file is still being read (a FIFO nobody writes:
// the read never ends) ends `send` at once; nothing is sent or captured.
TEST_F(CliEndToEnd, ASignalWhileTheUpdateFileIsReadEndsSendAtOnce)
{
    const std::filesystem::path fifo = m_dir / "update.fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    CCliProcess send({"send", fifo.string(), "--capture", (m_dir / "c.syx").string()}, kVirtual);
    ASSERT_TRUE(waitFor([&] { return signalsWatched(send.pid()); }));
    ::kill(send.pid(), SIGINT);
    const SCliResult r = send.wait();
    EXPECT_EQ(r.status, 128 + SIGINT) << r.err;
    EXPECT_EQ(r.err, "send: interrupted while the update file was read; nothing was sent\n");
    EXPECT_FALSE(std::filesystem::exists(m_dir / "c.syx"));
}

// A sender stopped and continued mid-run (Ctrl-Z and fg, a machine that
// stalls it) finds messages overdue. They do not leave in a burst: from the
// stall on, every gap in the capture's timing log is at least the file's.
TEST_F(CliEndToEnd, ASenderStoppedAndContinuedKeepsTheFilesSpacing)
{
    constexpr std::size_t kMessages = 40;
    constexpr std::uint64_t kStallMs = 60;
    const std::filesystem::path dat = pack(kMessages, {"--interval", "10"});
    const std::filesystem::path capture = m_dir / "capture.syx";
    CCliProcess send({"send", dat.string(), "--capture", capture.string()}, kVirtual);
    ASSERT_TRUE(waitFor([&] { return send.errorSoFar().find("progress: 20%") != std::string::npos; }));
    ::kill(send.pid(), SIGSTOP);
    ASSERT_TRUE(waitFor([&] { return processState(send.pid()) == 'T'; }));
    const auto stopped = std::chrono::steady_clock::now();
    EXPECT_TRUE(
        waitFor([&] { return std::chrono::steady_clock::now() - stopped >= std::chrono::milliseconds(kStallMs); }));
    ::kill(send.pid(), SIGCONT);
    const SCliResult r = send.wait();
    ASSERT_EQ(r.status, 0) << r.err;

    const std::vector<SScheduled> schedule = inspectSchedule(dat);
    const std::vector<SLogRow> log = readTimingLog(capture.string() + ".csv");
    ASSERT_EQ(log.size(), kMessages);
    ASSERT_EQ(schedule.size(), kMessages);
    // A wake-up may be up to a millisecond late without moving the rest, and
    // the log stamps each message a little after the sender read its clock:
    // 3 ms of 10 allowed. Sent at once after the stall, gaps would be near 0.
    for (std::size_t i = 1; i < kMessages; ++i) {
        EXPECT_GE(log[i].sentUs - log[i - 1].sentUs + 3000, (schedule[i].dueMs - schedule[i - 1].dueMs) * 1000)
            << "message " << i;
    }
    EXPECT_GE(log.back().sentUs, (schedule.back().dueMs + kStallMs - 10) * 1000) << "the stall moved the rest back";
}

// A reader that goes away (`2>&1 | head -1`) does not stop the transfer.
TEST_F(CliEndToEnd, AClosedPipeDoesNotStopTheTransfer)
{
    const std::filesystem::path dat = pack(30, {"--interval", "1"});
    const std::filesystem::path capture = m_dir / "capture.syx";
    SCliOptions options;
    options.closedPipe = true;
    const SCliResult r = CCliProcess::run({"send", dat.string(), "--capture", capture.string()}, kVirtual, options);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(readFile(capture), sampleSyx(30));
}

TEST_F(CliEndToEnd, TheCaptureNeverOverwritesTheUpdateFileAndIsEmptiedOnlyOnceEveryCheckPassed)
{
    const std::filesystem::path dat = pack(3, {"--interval", "1"});
    const Bytes update = readFile(dat);
    std::filesystem::create_symlink(dat, m_dir / "link.syx");
    writeFile(m_dir / "pair.syx", {1, 2, 3});
    std::filesystem::create_symlink(m_dir / "pair.syx", m_dir / "pair.syx.csv");
    std::filesystem::path withoutCsv = dat;
    withoutCsv.replace_extension(); // its ".csv" is the update file
    std::filesystem::rename(dat, withoutCsv.string() + ".csv");
    const std::filesystem::path input = withoutCsv.string() + ".csv";
    std::filesystem::remove(m_dir / "link.syx");
    std::filesystem::create_symlink(input, m_dir / "link.syx");

    // Not regular files: opening a FIFO to write would wait for a reader for ever.
    ::mkfifo((m_dir / "fifo").c_str(), 0600);
    ::mkfifo((m_dir / "beside.syx.csv").c_str(), 0600);
    std::filesystem::create_directory(m_dir / "folder");
    // Dangling links: one onto its own timing log, one into no folder.
    std::filesystem::create_symlink("dangling.syx.csv", m_dir / "dangling.syx");
    std::filesystem::create_symlink(m_dir / "missing" / "log.csv", m_dir / "nowhere.syx.csv");

    struct SCase {
        std::string capture;
        int status;
        std::string says;
    };
    const SCase cases[] = {
        {input.string(), 2, "is the update file itself"},
        {(m_dir / "link.syx").string(), 2, "is the update file itself"},
        {withoutCsv.string(), 2, ".csv is the update file itself"},
        {(m_dir / "pair.syx").string(), 2, "are one file"},
        {(m_dir / "dangling.syx").string(), 2,
         "dangling.syx and " + (m_dir / "dangling.syx.csv").string() + " are one file"},
        {(m_dir / "fifo").string(), 2, "fifo is a FIFO, not a file a capture can be written to"},
        {(m_dir / "beside.syx").string(), 2, "beside.syx.csv is a FIFO, not a file a capture can be written to"},
        {(m_dir / "folder").string(), 2, "folder is a directory, not a file a capture can be written to"},
        {"/dev/null", 2, "/dev/null is a device, not a file a capture can be written to"},
        {(m_dir / "nowhere.syx").string(), 1, "cannot create " + (m_dir / "nowhere.syx.csv").string()},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.capture);
        const SCliResult r = CCliProcess::run({"send", input.string(), "--capture", c.capture}, kVirtual);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(readFile(input), update) << "the update file was touched";
    }
    // A refused capture leaves nothing behind.
    for (const char* name : {"beside.syx", "dangling.syx.csv", "nowhere.syx", "fifo.csv", "folder.csv"}) {
        EXPECT_FALSE(std::filesystem::exists(m_dir / name)) << name;
    }
    EXPECT_EQ(readFile(m_dir / "pair.syx"), (Bytes{1, 2, 3}));

    // A destination that does not exist is refused before the old capture is emptied.
    writeFile(m_dir / "old.syx", {0xF0, 0x00, 0xF7});
    const SCliResult r = CCliProcess::run(
        {"send", input.string(), "--capture", (m_dir / "old.syx").string(), "--to", "Nothing"}, kVirtual);
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_EQ(readFile(m_dir / "old.syx"), (Bytes{0xF0, 0x00, 0xF7}));
}

TEST_F(CliEndToEnd, ASecondSendIntoTheSameCaptureFailsAtStart)
{
    const std::filesystem::path dat = pack(20, {"--interval", "40"});
    const std::filesystem::path capture = m_dir / "capture.syx";
    CCliProcess first({"send", dat.string(), "--capture", capture.string()}, kVirtual);
    ASSERT_TRUE(waitFor([&] { return first.errorSoFar().find("progress: 0%") != std::string::npos; }));
    const SCliResult second = CCliProcess::run({"send", dat.string(), "--capture", capture.string()}, kVirtual);
    EXPECT_EQ(second.status, 1);
    EXPECT_NE(second.err.find(capture.string() + " is being written by another capture"), std::string::npos)
        << second.err;
    EXPECT_EQ(first.wait().status, 0);
    EXPECT_EQ(readFile(capture), sampleSyx(20)) << "the first run's capture is whole and not interleaved";
}

// A capture that cannot grow stops the run at that message, as a device that
// refused it would, and the files keep exactly the messages before it.
TEST_F(CliEndToEnd, ACaptureWriteErrorStopsTheRunAtThatMessage)
{
    const std::filesystem::path dat = pack(12, {"--interval", "1"});
    const std::filesystem::path capture = m_dir / "capture.syx";
    SCliOptions options;
    options.fileSizeBytes = sampleSyx(5).size() + 10; // room for five messages and part of the sixth
    const SCliResult r = CCliProcess::run({"send", dat.string(), "--capture", capture.string()}, kVirtual, options);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(
        r.err.find("send failed at message 6 of 12: capture: writing " + capture.string() + " failed (File too large)"),
        std::string::npos)
        << r.err;
    EXPECT_EQ(readFile(capture), sampleSyx(5));
    EXPECT_EQ(readTimingLog(capture.string() + ".csv").size(), 5u);
}

// Either capture file removed during a run: the run stops at the next
// message, and the file that is left holds exactly the messages the report
// says reached the capture.
TEST_F(CliEndToEnd, ACaptureFileRemovedDuringTheRunHoldsWhatTheReportSays)
{
    constexpr std::size_t kMessages = 40;
    const std::filesystem::path dat = pack(kMessages, {"--interval", "10"});
    for (const char* removed : {".csv", ""}) {
        SCOPED_TRACE(std::string("removing capture.syx") + removed);
        const std::filesystem::path capture = m_dir / "capture.syx";
        const std::filesystem::path csv = capture.string() + ".csv";
        CCliProcess send({"send", dat.string(), "--capture", capture.string()}, kVirtual);
        ASSERT_TRUE(waitFor([&] { return send.errorSoFar().find("progress: 10%") != std::string::npos; }));
        std::filesystem::remove(capture.string() + removed);
        const SCliResult r = send.wait();
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find("was removed while the capture was written"), std::string::npos) << r.err;
        std::smatch m;
        ASSERT_TRUE(std::regex_search(r.err, m, std::regex(R"re(send: (\d+) of 40 messages)re"))) << r.err;
        const std::size_t reached = std::stoul(m[1]);
        EXPECT_GE(reached, 4u);
        if (*removed != '\0') {
            EXPECT_EQ(readFile(capture), sampleSyx(reached));
        } else {
            EXPECT_EQ(readTimingLog(csv).size(), reached);
        }
        std::filesystem::remove(capture);
        std::filesystem::remove(csv);
    }
}

TEST_F(CliEndToEnd, PackReplacesTheTargetWholeAndOnlyARegularFile)
{
    writeFile(m_dir / "in.syx", sampleSyx(3));
    const auto pack = [&](const std::string& out) {
        return CCliProcess::run({"pack", "--out", out, "--interval", "1", (m_dir / "in.syx").string()});
    };
    ASSERT_EQ(pack((m_dir / "plain.dat").string()).status, 0);
    const Bytes expected = readFile(m_dir / "plain.dat");

    // Through a link: the link stays, its target is written, its mode kept.
    writeFile(m_dir / "target.dat", {1});
    std::filesystem::permissions(m_dir / "target.dat", std::filesystem::perms::owner_read |
                                                           std::filesystem::perms::owner_write |
                                                           std::filesystem::perms::group_read);
    std::filesystem::create_symlink("target.dat", m_dir / "link.dat");
    EXPECT_EQ(pack((m_dir / "link.dat").string()).status, 0);
    EXPECT_TRUE(std::filesystem::is_symlink(m_dir / "link.dat"));
    EXPECT_EQ(readFile(m_dir / "target.dat"), expected);
    EXPECT_EQ(std::filesystem::status(m_dir / "target.dat").permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                  std::filesystem::perms::group_read);

    // A set-user or set-group bit does not pass to the new contents.
    std::filesystem::permissions(m_dir / "target.dat",
                                 std::filesystem::perms::set_uid | std::filesystem::perms::set_gid |
                                     std::filesystem::perms::owner_all | std::filesystem::perms::group_read);
    EXPECT_EQ(pack((m_dir / "link.dat").string()).status, 0);
    EXPECT_EQ(std::filesystem::status(m_dir / "target.dat").permissions(),
              std::filesystem::perms::owner_all | std::filesystem::perms::group_read);

    // Never over one of its inputs, under whatever name.
    std::filesystem::create_symlink("in.syx", m_dir / "in-link.syx");
    const SCliResult over = pack((m_dir / "in-link.syx").string());
    EXPECT_EQ(over.status, 1);
    EXPECT_NE(over.err.find("in-link.syx is the input " + (m_dir / "in.syx").string()), std::string::npos) << over.err;
    EXPECT_EQ(readFile(m_dir / "in.syx"), sampleSyx(3));

    // A name as long as the system allows, and a stale OUT.tmp left alone.
    const std::string longName(255, 'u');
    writeFile(m_dir / (longName.substr(0, 251) + ".tmp"), {7});
    EXPECT_EQ(pack((m_dir / longName).string()).status, 0);
    EXPECT_EQ(readFile(m_dir / longName), expected);
    EXPECT_EQ(readFile(m_dir / (longName.substr(0, 251) + ".tmp")), (Bytes{7}));

    // Anything but a regular file is refused, not replaced.
    ::mkfifo((m_dir / "fifo").c_str(), 0600);
    std::filesystem::create_directory(m_dir / "folder");
    for (const auto& [name, kind] : {std::pair{"fifo", "a FIFO"}, std::pair{"folder", "a directory"}}) {
        const SCliResult r = pack((m_dir / name).string());
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(std::string("is ") + kind + ", not a file an update can replace"), std::string::npos)
            << r.err;
    }
    EXPECT_EQ(std::filesystem::status(m_dir / "fifo").type(), std::filesystem::file_type::fifo);

    // "-" is standard output, with the summary on standard error.
    const SCliResult toStdout = pack("-");
    EXPECT_EQ(toStdout.status, 0);
    EXPECT_EQ(Bytes(toStdout.out.begin(), toStdout.out.end()), expected);
    EXPECT_NE(toStdout.err.find("wrote standard output: 3 messages"), std::string::npos) << toStdout.err;

    writeFile(m_dir / "one.syx", sampleSyx(1));
    const SCliResult one =
        CCliProcess::run({"pack", "--out", (m_dir / "one.dat").string(), (m_dir / "one.syx").string()});
    EXPECT_NE(one.out.find("one.dat: 1 message, "), std::string::npos) << one.out;
}

TEST_F(CliEndToEnd, AFailedWriteToStandardOutputIsAFailure)
{
    const std::filesystem::path dat = pack(2, {"--interval", "1"});
    SCliOptions full;
    full.standardOutput = "/dev/full";
    writeFile(m_dir / "in.syx", sampleSyx(2));
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"list"}, std::vector<std::string>{"inspect", dat.string()},
          std::vector<std::string>{"inspect", "--schedule", dat.string()},
          std::vector<std::string>{"pack", "--out", "-", (m_dir / "in.syx").string()}}) {
        SCOPED_TRACE(args.front());
        const SCliResult r = CCliProcess::run(args, kVirtual, full);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("cannot write to standard output (No space left on device)"), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << "one failure, one line: " << r.err;
    }
    // The transfer's outcome decides its status, whatever became of its summary line.
    const SCliResult send =
        CCliProcess::run({"send", dat.string(), "--capture", (m_dir / "c.syx").string()}, kVirtual, full);
    EXPECT_EQ(send.status, 0) << send.err;
}

TEST_F(CliEndToEnd, RefusedFilesAndBadUsage)
{
    writeFile(m_dir / "junk.dat", {'n', 'o', 't', ' ', 'M', 'I', 'D', 'I'});
    writeFile(m_dir / "two.syx", sampleSyx(2));
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
    writeFile(
        m_dir / "damaged.dat",
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
        {{"send", (m_dir / "big.dat").string(), "--capture", (m_dir / "c.syx").string()},
         1,
         "big.dat: out of memory while reading it",
         40},
        {{"send", (m_dir / "big.dat").string(), "--capture", (m_dir / "c.syx").string()},
         1,
         "big.dat: out of memory while building the schedule",
         110},
        {{"send", (m_dir / "missing.dat").string(), "--capture", (m_dir / "c.syx").string()},
         2,
         "missing.dat: No such file or directory"},
        {{"pack", "--out", (m_dir / "x.dat").string(), (m_dir / "missing.syx").string()},
         2,
         "missing.syx: cannot be read"},
        {{"pack", (m_dir / "in.syx").string()}, 2, "--out is required"},
        {{"send", "--no-such-option"}, 2, "no-such-option"},
        {{"pack", "--out", "x.dat", "--division", "0", "in.syx"}, 2, "--division"},
        {{"pack", "--out", (m_dir / "x.dat").string(), "--interval", "268435456", (m_dir / "two.syx").string()},
         2,
         "message 2 is due at 268435456 ms, later than the largest tick an update file made by pack can hold: tick "
         "268435455, 268435455 ms at division 500"},
        {{"bogus"}, 2, "\"bogus\" is not a command; the commands are inspect, pack, send, list"},
    };
    for (const SCase& c : cases) {
        if (c.memoryLimitMiB != 0 && kSanitized) {
            continue; // a sanitizer reserves far more address space than any limit here
        }
        SCliOptions options;
        if (c.memoryLimitMiB != 0) {
            options.addressSpaceBytes = c.memoryLimitMiB << 20;
        }
        const SCliResult r = CCliProcess::run(c.args, kVirtual, options);
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
        // The plain sentence first, the status after it.
        const auto plain =
            r.err.find("No MIDI system is available: the ALSA sequencer (/dev/snd/seq) cannot be opened");
        EXPECT_NE(plain, std::string::npos) << r.err;
        EXPECT_LT(plain, r.err.find("send --capture OUT.syx")) << r.err;
        EXPECT_LT(r.err.find("send --capture OUT.syx"), r.err.find("(status -10839 kMIDIServerStartErr)")) << r.err;
    }
}

TEST_F(CliEndToEnd, EverySubcommandExplainsItself)
{
    for (const char* command : {"send", "list", "pack", "inspect", "identify", "history"}) {
        const SCliResult r = CCliProcess::run({command, "--help"});
        EXPECT_EQ(r.status, 0) << command;
        EXPECT_NE(r.out.find("Usage:"), std::string::npos) << command;
    }
    const SCliResult r = CCliProcess::run({"--help"});
    EXPECT_EQ(r.status, 0);
    for (const char* command : {"send", "list", "pack", "inspect", "identify", "history"}) {
        EXPECT_NE(r.out.find(command), std::string::npos) << command;
    }
}

} // namespace
