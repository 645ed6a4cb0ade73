// The fault matrix through the command-line tool: `send` run in this process
// (the tool's own command object, on the virtual backend and the simulated
// clock) for every row, and through the binary for the rows its test hooks
// can stage (a failing send, a spoiled file).

#include "tests/faults/FaultTable.h"
#include "tests/faults/FaultWorld.h"
#include "tests/support/ScopedRecordFolder.h"

#include "cli/SendCommand.h"
#include "tests/cli/CliProcess.h"

#include "platform/base/Clock.h"
#include "platform/midi/MidiBackend.h"
#include "testing/SendFailure.h"
#include "testing/SimulatedClock.h"

#include <CLI/CLI.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace {

using mirelo::test::CFaultSetup;
using mirelo::test::CScopedRecordFolder;
using mirelo::test::EFault;
using mirelo::test::SFaultRow;

std::string readAll(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct SCliRun {
    int status;
    std::string out;
    std::string err;
};

SCliRun sendInProcess(const std::vector<std::string>& args)
{
    CLI::App app;
    CSendCommand command;
    command.attach(app);
    std::vector<std::string> reversed(args.rbegin(), args.rend()); // CLI11 takes them last first
    app.parse(reversed);
    std::ostringstream out;
    std::ostringstream err;
    const int status = command.run(out, err);
    return {status, out.str(), err.str()};
}

bool binaryCanStage(EFault fault)
{
    switch (fault) {
    case EFault::kSendFailsFirst:
    case EFault::kSendFailsMiddle:
    case EFault::kSendFailsLast:
    case EFault::kFileRemoved:
    case EFault::kFileTruncated:
    case EFault::kFileGarbage:
    case EFault::kFileLostAByte:
    case EFault::kFileWithoutSysEx:
    case EFault::kFileEmptySysEx:
        return true;
    default:
        return false;
    }
}

class FaultMatrixCli : public testing::TestWithParam<SFaultRow> {
protected:
    void SetUp() override
    {
        mirelo::test::leaksSinceLastCheck();
        mirelo::platform::setClock(&m_clock);
        m_updateFile = m_dir / "update.mid";
    }
    void TearDown() override
    {
        mirelo::midi::setActiveBackend(nullptr);
        mirelo::platform::setClock(nullptr);
        EXPECT_EQ(mirelo::test::leaksSinceLastCheck(), 0) << "leaked";
    }

    void runInProcess(const SFaultRow& row)
    {
        mirelo::midi::ControlledVirtualBackend backend;
        const CScopedRecordFolder record(m_dir / "state");
        mirelo::test::writeFile(m_updateFile, mirelo::test::faultUpdateImage());
        mirelo::test::spoilUpdateFile(row.fault, m_updateFile);
        CFaultSetup setup(backend, m_clock, row);
        mirelo::midi::setActiveBackend(&backend);

        std::vector<std::string> args{"send", m_updateFile.string()};
        if (row.fault == EFault::kSameName) {
            args.insert(args.end(), {"--to", "Synth"});
        }
        const SCliRun run = sendInProcess(args);
        mirelo::midi::setActiveBackend(nullptr);

        EXPECT_EQ(run.status, row.cliExit) << run.err;
        const std::string& shown = row.cliExit == 0 ? run.out : run.err;
        EXPECT_NE(shown.find(row.cliMessage), std::string::npos) << "stdout: " << run.out << "\nstderr: " << run.err;
        EXPECT_EQ(setup.sentToSynth(), row.cliSent);
        EXPECT_FALSE(setup.sentAfterAFailure()) << "a message went out after a failed send";
        EXPECT_EQ(record.results(), CScopedRecordFolder::expected(row.cliRecord));
        if (row.fault == EFault::kSameName) {
            // The first of the two, as the window picks it, and all of the run.
            EXPECT_EQ(backend.sentLists().size(), row.cliSent) << "the run was split between the two";
        }
    }

    void runBinary(const SFaultRow& row)
    {
        mirelo::test::writeFile(m_updateFile, mirelo::test::faultUpdateImage());
        mirelo::test::spoilUpdateFile(row.fault, m_updateFile);
        const std::filesystem::path capture = m_dir / "capture.syx";
        std::filesystem::remove(capture);
        using mirelo::midi::SendFailure;
        const CScopedRecordFolder record(m_dir / "state");
        CCliProcess::Environment env{{"MIRELO_MIDI_BACKEND", "virtual"},
                                     {SendFailure::kVariable, {}},
                                     {"XDG_STATE_HOME", record.state().string()},
                                     // A German session too: scripts read the tool's words, so they stay English.
                                     {"LANG", "de_DE.UTF-8"},
                                     {"LANGUAGE", "de"}};
        if (row.failingSend != 0) {
            env[SendFailure::kVariable] = std::to_string(row.failingSend) + ":-10838";
        }
        const SCliResult r = CCliProcess::run({"send", m_updateFile.string(), "--capture", capture.string()}, env);

        EXPECT_EQ(r.status, row.cliExit) << r.err;
        EXPECT_NE(r.err.find(row.cliMessage), std::string::npos) << r.err;
        if (row.cliExit != 0) {
            EXPECT_TRUE(r.out.empty()) << "a failed run printed as if it succeeded: " << r.out;
        }
        if (row.failingSend != 0) {
            // How much reached the instrument, and the status after the words.
            EXPECT_NE(r.err.find(std::to_string(row.cliSent) + " of 10 messages"), std::string::npos) << r.err;
            EXPECT_NE(r.err.find(" (status -10838 kMIDIMessageSendErr)\n"), std::string::npos) << r.err;
        }
        EXPECT_EQ(record.results(), CScopedRecordFolder::expected(row.cliRecord));
        // The capture and its timing log hold exactly the messages before the failure.
        std::string expected;
        for (std::size_t i = 0; i < row.cliSent; ++i) {
            const auto message = mirelo::test::CSmfImageBuilder::message(200, static_cast<std::uint32_t>(i));
            expected.append(message.begin(), message.end());
        }
        if (std::filesystem::exists(capture)) {
            EXPECT_EQ(readAll(capture), expected);
            const std::string log = readAll(capture.string() + ".csv");
            EXPECT_EQ(static_cast<std::size_t>(std::count(log.begin(), log.end(), '\n')), row.cliSent + 1) << log;
        } else {
            EXPECT_EQ(row.cliSent, 0u);
        }
    }

    mirelo::platform::SimulatedClock m_clock;
    CScratchDirectory m_dir;
    std::filesystem::path m_updateFile;
};

TEST_P(FaultMatrixCli, EndsWithTheRightStatusAndNothingSentAfterAFailure)
{
    const SFaultRow& row = GetParam();
    runInProcess(row);
    if (binaryCanStage(row.fault)) {
        SCOPED_TRACE("through the binary");
        runBinary(row);
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, FaultMatrixCli, testing::ValuesIn(mirelo::test::kFaultRows),
                         [](const auto& row) { return mirelo::test::rowTestName(row.param); });

} // namespace
