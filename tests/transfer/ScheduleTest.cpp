// Send times, message copies and refusals of the schedule builder.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "FirmwareSchedule.h"
#include "support/SmfImageBuilder.h"

namespace {

using mirelo::test::Bytes;
using mirelo::test::CSmfImageBuilder;

Bytes msg(std::uint32_t seed)
{
    return CSmfImageBuilder::message(8, seed);
}

std::vector<std::uint64_t> sendTimesOf(const Bytes& image)
{
    CFirmwareSchedule schedule;
    EXPECT_EQ(schedule.build(image.data(), static_cast<std::uint32_t>(image.size())),
              CFirmwareSchedule::EResult::kOk);
    std::vector<std::uint64_t> times;
    for (const auto& message : schedule.messages()) {
        times.push_back(message.sendTime);
    }
    return times;
}

struct SFormulaCase {
    std::string name;
    Bytes image;
    std::vector<std::uint64_t> sendTimes;
};

std::vector<SFormulaCase> formulaCases()
{
    return {
        {"OneTempoAfterTheStart", CSmfImageBuilder(480).track().tempo(480, 500000).sysEx(960, msg(1)).build(), {500}},
        {"NothingBeforeTheFirstTempoNorAtItsOwnTick",
         CSmfImageBuilder(480).track().sysEx(240, msg(1)).tempo(480, 500000).sysEx(480, msg(2)).build(),
         {0, 0}},
        {"BpmDropsTheRemainder", CSmfImageBuilder(480).track().tempo(0, 700000).sysEx(480, msg(1)).build(), {706}},
        {"EachStretchRoundedByItself",
         CSmfImageBuilder(1000).track().tempo(0, 600000).tempo(1, 600000).sysEx(2, msg(1)).build(),
         {2}},
        {"LastOfSeveralTemposAtOneTickGoverns",
         CSmfImageBuilder(480).track().tempo(0, 1000000).tempo(0, 500000).sysEx(480, msg(1)).build(),
         {500}},
        {"LaterTempoDoesNotReachBack",
         CSmfImageBuilder(480)
             .track()
             .tempo(0, 500000)
             .sysEx(480, msg(1))
             .tempo(480, 250000)
             .sysEx(960, msg(2))
             .tempo(2000, 100000)
             .build(),
         {500, 750}},
        {"SmptePatternDivisionIsATickCount",
         CSmfImageBuilder(0xE728).track().tempo(0, 500000).sysEx(59176, msg(1)).sysEx(118352, msg(2)).build(),
         {500, 1000}},
        {"TempoOutsideTrackZeroIgnored",
         CSmfImageBuilder(480)
             .track()
             .sysEx(0, msg(1))
             .noteOn(10, 60)
             .track()
             .tempo(0, 500000)
             .sysEx(960, msg(2))
             .build(),
         {0, 0}},
        {"FileOrderTrackByTrackNotTimeOrder",
         CSmfImageBuilder(480)
             .track()
             .tempo(0, 500000)
             .sysEx(960, msg(1))
             .sysEx(960, msg(2))
             .track()
             .sysEx(0, msg(3))
             .sysEx(480, msg(4))
             .build(),
         {1000, 1000, 0, 500}},
        // Dividing before multiplying leaves each of these a hair below an
        // exact half, so it rounds down; multiplying first would round up.
        {"OrderOfOperations120BpmDivision96",
         CSmfImageBuilder(96).track().tempo(0, 500000).sysEx(780, msg(1)).sysEx(1548, msg(2)).sysEx(1572, msg(3)).build(),
         {4062, 8062, 8187}},
        {"OrderOfOperations140BpmDivision480",
         CSmfImageBuilder(480).track().tempo(0, 428571).sysEx(70, msg(1)).sysEx(126, msg(2)).build(),
         {62, 112}},
        {"OrderOfOperationsAfterTheBpmRemainderIsDropped",
         CSmfImageBuilder(960).track().tempo(0, 666667).sysEx(89, msg(1)).build(),
         {62}},
        {"OrderOfOperationsInEveryStretch",
         CSmfImageBuilder(96).track().tempo(0, 500000).tempo(780, 1000000).sysEx(1170, msg(1)).build(),
         {8124}},
    };
}

class FormulaTest : public testing::TestWithParam<SFormulaCase> {};

TEST_P(FormulaTest, SendTimes)
{
    EXPECT_EQ(sendTimesOf(GetParam().image), GetParam().sendTimes);
}

INSTANTIATE_TEST_SUITE_P(Schedule, FormulaTest, testing::ValuesIn(formulaCases()),
                         [](const auto& info) { return info.param.name; });

TEST(Schedule, MapReadFromLastEntryBack)
{
    const CFirmwareSchedule::TempoMap map{{0, 100}, {1, 100}, {1000, 60}};
    EXPECT_EQ(CFirmwareSchedule::sendTime({}, 480.0, 100000), 0u);
    EXPECT_EQ(CFirmwareSchedule::sendTime(map, 1000.0, 0), 0u);
    EXPECT_EQ(CFirmwareSchedule::sendTime(map, 1000.0, 1), 1u);   // 0.6 rounds up
    EXPECT_EQ(CFirmwareSchedule::sendTime(map, 1000.0, 1000), 600u); // round(599.4) + round(0.6)
    EXPECT_EQ(CFirmwareSchedule::sendTime(map, 1000.0, 1500), 1100u);
}

TEST(Schedule, CopiesMessagesAndTotals)
{
    const Bytes big = CSmfImageBuilder::message(700, 9);
    const Bytes image = CSmfImageBuilder(96)
                            .track()
                            .tempo(0, 1000000)
                            .sysEx(96, msg(1))
                            .track()
                            .noteOn(0, 64)
                            .sysEx(192, big)
                            .build();
    CFirmwareSchedule schedule;
    ASSERT_EQ(schedule.build(image.data(), static_cast<std::uint32_t>(image.size())),
              CFirmwareSchedule::EResult::kOk);
    ASSERT_EQ(schedule.messages().size(), 2u);
    EXPECT_EQ(schedule.messages()[0].bytes, msg(1));
    EXPECT_EQ(schedule.messages()[0].track, 0u);
    EXPECT_EQ(schedule.messages()[1].bytes, big);
    EXPECT_EQ(schedule.messages()[1].track, 1u);
    EXPECT_EQ(schedule.messages()[1].tick, 192u);
    EXPECT_EQ(schedule.division(), 96u);
    EXPECT_EQ(schedule.totalBytes(), 708u);
    EXPECT_EQ(schedule.duration(), 2000u);
}

struct SRefusalCase {
    std::string name;
    Bytes image;
    CFirmwareSchedule::EResult result;
    std::uint32_t badTick;
};

std::vector<SRefusalCase> refusalCases()
{
    Bytes noTrack = CSmfImageBuilder(480).build();
    return {
        {"NotAMidiFile", {'R', 'I', 'F', 'F', 0, 0, 0, 4, 'W', 'A', 'V', 'E', 0, 0}, CFirmwareSchedule::EResult::kUnparsable, 0},
        {"Empty", {}, CFirmwareSchedule::EResult::kUnparsable, 0},
        {"Truncated",
         [] {
             Bytes b = CSmfImageBuilder(480).track().sysEx(0, msg(1)).build();
             b.erase(b.end() - 6, b.end());
             return b;
         }(),
         CFirmwareSchedule::EResult::kUnparsable, 0},
        // The library refuses a header without tracks already; either way nothing goes out.
        {"NoTrack", noTrack, CFirmwareSchedule::EResult::kUnparsable, 0},
        {"ZeroTempo",
         CSmfImageBuilder(480).track().tempo(0, 500000).sysEx(10, msg(1)).tempo(96, 0).build(),
         CFirmwareSchedule::EResult::kBadTempo, 96},
        {"ShortTempo",
         CSmfImageBuilder(480).track().sysEx(0, msg(1)).meta(7, 0x51, {0x07, 0xA1}).build(),
         CFirmwareSchedule::EResult::kBadTempo, 7},
        {"EmptyTempo", CSmfImageBuilder(480).track().meta(300, 0x51, {}).build(),
         CFirmwareSchedule::EResult::kBadTempo, 300},
    };
}

class RefusalTest : public testing::TestWithParam<SRefusalCase> {};

TEST_P(RefusalTest, RefusedWithNothingScheduled)
{
    const SRefusalCase& c = GetParam();
    CFirmwareSchedule schedule;
    EXPECT_EQ(schedule.build(c.image.data(), static_cast<std::uint32_t>(c.image.size())), c.result);
    EXPECT_TRUE(schedule.messages().empty());
    EXPECT_EQ(schedule.badTempoTick(), c.badTick);
}

INSTANTIATE_TEST_SUITE_P(Schedule, RefusalTest, testing::ValuesIn(refusalCases()),
                         [](const auto& info) { return info.param.name; });

TEST(Schedule, BadTempoOutsideTrackZeroIsIgnoredAndNullImageRefused)
{
    const Bytes image = CSmfImageBuilder(480).track().sysEx(0, msg(1)).track().tempo(5, 0).build();
    EXPECT_EQ(sendTimesOf(image), std::vector<std::uint64_t>{0});

    CFirmwareSchedule schedule;
    EXPECT_EQ(schedule.build(nullptr, 100), CFirmwareSchedule::EResult::kUnparsable);
}

} // namespace
