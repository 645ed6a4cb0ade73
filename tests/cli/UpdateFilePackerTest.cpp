#include "cli/UpdateFilePacker.h"

#include "schedule/FirmwareSchedule.h"
#include "tests/support/ScheduledMessages.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <random>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// The transfer's own conversion for a file whose one tempo (120 bpm) is at tick 0.
std::uint64_t transferTime(std::uint32_t tick, std::uint16_t division)
{
    const CFirmwareSchedule::TempoMap map = {{0, 120}};
    return CFirmwareSchedule::sendTime(map, division, tick);
}

// The messages as pack reads them: one run, one after the other.
struct SRun {
    explicit SRun(const std::vector<Bytes>& messages) : count(messages.size())
    {
        for (const Bytes& m : messages) {
            bytes.insert(bytes.end(), m.begin(), m.end());
        }
    }
    CSysExRun view() const { return CSysExRun(bytes, count); }

    Bytes bytes;
    std::size_t count;
};

std::vector<Bytes> someMessages(std::size_t count)
{
    std::vector<Bytes> messages;
    for (std::size_t i = 0; i < count; ++i) {
        messages.push_back({0xF0, 0x7D, static_cast<std::uint8_t>(i & 0x7F), static_cast<std::uint8_t>(i >> 7), 0xF7});
    }
    return messages;
}

TEST(UpdateFilePacker, EveryMillisecondMapsBackExactly)
{
    std::mt19937 random(11);
    for (const std::uint16_t division : std::initializer_list<std::uint16_t>{500, 1000, 1920, 32767}) {
        std::vector<std::uint64_t> times;
        for (std::uint64_t ms = 0; ms <= 100000; ++ms) {
            times.push_back(ms);
        }
        // Far out too, up to what a track can hold.
        const std::uint64_t farthest = static_cast<std::uint64_t>(CUpdateFilePacker::kMaxTick) * 500 / division;
        for (int i = 0; i < 20000; ++i) {
            times.push_back(random() % farthest);
        }
        for (const std::uint64_t ms : times) {
            const auto tick = CUpdateFilePacker::tickForMilliseconds(ms, division);
            ASSERT_TRUE(tick.has_value()) << "division " << division << ", " << ms << " ms";
            ASSERT_EQ(transferTime(*tick, division), ms) << "division " << division << ", tick " << *tick;
        }
    }
}

TEST(UpdateFilePacker, ADivisionBelow500ExpressesOnlySomeTimes)
{
    std::size_t refused = 0;
    for (std::uint64_t ms = 0; ms <= 5000; ++ms) {
        const auto tick = CUpdateFilePacker::tickForMilliseconds(ms, 480);
        if (tick) {
            EXPECT_EQ(transferTime(*tick, 480), ms);
        } else {
            ++refused;
        }
    }
    EXPECT_GT(refused, 0u);
}

struct SPacing {
    std::uint32_t intervalMs;
    std::uint32_t firstDelayMs;
    std::uint16_t division;
    std::size_t count;
};

TEST(UpdateFilePacker, TheScheduleOfThePackedFileIsTheOneAskedFor)
{
    const std::vector<SPacing> cases = {
        {60, 500, 500, 242}, {1, 0, 500, 50},  {0, 0, 500, 3},    {7, 3, 1000, 40},
        {25, 10, 960, 30},   {5, 2, 32767, 9}, {1000, 0, 500, 1}, {3600000, 0, 500, 4},
    };
    for (const auto& c : cases) {
        CUpdateFilePacker::SOptions options;
        options.intervalMs = c.intervalMs;
        options.firstDelayMs = c.firstDelayMs;
        options.division = c.division;
        const std::vector<Bytes> messages = someMessages(c.count);
        Bytes image;
        CUpdateFilePacker packer;
        ASSERT_TRUE(packer.pack(SRun(messages).view(), options, image)) << packer.error();

        CFirmwareSchedule schedule;
        ASSERT_EQ(schedule.build(image.data(), static_cast<std::uint32_t>(image.size())),
                  CFirmwareSchedule::EResult::kOk);
        EXPECT_EQ(schedule.division(), c.division);
        ASSERT_EQ(schedule.tempoMap().size(), 1u);
        EXPECT_EQ(schedule.tempoMap()[0].tick, 0u);
        EXPECT_EQ(schedule.tempoMap()[0].bpm, 120u);
        const auto scheduled = mirelo::test::scheduledMessages(schedule);
        ASSERT_EQ(scheduled.size(), c.count);
        for (std::size_t i = 0; i < c.count; ++i) {
            EXPECT_EQ(scheduled[i].sendTime, c.firstDelayMs + i * std::uint64_t{c.intervalMs})
                << "interval " << c.intervalMs << ", division " << c.division << ", message " << i;
            EXPECT_EQ(scheduled[i].bytes, messages[i]);
            EXPECT_EQ(scheduled[i].track, 1u);
        }
    }
}

TEST(UpdateFilePacker, RefusesWhatCannotBePackedFaithfully)
{
    CUpdateFilePacker packer;
    Bytes image;
    CUpdateFilePacker::SOptions options;
    EXPECT_FALSE(packer.pack(CSysExRun(), options, image));
    EXPECT_NE(packer.error().find("no SysEx message"), std::string::npos);

    // At 480 ticks per quarter 12 ms has no tick of its own.
    options.division = 480;
    options.intervalMs = 1;
    EXPECT_FALSE(packer.pack(SRun(someMessages(20)).view(), options, image));
    EXPECT_NE(packer.error().find("message 13 is due at 12 ms"), std::string::npos) << packer.error();
    EXPECT_TRUE(image.empty());

    // Beyond what one delta time can reach: the largest tick is named, not the division.
    options = {};
    options.firstDelayMs = CUpdateFilePacker::kMaxTick;
    EXPECT_FALSE(packer.pack(SRun(someMessages(2)).view(), options, image));
    EXPECT_NE(packer.error().find("message 2 is due at 268435515 ms, later than the largest tick an update file made "
                                  "by pack can hold: tick 268435455, 268435455 ms at division 500"),
              std::string::npos)
        << packer.error();
}

TEST(UpdateFilePacker, RefusesDataThatTheReaderWouldTakeForATrackChunk)
{
    // "MTrk" followed by a length beyond the image makes the whole file unreadable.
    const std::vector<Bytes> messages = {{0xF0, 'M', 'T', 'r', 'k', 0x7F, 0x7F, 0x7F, 0x7F, 0xF7}};
    CUpdateFilePacker packer;
    Bytes image;
    EXPECT_FALSE(packer.pack(SRun(messages).view(), {}, image));
    EXPECT_NE(packer.error().find("does not read back as an update file: at byte "), std::string::npos)
        << packer.error();
}

} // namespace
