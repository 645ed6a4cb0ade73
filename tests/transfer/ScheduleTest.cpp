// Send times, message copies and refusals of the schedule builder.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "schedule/FirmwareSchedule.h"
#include "schedule/MessageStream.h"
#include "tests/support/MalformedTrackBodies.h"
#include "tests/support/ScheduledMessages.h"
#include "tests/support/SmfImageBuilder.h"

namespace {

using mirelo::test::Bytes;
using mirelo::test::CSmfImageBuilder;
using mirelo::test::scheduledMessages;

Bytes msg(std::uint32_t seed)
{
    return CSmfImageBuilder::message(8, seed);
}

std::vector<std::uint64_t> sendTimesOf(const Bytes& image)
{
    CFirmwareSchedule schedule;
    EXPECT_EQ(schedule.build(image.data(), static_cast<std::uint32_t>(image.size())), CFirmwareSchedule::EResult::kOk);
    std::vector<std::uint64_t> times;
    for (const auto& message : schedule) {
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
        {"OneTempoAfterTheStart", CSmfImageBuilder(480).track().tempo(480, 250000).sysEx(960, msg(1)).build(), {750}},
        {"DefaultTempoBeforeTheFirstSetTempoNoneAtItsOwnTick",
         CSmfImageBuilder(480)
             .track()
             .sysEx(240, msg(1))
             .tempo(480, 250000)
             .sysEx(480, msg(2))
             .sysEx(960, msg(3))
             .build(),
         {250, 500, 750}},
        {"DefaultTempoWithoutAnySetTempo",
         CSmfImageBuilder(480).track().sysEx(0, msg(1)).sysEx(960, msg(2)).sysEx(1920, msg(3)).build(),
         {0, 1000, 2000}},
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
        // 25 frames of 40 ticks: a tick per millisecond, whatever the tempo says.
        {"SmpteDivisionCountsRealTime",
         CSmfImageBuilder(0xE728).track().tempo(0, 1000000).sysEx(1, msg(1)).tempo(50, 0).sysEx(59176, msg(2)).build(),
         {1, 59176}},
        {"SmpteRatesRoundToTheNearestMillisecond",
         CSmfImageBuilder(0xE303).track().sysEx(1, msg(1)).sysEx(90, msg(2)).track().sysEx(2997, msg(3)).build(),
         {11, 1001, 33333}},
        {"Smpte24And30FramesPerSecond",
         CSmfImageBuilder(0xE801).track().sysEx(3, msg(1)).sysEx(24, msg(2)).build(),
         {125, 1000}},
        {"TempoOutsideTrackZeroIgnored",
         CSmfImageBuilder(480)
             .track()
             .sysEx(0, msg(1))
             .noteOn(10, 60)
             .track()
             .tempo(0, 250000)
             .sysEx(960, msg(2))
             .build(),
         {0, 1000}},
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
         CSmfImageBuilder(96)
             .track()
             .tempo(0, 500000)
             .sysEx(780, msg(1))
             .sysEx(1548, msg(2))
             .sysEx(1572, msg(3))
             .build(),
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
                         [](const auto& row) { return row.param.name; });

TEST(Schedule, MapReadFromLastEntryBack)
{
    const CFirmwareSchedule::TempoMap map{{0, 100}, {1, 100}, {1000, 60}};
    EXPECT_EQ(CFirmwareSchedule::sendTime({}, 480.0, 100000), 0u);
    EXPECT_EQ(CFirmwareSchedule::sendTime(map, 1000.0, 0), 0u);
    EXPECT_EQ(CFirmwareSchedule::sendTime(map, 1000.0, 1), 1u);      // 0.6 rounds up
    EXPECT_EQ(CFirmwareSchedule::sendTime(map, 1000.0, 1000), 600u); // round(599.4) + round(0.6)
    EXPECT_EQ(CFirmwareSchedule::sendTime(map, 1000.0, 1500), 1100u);
}

// Built in one pass, a message's time is what the rule gives when it walks the
// whole tempo map back from the message's tick: tempo changes before, at and
// after messages, several at one tick, messages in track 0 among them and in
// later tracks.
TEST(Schedule, OnePassGivesTheTimesOfTheRule)
{
    std::mt19937 random(23);
    CSmfImageBuilder builder(96);
    builder.track();
    std::uint32_t tick = 0;
    for (int i = 0; i < 400; ++i) {
        tick += static_cast<std::uint32_t>(random() % 3 == 0 ? 0 : random() % 500);
        if (random() % 2 == 0) {
            builder.tempo(tick, 100'000 + static_cast<std::uint32_t>(random() % 2'000'000));
        } else {
            builder.sysEx(tick, msg(static_cast<std::uint32_t>(i)));
        }
    }
    for (int t = 0; t < 3; ++t) {
        builder.track();
        std::uint32_t at = 0;
        for (int i = 0; i < 100; ++i) {
            at += static_cast<std::uint32_t>(random() % 1500);
            builder.sysEx(at, msg(static_cast<std::uint32_t>(i)));
        }
    }
    const Bytes image = builder.build();
    CFirmwareSchedule schedule;
    ASSERT_EQ(schedule.build(image.data(), static_cast<std::uint32_t>(image.size())), CFirmwareSchedule::EResult::kOk);
    ASSERT_GT(schedule.tempoMap().size(), 150u);
    std::uint64_t latest = 0;
    for (const auto& m : schedule) {
        EXPECT_EQ(m.sendTime, CFirmwareSchedule::sendTime(schedule.tempoMap(), 96.0, m.tick)) << "tick " << m.tick;
        latest = std::max(latest, m.sendTime);
        EXPECT_EQ(m.leaveTime, latest);
    }
    EXPECT_EQ(schedule.duration(), latest);
}

// The record stream gives back every record as appended: steps up to 64
// bits, and messages up to the longest an event holds, across its blocks.
TEST(Schedule, MessageStreamReadsBackWhatWasAppended)
{
    struct SAppended {
        std::uint64_t tickStep;
        std::uint64_t millisecondStep;
        Bytes bytes;
    };
    std::mt19937_64 random(5);
    std::vector<SAppended> appended;
    CMessageStream stream;
    for (int i = 0; i < 3000; ++i) {
        const std::size_t size = i % 500 == 7 ? 65536 : random() % 800;
        SAppended a{random() >> (random() % 64), i == 1 ? UINT64_MAX : random() % 100'000, Bytes(size)};
        for (auto& b : a.bytes) {
            b = static_cast<std::uint8_t>(random());
        }
        stream.append(a.tickStep, a.millisecondStep, a.bytes);
        appended.push_back(std::move(a));
    }
    ASSERT_GT(stream.capacity(), 1u << 20) << "the records fill several blocks";
    CMessageStream::CReader reader(stream);
    for (std::size_t i = 0; i < appended.size(); ++i) {
        const CMessageStream::SRecord r = reader.next();
        ASSERT_EQ(r.tickStep, appended[i].tickStep) << i;
        ASSERT_EQ(r.millisecondStep, appended[i].millisecondStep) << i;
        ASSERT_EQ(Bytes(r.bytes.begin(), r.bytes.end()), appended[i].bytes) << i;
    }
}

TEST(Schedule, CopiesMessagesAndTotals)
{
    const Bytes big = CSmfImageBuilder::message(700, 9);
    const Bytes image =
        CSmfImageBuilder(96).track().tempo(0, 1000000).sysEx(96, msg(1)).track().noteOn(0, 64).sysEx(192, big).build();
    CFirmwareSchedule schedule;
    ASSERT_EQ(schedule.build(image.data(), static_cast<std::uint32_t>(image.size())), CFirmwareSchedule::EResult::kOk);
    const auto messages = scheduledMessages(schedule);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].bytes, msg(1));
    EXPECT_EQ(messages[0].track, 0u);
    EXPECT_EQ(messages[1].bytes, big);
    EXPECT_EQ(messages[1].track, 1u);
    EXPECT_EQ(messages[1].tick, 192u);
    EXPECT_EQ(schedule.division(), 96u);
    EXPECT_EQ(schedule.totalBytes(), 708u);
    EXPECT_EQ(schedule.duration(), 2000u);
}

using EProblem = SUpdateFileRefusal::EProblem;

struct SRefusalCase {
    std::string name;
    Bytes image;
    EProblem problem;
    std::string sentence; // the whole sentence, or a part of it after "..."
};

Bytes withTrackCount(Bytes image, std::uint8_t count)
{
    image[11] = count;
    return image;
}

Bytes appended(Bytes image, const Bytes& tail)
{
    image.insert(image.end(), tail.begin(), tail.end());
    return image;
}

std::vector<SRefusalCase> refusalCases()
{
    const Bytes lone = {0x00, 0x00, 0x00, 0x04, 0x00, 0xFF, 0x2F, 0x00};
    // Sixteen deltas of 2^28 - 1, then 0x10 more: the sum passes 2^32 - 1.
    CSmfImageBuilder overflow(480);
    overflow.track().sysEx(0, msg(1));
    for (std::uint32_t i = 1; i <= 16; ++i) {
        overflow.raw(i * 0x0FFFFFFFu, {0xC0, 0x01});
    }
    const Bytes wrapped = overflow.rawBytes({0x10, 0xC0, 0x02}).build();
    return {
        {"NotAMidiFile",
         {'R', 'I', 'F', 'F', 0, 0, 0, 4, 'W', 'A', 'V', 'E', 0, 0},
         EProblem::kHeader,
         "at byte 0: no \"MThd\" header: not a Standard MIDI File"},
        {"Empty", {}, EProblem::kHeader, "the file holds 0 bytes, too few for a Standard MIDI File header"},
        {"ChunkLengthPastTheEnd",
         [] {
             Bytes b = CSmfImageBuilder(480).track().sysEx(0, msg(1)).build();
             b.erase(b.end() - 6, b.end());
             return b;
         }(),
         EProblem::kChunk, "track 0 at byte 18: chunk length 14 runs past the end of the file (8 bytes left)"},
        {"NoTrackAnnounced", CSmfImageBuilder(480).build(), EProblem::kNoTrack,
         "at byte 10: the header announces no track"},
        {"FewerTrackChunksThanAnnounced", withTrackCount(CSmfImageBuilder(480).track().sysEx(0, msg(1)).build(), 2),
         EProblem::kMissingTrack, "track 1 at byte 36: the header announces 2 track chunks, the file holds 1"},
        {"MoreTrackChunksThanAnnounced",
         withTrackCount(CSmfImageBuilder(480).track().sysEx(0, msg(1)).track().sysEx(0, msg(2)).build(), 1),
         EProblem::kExtraTrack, "track 1 at byte 36: a track chunk beyond the 1 the header announces"},
        {"WrongChunkTag",
         [] {
             Bytes b = CSmfImageBuilder(480).track().sysEx(0, msg(1)).track().sysEx(0, msg(2)).build();
             b[36] = 'X';
             return b;
         }(),
         EProblem::kChunk, "track 1 at byte 36: chunk tag \"XTrk\" where track chunk 1 belongs"},
        {"FormatTwo", CSmfImageBuilder(480, 2).track().sysEx(0, msg(1)).build(), EProblem::kFormat,
         "at byte 8: format 2: an update is format 0 or 1"},
        {"NoSysEx", CSmfImageBuilder(480).track().tempo(0, 500000).noteOn(10, 60).build(), EProblem::kNoSysEx,
         "the file holds no SysEx message: there is nothing to send"},
        // 90 40 lost its velocity: the SysEx lead byte is taken in its place.
        {"ChannelMessageLostAByte",
         CSmfImageBuilder(480).track().raw(0, {0x90, 0x40}).rawBytes({0xF0, 0x01, 0xF7}).build(),
         EProblem::kChannelData,
         "track 0, event 0 at byte 25: channel message 0x90 holds 0xF0 where a data byte belongs"},
        {"EventsAfterEndOfTrack",
         CSmfImageBuilder(480).track().sysEx(0, msg(1)).meta(5, 0x2F, {}).sysEx(10, msg(2)).build(),
         EProblem::kAfterEndOfTrack,
         "track 0, event 2 at byte 36: 14 bytes of events follow End of Track inside its chunk"},
        {"LoneF0BeforeAMessage", CSmfImageBuilder(480).track().sysExEvent(0, 0xF0, {}).sysEx(10, msg(2)).build(),
         EProblem::kSysExStream,
         "track 0, event 1 at byte 26: a SysEx message starts before the one open since track 0, event 0 ended with 0xF7"},
        {"LoneF0AtTheEnd", CSmfImageBuilder(480).track().sysEx(0, msg(1)).sysExEvent(10, 0xF0, {}).build(),
         EProblem::kSysExStream, "track 0, event 1 at byte 33: SysEx message never ends with 0xF7"},
        {"MissingF7", CSmfImageBuilder(480).track().sysEx(0, msg(1)).track().sysExEvent(0, 0xF0, {0x01, 0x02}).build(),
         EProblem::kSysExStream, "track 1, event 0 at byte 45: SysEx message never ends with 0xF7"},
        {"StatusByteInsideSysEx",
         CSmfImageBuilder(480).track().tempo(0, 500000).sysEx(0, {0xF0, 0x7D, 0x01, 0x90, 0x02, 0xF7}).build(),
         EProblem::kSysExStream, "track 0, event 1 at byte 34: SysEx holds status byte 0x90"},
        {"ContinuationOutsideAMessage", CSmfImageBuilder(480).track().sysExEvent(0, 0xF7, {0x01, 0xF7}).build(),
         EProblem::kSysExStream,
         "track 0, event 0 at byte 25: SysEx byte 0x01 outside a message (a message starts with 0xF0)"},
        {"TickPastTheLast", wrapped, EProblem::kTickOverflow, "...: absolute tick 4,294,967,296 passes 4,294,967,295"},
        {"SmpteRateNotAFrameRate", CSmfImageBuilder(0xE528).track().sysEx(0, msg(1)).build(), EProblem::kDivision,
         "at byte 12: division 0xE528: -27 is not an SMPTE frame rate (-24, -25, -29, -30)"},
        {"SmpteWithoutTicks", CSmfImageBuilder(0xE700).track().sysEx(0, msg(1)).build(), EProblem::kDivision,
         "at byte 12: division 0xE700: SMPTE time with 0 ticks per frame"},
        {"ZeroTempo", CSmfImageBuilder(480).track().tempo(0, 500000).sysEx(10, msg(1)).tempo(96, 0).build(),
         EProblem::kTempo, "track 0, event 2 at byte 39: Set Tempo at tick 96 is zero"},
        {"ShortTempo", CSmfImageBuilder(480).track().sysEx(0, msg(1)).meta(7, 0x51, {0x07, 0xA1}).build(),
         EProblem::kTempo, "...: Set Tempo at tick 7 holds 2 bytes, not 3"},
        {"EmptyTempo", CSmfImageBuilder(480).track().meta(300, 0x51, {}).build(), EProblem::kTempo,
         "...: Set Tempo at tick 300 holds 0 bytes, not 3"},
        // The reader counts "MTrk" wherever it stands and refuses a length it cannot hold.
        {"TrackTagInsideSysExData",
         CSmfImageBuilder(480).track().sysEx(0, {0xF0, 'M', 'T', 'r', 'k', 0x7F, 0x7F, 0x7F, 0x7F, 0xF7}).build(),
         EProblem::kReaderRefused,
         "at byte 25: the bytes \"MTrk\" announce a length past the end of the file, which the reader refuses"},
        {"LonePadding", appended(CSmfImageBuilder(480).track().build(), lone), EProblem::kNoSysEx,
         "...nothing to send"},
        // An event that carries no byte would go out as a message of none.
        {"OnlyAnEmptySysExEvent", CSmfImageBuilder(480).track().sysExEvent(0, 0xF7, {}).build(), EProblem::kEmptySysEx,
         "track 0, event 0 at byte 23: empty SysEx event (0xF7 with length 0): it holds no byte to send"},
        {"EmptySysExEventAfterAMessage",
         CSmfImageBuilder(480).track().sysEx(0, msg(1)).sysExEvent(10, 0xF7, {}).build(), EProblem::kEmptySysEx,
         "track 0, event 1 at byte 33: empty SysEx event (0xF7 with length 0): it holds no byte to send"},
        {"EmptySysExEventInsideASplitMessage",
         CSmfImageBuilder(480)
             .track()
             .sysExEvent(0, 0xF0, {0x7D})
             .sysExEvent(5, 0xF7, {})
             .sysExEvent(10, 0xF7, {0x01, 0xF7})
             .build(),
         EProblem::kEmptySysEx,
         "track 0, event 1 at byte 27: empty SysEx event (0xF7 with length 0): it holds no byte to send"},
    };
}

class RefusalTest : public testing::TestWithParam<SRefusalCase> {};

TEST_P(RefusalTest, RefusedWithTheReasonAndThePlace)
{
    const SRefusalCase& c = GetParam();
    CFirmwareSchedule schedule;
    ASSERT_EQ(schedule.build(c.image.data(), static_cast<std::uint32_t>(c.image.size())),
              CFirmwareSchedule::EResult::kRefused);
    EXPECT_TRUE(schedule.empty());
    ASSERT_TRUE(schedule.refusal());
    EXPECT_EQ(schedule.refusal()->problem, c.problem);
    const std::string sentence = schedule.refusal()->sentence();
    if (c.sentence.rfind("...", 0) == 0) {
        EXPECT_NE(sentence.find(c.sentence.substr(3)), std::string::npos) << sentence;
    } else {
        EXPECT_EQ(sentence, c.sentence);
    }
}

INSTANTIATE_TEST_SUITE_P(Schedule, RefusalTest, testing::ValuesIn(refusalCases()),
                         [](const auto& row) { return row.param.name; });

// The reader's own refusals, each named with the byte it stopped at.
TEST(Schedule, EveryBodyTheReaderRefusesIsNamedAtItsByte)
{
    constexpr std::uint32_t kBodyStart = 22;
    for (const auto& c : mirelo::test::malformedTrackBodies()) {
        SCOPED_TRACE(c.name);
        Bytes image = withTrackCount(CSmfImageBuilder(480, 0).build(), 1);
        image.insert(image.end(), {'M', 'T', 'r', 'k'});
        for (int shift = 24; shift >= 0; shift -= 8) {
            image.push_back(static_cast<std::uint8_t>(c.body.size() >> shift));
        }
        image.insert(image.end(), c.body.begin(), c.body.end());
        const auto refusal = CUpdateFileVerifier::verify(image.data(), image.size());
        ASSERT_TRUE(refusal);
        EXPECT_EQ(refusal->problem, EProblem::kEvent);
        EXPECT_EQ(refusal->track, 0u);
        EXPECT_EQ(refusal->offset, kBodyStart + c.offset);
        EXPECT_NE(refusal->what.find(c.diagnosis), std::string::npos) << refusal->what;
    }
}

TEST(Schedule, WholeMessagesSplitOverEventsAndPaddingAreAccepted)
{
    Bytes image = CSmfImageBuilder(480)
                      .track()
                      .sysExEvent(0, 0xF0, {0x7D, 0x01})
                      .noteOn(5, 60)
                      .sysExEvent(10, 0xF7, {0x02, 0xF7})
                      .sysExEvent(20, 0xF7, {0xF0, 0x7D, 0xF7})
                      .build();
    // An unknown chunk after the tracks, then bytes that form no chunk.
    image = appended(image, {'X', 'F', 'I', 'H', 0, 0, 0, 1, 0x00, 0x00, 0x00, 0x00});
    CFirmwareSchedule schedule;
    ASSERT_EQ(schedule.build(image.data(), static_cast<std::uint32_t>(image.size())), CFirmwareSchedule::EResult::kOk)
        << schedule.refusal()->sentence();
    const auto messages = scheduledMessages(schedule);
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0].bytes, (Bytes{0xF0, 0x7D, 0x01}));
    EXPECT_EQ(messages[1].bytes, (Bytes{0x02, 0xF7}));
    EXPECT_EQ(messages[2].bytes, (Bytes{0xF0, 0x7D, 0xF7}));
}

TEST(Schedule, MessagesLeaveInFileOrderSoAnEarlierDueOneWaits)
{
    const Bytes image = CSmfImageBuilder(500)
                            .track()
                            .tempo(0, 500000)
                            .sysEx(900, msg(1))
                            .track()
                            .sysEx(300, msg(2))
                            .sysEx(1000, msg(3))
                            .build();
    CFirmwareSchedule schedule;
    ASSERT_EQ(schedule.build(image.data(), static_cast<std::uint32_t>(image.size())), CFirmwareSchedule::EResult::kOk);
    std::vector<std::uint64_t> leave;
    for (const auto& m : schedule) {
        leave.push_back(m.leaveTime);
    }
    EXPECT_EQ(leave, (std::vector<std::uint64_t>{900, 900, 1000}));
    EXPECT_EQ(schedule.lateByOrder(), 1u);
    EXPECT_EQ(schedule.duration(), 1000u);
}

TEST(Schedule, BadTempoOutsideTrackZeroIsIgnoredAndNullImageRefused)
{
    const Bytes image = CSmfImageBuilder(480).track().sysEx(0, msg(1)).track().tempo(5, 0).build();
    EXPECT_EQ(sendTimesOf(image), std::vector<std::uint64_t>{0});

    CFirmwareSchedule schedule;
    EXPECT_EQ(schedule.build(nullptr, 100), CFirmwareSchedule::EResult::kRefused);
}

} // namespace
