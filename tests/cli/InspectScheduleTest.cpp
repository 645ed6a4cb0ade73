// `inspect FILE --schedule` lists exactly the schedule the transfer sends.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <unistd.h>

#include "cli/InspectCommand.h"
#include "schedule/FirmwareSchedule.h"
#include "tests/support/SmfImageBuilder.h"

namespace {

using mirelo::test::Bytes;
using mirelo::test::CSmfImageBuilder;

struct SResult {
    int status;
    std::string out;
    std::string err;
};

class InspectScheduleTest : public testing::Test {
protected:
    void TearDown() override { std::remove(m_path.c_str()); }

    SResult inspect(const Bytes& image)
    {
        std::ofstream(m_path, std::ios::binary)
            .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
        CLI::App app;
        CInspectCommand command;
        command.attach(app);
        const char* argv[] = {"cli", "inspect", m_path.c_str(), "--schedule"};
        app.parse(4, argv);
        std::ostringstream out;
        std::ostringstream err;
        const int status = command.run(out, err);
        return {status, out.str(), err.str()};
    }

    std::string m_path = testing::TempDir() + "inspect_schedule_" + std::to_string(getpid()) + ".mid";
};

TEST_F(InspectScheduleTest, ListsEachMessageThenTotals)
{
    const Bytes image = CSmfImageBuilder(480)
                            .track()
                            .tempo(0, 700000)
                            .sysEx(480, CSmfImageBuilder::message(300, 1))
                            .track()
                            .sysEx(0, CSmfImageBuilder::message(6, 2))
                            .build();
    const SResult r = inspect(image);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    // The second is due at once but leaves after the first: file order.
    EXPECT_EQ(r.out, "{\"index\":0,\"track\":0,\"tick\":480,\"due_ms\":706,\"send_ms\":706,\"size\":300}\n"
                     "{\"index\":1,\"track\":1,\"tick\":0,\"due_ms\":0,\"send_ms\":706,\"size\":6}\n"
                     "{\"messages\":2,\"bytes\":306,\"duration_ms\":706,\"late_by_order\":1}\n");
}

TEST_F(InspectScheduleTest, RefusalsGoToStandardErrorWithTheReasonAndThePlace)
{
    const SResult badTempo =
        inspect(CSmfImageBuilder(480).track().sysEx(0, CSmfImageBuilder::message(4, 1)).tempo(96, 0).build());
    EXPECT_EQ(badTempo.status, 2);
    EXPECT_EQ(badTempo.out, "");
    EXPECT_EQ(badTempo.err, m_path + ": track 0, event 1 at byte 28: Set Tempo at tick 96 is zero\n");

    const SResult garbage = inspect({'M', 'T', 'h', 'd', 0, 0});
    EXPECT_EQ(garbage.status, 2);
    EXPECT_EQ(garbage.out, "");
    EXPECT_EQ(garbage.err, m_path + ": the file holds 6 bytes, too few for a Standard MIDI File header\n");
}

TEST_F(InspectScheduleTest, TheBundledFilesScheduleIsUnchanged)
{
    std::ifstream in(MIRELO_BUNDLED_UPDATE_FILE, std::ios::binary);
    const Bytes image{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::ifstream golden(std::string(MIRELO_TEST_DATA_DIR) + "/bundled.schedule.jsonl");
    const std::string expected{std::istreambuf_iterator<char>(golden), std::istreambuf_iterator<char>()};
    ASSERT_FALSE(expected.empty());
    const SResult r = inspect(image);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, expected);
}

} // namespace
