// The transfer on the simulated clock, checked against what the virtual
// backend recorded: pacing, order, bytes, progress and failures.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <numeric>
#include <string>
#include <utility>
#include <vector>

#include "schedule/FirmwareSchedule.h"
#include "platform/base/Interrupt.h"
#include "QORMIDIManager_Mac.h"
#include "tests/support/CoreEnvironment.h"
#include "tests/support/ScheduledMessages.h"
#include "tests/support/SmfImageBuilder.h"
#include "ZAVController.h"

namespace {

using mirelo::midi::ControlledVirtualBackend;
using mirelo::test::Bytes;
using mirelo::test::CCoreEnvironment;
using mirelo::test::CSmfImageBuilder;

constexpr std::uint64_t kNsPerMs = 1'000'000;

struct SSent {
    std::uint64_t atNs; // after the start of the transfer
    Bytes bytes;
};

bool recordProgress(int percent, void* context)
{
    static_cast<std::vector<int>*>(context)->push_back(percent);
    return true;
}

class TransferTest : public testing::Test {
protected:
    void SetUp() override
    {
        m_env.backend().addDestination({"Capture", "Capture", "Capture"}, {}, ControlledVirtualBackend::Announce::No);
        CZAVController::initialize();
        ASSERT_NE(CQORMIDIManager::instance(), nullptr);
        ASSERT_EQ(CQORMIDIManager::instance()->openMidiOut(0), noErr);
    }

    bool run(const Bytes& image, CZAVController::ProgressProc progress = recordProgress)
    {
        m_start = m_env.clock().monotonicNanoseconds();
        return CZAVController::instance()->updateFirmware(image.data(), static_cast<std::uint32_t>(image.size()),
                                                          progress, &m_progress);
    }

    // Successful sends, each list's packets joined back into one message.
    std::vector<SSent> sent()
    {
        std::vector<SSent> out;
        for (const auto& list : m_env.backend().sentLists()) {
            if (list.status != noErr || list.packets.empty()) {
                continue;
            }
            SSent s{list.packets.front().timeStamp - m_start, {}};
            for (const auto& packet : list.packets) {
                s.bytes.insert(s.bytes.end(), packet.bytes.begin(), packet.bytes.end());
            }
            out.push_back(std::move(s));
        }
        return out;
    }

    // When each successful send left, in milliseconds after the start.
    std::vector<std::uint64_t> sentAtMs()
    {
        std::vector<std::uint64_t> out;
        for (const SSent& s : sent()) {
            out.push_back(s.atNs / kNsPerMs);
            EXPECT_EQ(s.atNs % kNsPerMs, 0u) << "a message left between two milliseconds";
        }
        return out;
    }

    static Bytes sameTickMessages(std::uint32_t count)
    {
        CSmfImageBuilder builder(480);
        builder.track();
        for (std::uint32_t i = 0; i < count; ++i) {
            builder.sysEx(0, CSmfImageBuilder::message(6, i));
        }
        return builder.build();
    }

    CCoreEnvironment m_env;
    std::vector<int> m_progress;
    std::uint64_t m_start = 0;
};

TEST_F(TransferTest, SendsEveryMessageUnchangedInFileOrderNoneEarlyNoneHeldBack)
{
    const Bytes longMessage = CSmfImageBuilder::message(600, 7); // several packets
    // bpm 120 at D=480: one tick is 1/960 s.
    const Bytes image = CSmfImageBuilder(480)
                            .track()
                            .tempo(0, 500000)
                            .sysEx(0, CSmfImageBuilder::message(5, 1))
                            .sysEx(960, longMessage)
                            .sysEx(960, CSmfImageBuilder::message(9, 2))
                            .noteOn(1000, 60)
                            .sysEx(1440, CSmfImageBuilder::message(5, 3))
                            .track()
                            .sysEx(480, CSmfImageBuilder::message(5, 4)) // due long before the last one sent
                            .sysEx(2400, CSmfImageBuilder::message(5, 5))
                            .build();
    CFirmwareSchedule schedule;
    ASSERT_EQ(schedule.build(image.data(), static_cast<std::uint32_t>(image.size())), CFirmwareSchedule::EResult::kOk);

    ASSERT_TRUE(run(image));

    const auto got = sent();
    const auto scheduled = mirelo::test::scheduledMessages(schedule);
    ASSERT_EQ(got.size(), scheduled.size());
    std::uint64_t latestDue = 0;
    for (std::size_t i = 0; i < got.size(); ++i) {
        const auto& expected = scheduled[i];
        latestDue = std::max(latestDue, expected.sendTime);
        EXPECT_EQ(got[i].bytes, expected.bytes) << "message " << i;
        // On time exactly when due after the previous one, else at once.
        EXPECT_EQ(got[i].atNs, latestDue * kNsPerMs) << "message " << i;
    }
    EXPECT_EQ(got[4].atNs, 1500 * kNsPerMs); // the earlier-due message of track 1 is not reordered
}

// A sender held up during a wait (stopped, suspended, starved) finds its
// message overdue. The file's spacing is kept from there: the rest of the
// schedule moves back by the lateness, unless it is a millisecond or less.
struct SStallCase {
    const char* name;
    std::vector<std::pair<std::size_t, std::uint64_t>> stalls; // (n-th sleep, from 1; how long it overran, ns)
    std::vector<std::uint64_t> sentAtUs;
    std::uint64_t heldUpMs;
};

class StallTest : public TransferTest, public testing::WithParamInterface<SStallCase> {};

TEST_P(StallTest, TheFilesSpacingIsKeptAfterTheSenderWasHeldUp)
{
    // One tick per millisecond: due at 10, 20, 30 and 60; track 1's message
    // is due at 25 but leaves after the one due at 60, in file order.
    const Bytes image = CSmfImageBuilder(1000)
                            .track()
                            .tempo(0, 1000000)
                            .sysEx(10, CSmfImageBuilder::message(4, 1))
                            .sysEx(20, CSmfImageBuilder::message(4, 2))
                            .sysEx(30, CSmfImageBuilder::message(4, 3))
                            .sysEx(60, CSmfImageBuilder::message(4, 4))
                            .track()
                            .sysEx(25, CSmfImageBuilder::message(4, 5))
                            .build();
    CFirmwareSchedule schedule;
    ASSERT_EQ(schedule.build(image.data(), static_cast<std::uint32_t>(image.size())), CFirmwareSchedule::EResult::kOk);
    std::size_t sleeps = 0;
    m_env.clock().setSleepHook([&](std::uint64_t) {
        ++sleeps;
        for (const auto& [at, overrun] : GetParam().stalls) {
            if (at == sleeps) {
                m_env.clock().advance(overrun);
            }
        }
    });
    std::atomic<std::uint64_t> heldUpMs{0};
    STransferControl control;
    control.heldUpMs = &heldUpMs;
    m_start = m_env.clock().monotonicNanoseconds();

    ASSERT_TRUE(CZAVController::instance()->updateFirmware(schedule, nullptr, nullptr, control));
    std::vector<std::uint64_t> sentAtUs;
    for (const SSent& s : sent()) {
        sentAtUs.push_back(s.atNs / 1000);
    }
    EXPECT_EQ(sentAtUs, GetParam().sentAtUs);
    EXPECT_EQ(heldUpMs.load(), GetParam().heldUpMs);
}

INSTANTIATE_TEST_SUITE_P(
    Transfer, StallTest,
    testing::Values(
        SStallCase{"OnTime", {}, {10'000, 20'000, 30'000, 60'000, 60'000}, 0},
        SStallCase{"HeldUpBeforeTheFirst", {{1, 15 * kNsPerMs}}, {25'000, 35'000, 45'000, 75'000, 75'000}, 15},
        SStallCase{"HeldUpBeforeTheThird", {{3, 15 * kNsPerMs}}, {10'000, 20'000, 45'000, 75'000, 75'000}, 15},
        SStallCase{
            "TwiceAddsUp", {{1, 15 * kNsPerMs}, {3, 5 * kNsPerMs}}, {25'000, 35'000, 50'000, 80'000, 80'000}, 20},
        SStallCase{"JustOverAMillisecond", {{1, 1'500'000}}, {11'500, 21'500, 31'500, 61'500, 61'500}, 1},
        // A wake-up's usual lateness moves nothing.
        SStallCase{"AMillisecondMovesNothing", {{1, kNsPerMs}}, {11'000, 20'000, 30'000, 60'000, 60'000}, 0}),
    [](const auto& row) { return std::string(row.param.name); });

// Division 1 at the slowest tempo: the second message is due in 2,723 years,
// past what 64-bit nanoseconds count. The wait sleeps an hour at a time and
// ends when the run is stopped.
TEST_F(TransferTest, AMessageDueInYearsIsWaitedForAnHourAtATime)
{
    CSmfImageBuilder builder(1);
    builder.track().tempo(0, 0xFFFFFF).sysEx(0, CSmfImageBuilder::message(4, 1));
    // A delta time holds at most 2^28 - 1 ticks: text events on the way.
    for (std::uint32_t i = 1; i <= 16; ++i) {
        builder.meta(i * 0x0FFFFFFFu, 0x01, {});
    }
    const Bytes image = builder.sysEx(0xFFFFFFFFu, CSmfImageBuilder::message(4, 2)).build();
    CFirmwareSchedule schedule;
    ASSERT_EQ(schedule.build(image.data(), static_cast<std::uint32_t>(image.size())), CFirmwareSchedule::EResult::kOk);
    ASSERT_EQ(schedule.duration(), 85'899'345'900'000u);
    mirelo::platform::Interrupt stop;
    m_env.clock().setSleepHook([&](std::uint64_t) {
        if (m_env.clock().sleeps().size() == 3) {
            stop.raise();
        }
    });
    STransferControl control;
    control.stop = &stop;

    EXPECT_FALSE(CZAVController::instance()->updateFirmware(schedule, nullptr, nullptr, control));
    constexpr std::uint64_t kHour = std::uint64_t{3600} * 1000 * kNsPerMs;
    EXPECT_EQ(m_env.clock().sleeps(), (std::vector<std::uint64_t>{kHour, kHour, kHour}));
    EXPECT_EQ(sent().size(), 1u);
}

TEST_F(TransferTest, SleepsTheWholeRemainderAtOnce)
{
    const Bytes image =
        CSmfImageBuilder(1000).track().tempo(0, 1000000).sysEx(2500, CSmfImageBuilder::message(4, 1)).build();
    ASSERT_TRUE(run(image));
    EXPECT_EQ(m_env.clock().sleeps(), std::vector<std::uint64_t>{2500 * kNsPerMs});
    EXPECT_EQ(sent().at(0).atNs, 2500 * kNsPerMs);
}

struct SEarlyWakeCase {
    const char* name;
    std::uint32_t count;
    std::uint32_t percent;
};

class EarlyWakeTest : public TransferTest, public testing::WithParamInterface<SEarlyWakeCase> {};

TEST_P(EarlyWakeTest, NoMessageLeavesBeforeItIsDue)
{
    const Bytes image = CSmfImageBuilder(1000)
                            .track()
                            .tempo(0, 1000000)
                            .sysEx(10, CSmfImageBuilder::message(4, 1))
                            .sysEx(11, CSmfImageBuilder::message(4, 2))
                            .sysEx(2500, CSmfImageBuilder::message(4, 3))
                            .build();
    m_env.clock().wakeEarly(GetParam().count, GetParam().percent);

    ASSERT_TRUE(run(image));
    EXPECT_EQ(sentAtMs(), (std::vector<std::uint64_t>{10, 11, 2500}));
    EXPECT_GT(m_env.clock().sleeps().size(), 3u);
}

INSTANTIATE_TEST_SUITE_P(Transfer, EarlyWakeTest,
                         testing::Values(SEarlyWakeCase{"SpuriousWakeUps", 5, 0}, SEarlyWakeCase{"HalfTheSpan", 6, 50},
                                         SEarlyWakeCase{"JustShort", 9, 99}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(TransferClock, StartInsideAMillisecondSleepsOnlyToTheDueMillisecond)
{
    // 0.3 ms into a millisecond: whole-millisecond sleeps from here would
    // land every message 0.3 ms late.
    constexpr std::uint64_t kStart = 5'000'000'000ULL + 300'000;
    CCoreEnvironment env(kStart);
    env.backend().addDestination({"Capture", "Capture", "Capture"}, {}, ControlledVirtualBackend::Announce::No);
    CZAVController::initialize();
    ASSERT_EQ(CQORMIDIManager::instance()->openMidiOut(0), noErr);
    const Bytes image = CSmfImageBuilder(1000)
                            .track()
                            .tempo(0, 1000000)
                            .sysEx(10, CSmfImageBuilder::message(4, 1))
                            .sysEx(2010, CSmfImageBuilder::message(4, 2))
                            .build();

    ASSERT_TRUE(CZAVController::instance()->updateFirmware(image.data(), static_cast<std::uint32_t>(image.size()),
                                                           nullptr, nullptr));

    EXPECT_EQ(env.clock().sleeps(), (std::vector<std::uint64_t>{9'700'000, 2000 * kNsPerMs}));
    const auto lists = env.backend().sentLists();
    ASSERT_EQ(lists.size(), 2u);
    EXPECT_EQ(lists[0].packets.at(0).timeStamp, (5000 + 10) * kNsPerMs);
    EXPECT_EQ(lists[1].packets.at(0).timeStamp, (5000 + 2010) * kNsPerMs);
}

TEST(TransferClock, SpanOverASecondBorrowsFromTheSeconds)
{
    CCoreEnvironment env(7'000'000'000ULL + 999'000);
    CZAVController::initialize(); // no destination: the schedule runs, nothing is sent
    const Bytes image =
        CSmfImageBuilder(1000).track().tempo(0, 1000000).sysEx(3000, CSmfImageBuilder::message(4, 1)).build();
    ASSERT_TRUE(CZAVController::instance()->updateFirmware(image.data(), static_cast<std::uint32_t>(image.size()),
                                                           nullptr, nullptr));
    EXPECT_EQ(env.clock().sleeps(), std::vector<std::uint64_t>{2'999'001'000});
    EXPECT_EQ(env.clock().monotonicNanoseconds(), 10'000'000'000ULL);
    EXPECT_EQ(env.backend().sendCount(), 0u);
}

struct SProgressCase {
    std::uint32_t messages;
    std::vector<int> reported;
};

std::vector<int> range(int first, int last)
{
    std::vector<int> v(static_cast<std::size_t>(last - first + 1));
    std::iota(v.begin(), v.end(), first);
    return v;
}

class ProgressTest : public TransferTest, public testing::WithParamInterface<SProgressCase> {};

TEST_P(ProgressTest, ReportsEachNewWholePercentAfterItsSend)
{
    ASSERT_TRUE(run(sameTickMessages(GetParam().messages)));
    EXPECT_EQ(sent().size(), GetParam().messages);
    EXPECT_EQ(m_progress, GetParam().reported);
    EXPECT_TRUE(std::adjacent_find(m_progress.begin(), m_progress.end(), std::greater_equal<>()) == m_progress.end());
}

INSTANTIATE_TEST_SUITE_P(Transfer, ProgressTest,
                         testing::Values(SProgressCase{1, {}}, SProgressCase{2, {50}}, SProgressCase{3, {33, 67}},
                                         SProgressCase{100, range(1, 99)}, SProgressCase{200, range(1, 100)}),
                         [](const auto& row) { return std::to_string(row.param.messages); });

TEST_F(TransferTest, NullProgressSendsTheSame)
{
    ASSERT_TRUE(run(sameTickMessages(5), nullptr));
    EXPECT_EQ(sent().size(), 5u);
    EXPECT_TRUE(m_progress.empty());
}

struct SFailureCase {
    std::size_t failingSend;
    std::vector<int> reported;
};

class SendFailureTest : public TransferTest, public testing::WithParamInterface<SFailureCase> {};

TEST_P(SendFailureTest, FirstFailedSendEndsTheTransfer)
{
    m_env.backend().failSend(GetParam().failingSend, kMIDIMessageSendErr);
    EXPECT_FALSE(run(sameTickMessages(4)));
    EXPECT_EQ(m_env.backend().sendCount(), GetParam().failingSend);
    EXPECT_EQ(sent().size(), GetParam().failingSend - 1);
    EXPECT_EQ(m_progress, GetParam().reported);
}

INSTANTIATE_TEST_SUITE_P(Transfer, SendFailureTest,
                         testing::Values(SFailureCase{1, {}}, SFailureCase{3, {25}}, SFailureCase{4, {25, 50}}),
                         [](const auto& row) { return "at" + std::to_string(row.param.failingSend); });

TEST_F(TransferTest, RefusedFilesSendNothingAndReportNothing)
{
    const std::vector<Bytes> refused = {
        {'n', 'o', 't', ' ', 'a', ' ', 'f', 'i', 'l', 'e'},
        CSmfImageBuilder(480).build(), // no track
        CSmfImageBuilder(480).track().sysEx(0, CSmfImageBuilder::message(4, 1)).tempo(10, 0).build(),
        CSmfImageBuilder(480).track().sysEx(0, CSmfImageBuilder::message(4, 1)).meta(10, 0x51, {1, 2}).build(),
    };
    for (const Bytes& image : refused) {
        EXPECT_FALSE(run(image));
    }
    EXPECT_FALSE(CZAVController::instance()->updateFirmware(nullptr, 0, recordProgress, &m_progress));
    EXPECT_EQ(m_env.backend().sendCount(), 0u);
    EXPECT_TRUE(m_progress.empty());
    EXPECT_TRUE(m_env.clock().sleeps().empty());
}

TEST_F(TransferTest, FileWithoutSysExIsRefusedAtOnce)
{
    EXPECT_FALSE(run(CSmfImageBuilder(480).track().tempo(0, 500000).noteOn(5000, 60).build()));
    EXPECT_EQ(m_env.backend().sendCount(), 0u);
    EXPECT_TRUE(m_progress.empty());
    EXPECT_TRUE(m_env.clock().sleeps().empty());
}

} // namespace
