// Asking an instrument on the virtual backend who it is, through the manager,
// on the simulated clock: what it sends back decides the answer, and nothing
// else it sends is taken for one. Each sleep of the wait first lets the
// receive thread deliver what the instrument sent, so the order is fixed.

#include "instrument/IdentityInquiry.h"
#include "tests/support/ScopedRecordFolder.h"
#include "tests/support/SmfImageBuilder.h"
#include "schedule/FirmwareSchedule.h"
#include "update/UpdateRun.h"
#include "ZAVController.h"
#include "platform/base/Clock.h"
#include "platform/base/EventLoop.h"
#include "platform/base/Interrupt.h"
#include "platform/base/PlainEventLoop.h"
#include "testing/SimulatedClock.h"
#include "testing/ControlledVirtualBackend.h"
#include "QORMIDIManager_Mac.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>

namespace {

using Bytes = std::vector<Byte>;
using Announce = mirelo::midi::ControlledVirtualBackend::Announce;
using EOutcome = SIdentityAnswer::EOutcome;

constexpr std::uint64_t kSecond = 1'000'000'000;
constexpr const char* kName = "Test Instrument MIDI 1";

Bytes reply(Byte deviceId, Byte major, Byte minor)
{
    return {0xF0, 0x7E, deviceId, 0x06, 0x02, 0x7D, 0x4D, 0x00, 0x01, 0x00, major, minor, 0x00, 0x00, 0xF7};
}

class IdentityInquiry : public ::testing::Test {
protected:
    // What the instrument sends back for the bytes it received.
    using Answer = std::function<std::vector<Bytes>(const Bytes& received)>;

    void SetUp() override
    {
        mirelo::midi::setActiveBackend(&m_backend);
        mirelo::platform::setMainLoop(&m_loop);
        mirelo::platform::setClock(&m_clock);
        m_clock.setSleepHook([this](std::uint64_t) {
            m_backend.waitForIncoming();
            if (m_onSleep) {
                m_onSleep(m_clock.monotonicNanoseconds() - m_start);
            }
        });
        CQORMIDIManager::initialize(nullptr, nullptr);
    }
    void TearDown() override
    {
        CQORMIDIManager::terminate();
        m_clock.setSleepHook({});
        mirelo::platform::setClock(nullptr);
        mirelo::platform::setMainLoop(nullptr);
        mirelo::midi::setActiveBackend(nullptr);
    }

    // A hardware instrument: its destination hands what it receives to
    // `answer`, and what that gives goes back on its source.
    void plugIn(Answer answer)
    {
        const mirelo::midi::VirtualEndpointProperties properties{"Test Instrument", kName, kName, true};
        const MIDIEndpointRef source = m_backend.addSource(properties, Announce::No);
        m_source = source;
        m_destination = m_backend.addDestination(
            properties,
            [this, source, answer](MIDIEndpointRef, const MIDIPacketList& list) {
                const std::vector<Bytes> packets = answer(mirelo::midi::allBytes(list));
                if (!packets.empty()) {
                    ASSERT_TRUE(m_backend.injectIncoming(source, packets));
                }
            },
            Announce::No);
    }
    void unplug()
    {
        m_backend.removeEndpoint(m_source, Announce::No);
        m_backend.removeEndpoint(m_destination, Announce::No);
    }
    CQORMIDIManager& manager() { return *CQORMIDIManager::instance(); }

    mirelo::midi::ControlledVirtualBackend m_backend;
    mirelo::platform::PlainEventLoop m_loop;
    mirelo::platform::SimulatedClock m_clock;
    std::uint64_t m_start = m_clock.monotonicNanoseconds();
    std::function<void(std::uint64_t sinceStart)> m_onSleep;
    MIDIEndpointRef m_source = 0;
    MIDIEndpointRef m_destination = 0;
};

struct SRow {
    const char* what;
    Byte deviceId;            // asked
    bool echo;                // the request comes back first
    std::vector<Bytes> after; // then these packets
    EOutcome outcome;
    Byte answeredBy;    // the answer's device ID, when answered
    std::size_t others; // messages heard that were not the answer
};

TEST_F(IdentityInquiry, TakesOnlyTheAnswerFromWhatComesBack)
{
    Bytes shorter = reply(0, 1, 0);
    shorter.erase(shorter.end() - 2);
    std::vector<Bytes> flood(2000, Bytes{0xF0, 0x01, 0x02, 0xF7});
    flood.push_back({0x90, 0x3C, 0x40, 0xF8, 0xF7});
    flood.push_back(reply(0, 1, 0));
    const Bytes whole = reply(0, 1, 0);
    const std::vector<SRow> rows = {
        {"an instrument answers", 0x7F, false, {reply(0, 1, 0)}, EOutcome::kAnswered, 0, 0},
        {"silence for the whole second", 0x7F, false, {}, EOutcome::kNoAnswer, 0, 0},
        {"a loop-back sends our request back", 0x7F, true, {}, EOutcome::kNoAnswer, 0, 1},
        {"a reply of the wrong length", 0x7F, false, {shorter}, EOutcome::kNoAnswer, 0, 1},
        {"a flood of other input, then the answer", 0x7F, false, flood, EOutcome::kAnswered, 0, 2000},
        {"a loop-back with an instrument behind it", 0x7F, true, {reply(0, 1, 0)}, EOutcome::kAnswered, 0, 1},
        {"the answer cut into packets",
         0x7F,
         false,
         {Bytes(whole.begin(), whole.begin() + 3), Bytes(whole.begin() + 3, whole.begin() + 9),
          Bytes(whole.begin() + 9, whole.end())},
         EOutcome::kAnswered,
         0,
         0},
        {"asked by device ID, another device's answer is not taken",
         0x10,
         false,
         {reply(0x05, 2, 0), reply(0x10, 1, 0)},
         EOutcome::kAnswered,
         0x10,
         1},
    };
    const SRow* current = nullptr;
    plugIn([&current](const Bytes& received) {
        std::vector<Bytes> packets;
        if (current->echo) {
            packets.push_back(received);
        }
        packets.insert(packets.end(), current->after.begin(), current->after.end());
        return packets;
    });
    for (const SRow& row : rows) {
        current = &row;
        m_backend.clearSent();
        ASSERT_EQ(manager().openMidiOut(0), noErr);
        const std::uint64_t before = m_clock.monotonicNanoseconds();
        const SIdentityAnswer answer = CIdentityInquiry::ask(manager(), 0, {row.deviceId});
        EXPECT_EQ(answer.outcome, row.outcome) << row.what;
        EXPECT_EQ(answer.otherMessages, row.others) << row.what;
        EXPECT_EQ(answer.heardOwnRequest, row.echo) << row.what;
        if (row.outcome == EOutcome::kAnswered) {
            ASSERT_TRUE(answer.identity) << row.what;
            EXPECT_EQ(answer.identity->deviceId, row.answeredBy) << row.what;
            EXPECT_EQ(answer.identity->versionText(), "1.0") << row.what;
        } else {
            EXPECT_EQ(m_clock.monotonicNanoseconds() - before, kSecond) << row.what << ": waits one second";
        }
        EXPECT_FALSE(manager().isOpenedMidiIn()) << row.what << ": the input is closed again";
        const std::vector<mirelo::midi::SentPacketList> sent = m_backend.sentLists();
        ASSERT_EQ(sent.size(), 1u) << row.what;
        EXPECT_EQ(sent[0].packets.at(0).bytes, (Bytes{0xF0, 0x7E, row.deviceId, 0x06, 0x01, 0xF7})) << row.what;
    }
}

TEST_F(IdentityInquiry, SaysWhatStoppedTheQuestion)
{
    plugIn([](const Bytes&) { return std::vector<Bytes>{reply(0, 1, 0)}; });
    ASSERT_EQ(manager().openMidiOut(0), noErr);
    SIdentityAnswer answer = CIdentityInquiry::ask(manager(), 3);
    EXPECT_EQ(answer.outcome, EOutcome::kInputFailed);
    EXPECT_NE(answer.status, noErr);
    EXPECT_FALSE(manager().isOpenedMidiIn());

    m_backend.failSend(1, kMIDIMessageSendErr);
    answer = CIdentityInquiry::ask(manager(), 0);
    EXPECT_EQ(answer.outcome, EOutcome::kRequestFailed);
    EXPECT_EQ(answer.status, kMIDIMessageSendErr);

    mirelo::platform::Interrupt stop;
    stop.raise();
    m_backend.clearSent();
    static_cast<void>(CIdentityInquiry::askUntil(manager(), kName, CIdentityInquiry::kRestartWait, {},
                                                 {0x7F, CIdentityInquiry::kAnswerWait, &stop}));
    EXPECT_TRUE(m_backend.sentLists().empty()) << "a stop asks nothing more";
}

// After an update the instrument may restart: it goes away and comes back
// under another index. askUntil follows it by name for up to 30 s.
TEST_F(IdentityInquiry, FollowsAnInstrumentThroughARestart)
{
    struct SScenario {
        const char* what;
        std::optional<std::uint64_t> goneAt; // seconds after the start
        std::optional<std::uint64_t> backAt;
        Byte minorAfter;
        EOutcome outcome;
        std::string version;
        std::uint64_t atLeast, atMost; // seconds the asking took
    };
    const std::vector<SScenario> scenarios = {
        {"restarts and runs the new firmware", 2, 6, 1, EOutcome::kAnswered, "1.1", 6, 8},
        {"keeps answering with the old firmware", std::nullopt, std::nullopt, 0, EOutcome::kAnswered, "1.0", 30, 30},
        {"goes away for good", 2, std::nullopt, 0, EOutcome::kGone, "", 30, 30},
        {"comes back still running the old firmware", 2, 6, 0, EOutcome::kAnswered, "1.0", 30, 30},
    };
    for (const SScenario& s : scenarios) {
        CQORMIDIManager::initialize(nullptr, nullptr);
        const auto answering = [](Byte minor) {
            return [minor](const Bytes&) { return std::vector<Bytes>{reply(0, 1, minor)}; };
        };
        plugIn(answering(0));
        bool gone = false;
        bool back = false;
        m_start = m_clock.monotonicNanoseconds();
        m_onSleep = [&](std::uint64_t since) {
            if (s.goneAt && !gone && since >= *s.goneAt * kSecond) {
                unplug();
                gone = true;
            }
            if (s.backAt && gone && !back && since >= *s.backAt * kSecond) {
                // Another device came meanwhile: the instrument's index is not what it was.
                m_backend.addDestination({"Other", "Other", "Other", true}, {}, Announce::No);
                plugIn(answering(s.minorAfter));
                back = true;
            }
        };
        const SIdentityAnswer answer =
            CIdentityInquiry::askUntil(manager(), kName, CIdentityInquiry::kRestartWait, [](const SIdentityAnswer& a) {
                return a.identity && a.identity->versionText() == "1.1";
            });
        const std::uint64_t took = m_clock.monotonicNanoseconds() - m_start;
        m_onSleep = {};
        EXPECT_EQ(answer.outcome, s.outcome) << s.what;
        EXPECT_EQ(answer.identity ? answer.identity->versionText() : "", s.version) << s.what;
        EXPECT_GE(took, s.atLeast * kSecond) << s.what;
        EXPECT_LE(took, s.atMost * kSecond) << s.what;
        if (answer.outcome == EOutcome::kAnswered) {
            EXPECT_TRUE(manager().isOpenedMidiOut()) << s.what << ": the output is left on the instrument";
        }
        CQORMIDIManager::terminate();
        for (ItemCount i = m_backend.numberOfDestinations(); i > 0; --i) {
            m_backend.removeEndpoint(m_backend.destination(i - 1), Announce::No);
        }
        for (ItemCount i = m_backend.numberOfSources(); i > 0; --i) {
            m_backend.removeEndpoint(m_backend.source(i - 1), Announce::No);
        }
    }
}

// An update run asks the instrument once before its first message and, after
// its last, until the instrument answers with the version the update carries
// (or another than before, when it carries none) or 30 s have passed; never
// between the two. Whatever the end, the run keeps its record, in the words
// the front ends use.
TEST_F(IdentityInquiry, AnUpdateRunAsksBeforeTheFirstMessageAndAfterTheLast)
{
    enum class EInstrument {
        kRestartsWithTheNewVersion, // away for 2 s after the last message, back with 1.1
        kKeepsTheOldVersion,
        kSilent,
        kLoopsBack,
        kFallsSilent, // answers before the update, never after
        kVanishes,    // goes away after the last message for good
        kHasNoSource,
    };
    using EVerdict = SIdentityCheck::EVerdict;
    struct SRunRow {
        const char* what;
        EInstrument instrument;
        bool carriesVersion;
        std::size_t failingMessage;             // 1-based update message whose send fails; 0: none
        std::optional<std::uint64_t> stopAfter; // seconds after the last message
        EVerdict verdict;
        const char* result;
        bool askedAfter;
        const char* words; // the record's words hold this
    };
    const std::vector<SRunRow> rows = {
        {"takes the update and restarts", EInstrument::kRestartsWithTheNewVersion, true, 0, std::nullopt,
         EVerdict::kTook, "completed", true,
         "; instrument: firmware 1.0 \u2192 1.1; the instrument reports 1.1, the version this update carries"},
        {"keeps the old firmware", EInstrument::kKeepsTheOldVersion, true, 0, std::nullopt, EVerdict::kDidNotTake,
         "did not take", true,
         "; instrument: firmware 1.0 \u2192 1.0; the instrument still reports 1.0: the update did "
         "not take"},
        {"changes firmware, the update carries no version", EInstrument::kRestartsWithTheNewVersion, false, 0,
         std::nullopt, EVerdict::kNoVersion, "completed", true,
         "to \"Test Instrument MIDI 1\"; instrument: firmware "
         "1.0 \u2192 1.1"},
        {"never answers", EInstrument::kSilent, true, 0, std::nullopt, EVerdict::kUnanswered, "completed", false,
         "; the instrument did not say which firmware it runs (many instruments do not)"},
        {"loops our request back", EInstrument::kLoopsBack, true, 0, std::nullopt, EVerdict::kUnanswered, "completed",
         false, "\"Test Instrument MIDI 1\" sent our identity request back"},
        {"falls silent after the update", EInstrument::kFallsSilent, true, 0, std::nullopt, EVerdict::kSilentAfter,
         "completed", true, "reported firmware 1.0 before the update and did not answer within 30.0 s after it"},
        {"goes away after the update", EInstrument::kVanishes, true, 0, std::nullopt, EVerdict::kGoneAfter, "completed",
         true, "went away after the update and did not come back within 30.0 s"},
        {"has no source of its own", EInstrument::kHasNoSource, true, 0, std::nullopt, EVerdict::kNoInput, "completed",
         false, "has no MIDI source of its own to answer on"},
        {"a send fails part-way", EInstrument::kKeepsTheOldVersion, true, 2, std::nullopt, EVerdict::kIncomplete,
         "failed", false, "send failed at message 2 of 4"},
        {"stopped while it is waited for", EInstrument::kKeepsTheOldVersion, true, 0, 5, EVerdict::kStopped,
         "completed", true, "interrupted while waiting for the instrument to answer after the update"},
    };
    const Bytes header = {0xF0, 0x7D, 0x4D, 0x01, 0x01, 0x01, 0x00, 0x03, 0x00, 0x10,
                          0x00, 0x00, 0x00, 0x30, 0x00, 0x00, 0x00, 0x00, 0xF7};
    const auto isRequest = [](const Bytes& b) { return CDeviceInquiry::isRequest(b.data(), b.size()); };
    const std::filesystem::path state =
        std::filesystem::temp_directory_path() / ("mirelo-identity-run-" + std::to_string(::getpid()));
    for (const SRunRow& row : rows) {
        SCOPED_TRACE(row.what);
        const mirelo::test::CScopedRecordFolder record(state);
        mirelo::test::CSmfImageBuilder builder(500, 0);
        builder.track().tempo(0, 500'000).sysEx(0, row.carriesVersion ? header : Bytes{0xF0, 0x7D, 0x01, 0xF7});
        for (std::uint32_t i = 1; i < 4; ++i) {
            builder.sysEx(i * 10, mirelo::test::CSmfImageBuilder::message(40, i));
        }
        const Bytes image = builder.build();
        CFirmwareSchedule schedule;
        ASSERT_EQ(schedule.build(image.data(), static_cast<std::uint32_t>(image.size())),
                  CFirmwareSchedule::EResult::kOk);

        CZAVController::initialize();
        CUpdateRun run;
        // What reached the instrument, in order: 'R' a request, 'U' an update message.
        std::string heard;
        std::optional<std::uint64_t> updatedAt; // since the start, when the last message arrived
        Byte minor = 0;
        bool away = false;
        const auto answer = [&](const Bytes& received) -> std::vector<Bytes> {
            heard += isRequest(received) ? 'R' : 'U';
            if (!isRequest(received)) {
                if (std::count(heard.begin(), heard.end(), 'U') == 4) {
                    updatedAt = m_clock.monotonicNanoseconds() - m_start;
                }
                return {};
            }
            switch (row.instrument) {
            case EInstrument::kSilent:
            case EInstrument::kHasNoSource:
                return {};
            case EInstrument::kLoopsBack:
                return {received};
            case EInstrument::kFallsSilent:
                return updatedAt ? std::vector<Bytes>{} : std::vector<Bytes>{reply(0, 1, 0)};
            default:
                return {reply(0, 1, minor)};
            }
        };
        const mirelo::midi::VirtualEndpointProperties properties{"Test Instrument", kName, kName, true};
        const auto plugInstrument = [&] {
            if (row.instrument == EInstrument::kHasNoSource) {
                m_destination = m_backend.addDestination(
                    properties,
                    [&](MIDIEndpointRef, const MIDIPacketList& list) { answer(mirelo::midi::allBytes(list)); },
                    Announce::No);
            } else {
                plugIn(answer);
            }
        };
        plugInstrument();
        m_start = m_clock.monotonicNanoseconds();
        m_onSleep = [&](std::uint64_t since) {
            if (!updatedAt) {
                return;
            }
            const std::uint64_t after = since - *updatedAt;
            const bool restarts = row.instrument == EInstrument::kRestartsWithTheNewVersion;
            if (!away && (restarts || row.instrument == EInstrument::kVanishes)) {
                unplug();
                away = true;
            } else if (away && restarts && after >= 2 * kSecond) {
                minor = 1;
                plugInstrument();
                away = false;
            }
            if (row.stopAfter && after >= *row.stopAfter * kSecond) {
                run.stop();
            }
        };
        if (row.failingMessage != 0) {
            // The request goes first.
            m_backend.failSend(row.failingMessage + 1, kMIDIMessageSendErr);
        }
        ASSERT_EQ(CQORMIDIManager::instance()->openMidiOut(0), noErr);
        run.setDestination(kName);
        run.setIdentityCheck(SIdentitySetup{0, kName, {}});
        ASSERT_TRUE(run.start([&schedule](CUpdateRun& self) { return self.send(schedule, nullptr, nullptr); },
                              [](const SRunEnd&) {}));
        const std::optional<SRunEnd> end = run.wait();
        m_onSleep = {};
        ASSERT_TRUE(end);
        ASSERT_TRUE(end->identity);
        EXPECT_EQ(end->identity->verdict, row.verdict);

        // Nothing but the update between its first and last message.
        const std::size_t first = heard.find('U');
        const std::size_t last = heard.rfind('U');
        EXPECT_EQ(heard.substr(0, first), row.instrument == EInstrument::kHasNoSource ? "" : "R") << heard;
        EXPECT_EQ(heard.substr(first, last - first + 1).find('R'), std::string::npos) << heard;
        EXPECT_EQ(heard.find('R', last) != std::string::npos, row.askedAfter) << heard;

        const std::vector<SUpdateRecord> records = record.records();
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(SUpdateRecord::resultText(records[0].result), std::string(row.result));
        EXPECT_EQ(records[0].destination, kName);
        EXPECT_TRUE(records[0].hardware);
        EXPECT_EQ(records[0].identityAsked, row.verdict != EVerdict::kNoInput);
        EXPECT_NE(records[0].words.find(row.words), std::string::npos) << records[0].words;
        EXPECT_FALSE(end->recordProblem) << *end->recordProblem;

        CZAVController::terminate();
        for (ItemCount i = m_backend.numberOfDestinations(); i > 0; --i) {
            m_backend.removeEndpoint(m_backend.destination(i - 1), Announce::No);
        }
        for (ItemCount i = m_backend.numberOfSources(); i > 0; --i) {
            m_backend.removeEndpoint(m_backend.source(i - 1), Announce::No);
        }
    }
    std::filesystem::remove_all(state);
    CQORMIDIManager::initialize(nullptr, nullptr);
}

} // namespace
