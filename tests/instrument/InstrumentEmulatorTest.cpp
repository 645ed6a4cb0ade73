// The instrument emulator on made-up input: each row is an update as it
// reaches the device end (which messages, changed how, arriving when) and the
// verdict the instrument must give.

#include "tools/instrument-emulator/DeviceBufferModel.h"
#include "tools/instrument-emulator/IdentityResponder.h"
#include "tools/instrument-emulator/InstrumentEmulator.h"
#include "tools/SyntheticFirmware.h"

#include <gtest/gtest.h>

#include <functional>
#include <regex>

namespace {

using Message = std::vector<std::uint8_t>;
using Messages = std::vector<Message>;

constexpr std::uint64_t kMs = 1'000'000;
constexpr std::size_t kFirstBlock = 1; // messages()[0] is the header

// When each message arrives, from its index and the bytes before it.
using Timing = std::function<std::uint64_t(std::size_t index, std::size_t bytesBefore)>;

std::uint64_t bundledPace(std::size_t index, std::size_t)
{
    return 500 * kMs + index * 60 * kMs;
}

std::uint64_t allAtOnce(std::size_t, std::size_t)
{
    return 0;
}

// Back to back at 31,250 baud: 3,125 bytes a second.
std::uint64_t wireRate(std::size_t, std::size_t bytesBefore)
{
    return bytesBefore * 320'000;
}

struct Row {
    const char* name;
    std::function<void(Messages&)> change;
    Timing timing;
    std::uint64_t blockProcessingNs;
    // Bytes per arrival: 0 delivers each message as one run.
    std::size_t runBytes;
    bool inputEndsEarly;
    CInstrumentEmulator::EOutcome outcome;
    const char* verdict; // a regular expression for the whole line
};

void unchanged(Messages&) {}

const Row kRows[] = {
    {"the bundled pace is accepted with one block's room to spare", unchanged, bundledPace, 5 * kMs, 0, false,
     CInstrumentEmulator::EOutcome::kAccepted,
     R"(accepted: 240 blocks, 30720 bytes, CRC ok \(0x[0-9A-F]{8}\), minimum spare buffer 869 of 1024 bytes)"},
    {"USB packets split messages anywhere", unchanged, bundledPace, 5 * kMs, 64, false,
     CInstrumentEmulator::EOutcome::kAccepted, "accepted: 240 blocks, .*"},
    // 19 + 6 x 155 = 949 bytes fit in 1,024; the seventh block does not.
    {"everything at once overruns during block 6", unchanged, allAtOnce, 5 * kMs, 0, false,
     CInstrumentEmulator::EOutcome::kRejected, "rejected: overrun at block 6: 1104 bytes for a 1024-byte buffer"},
    {"the wire rate is kept up with when blocks need no processing", unchanged, wireRate, 0, 0, false,
     CInstrumentEmulator::EOutcome::kAccepted, "accepted: .*"},
    {"the wire rate overruns once processing time adds up", unchanged, wireRate, 5 * kMs, 0, false,
     CInstrumentEmulator::EOutcome::kRejected, "rejected: overrun at block [0-9]+: .*"},
    {"a changed byte fails the block's checksum", [](Messages& m) { m[kFirstBlock + 5][20] ^= 0x01; }, bundledPace,
     5 * kMs, 0, false, CInstrumentEmulator::EOutcome::kRejected, "rejected: checksum of block 5"},
    {"a block sent twice is out of order",
     [](Messages& m) { m.insert(m.begin() + kFirstBlock + 4, m[kFirstBlock + 3]); }, bundledPace, 5 * kMs, 0, false,
     CInstrumentEmulator::EOutcome::kRejected, "rejected: order: block 3 after block 3"},
    {"a lost block is missing", [](Messages& m) { m.erase(m.begin() + kFirstBlock + 10); }, bundledPace, 5 * kMs, 0,
     false, CInstrumentEmulator::EOutcome::kRejected, R"(rejected: missing block 10 \(block 11 came instead\))"},
    {"a lost last block is missing at the closing message", [](Messages& m) { m.erase(m.end() - 2); }, bundledPace,
     5 * kMs, 0, false, CInstrumentEmulator::EOutcome::kRejected,
     R"(rejected: missing block 239 \(the closing message came instead\))"},
    {"blocks without a header are out of order", [](Messages& m) { m.erase(m.begin()); }, bundledPace, 5 * kMs, 0,
     false, CInstrumentEmulator::EOutcome::kRejected, "rejected: order: a data block before the header"},
    {"a closing CRC that does not match", [](Messages& m) { m.back()[10] ^= 0x01; }, bundledPace, 5 * kMs, 0, false,
     CInstrumentEmulator::EOutcome::kRejected, "rejected: CRC mismatch: .*"},
    {"a stream that stops is incomplete", [](Messages& m) { m.resize(kFirstBlock + 100); }, bundledPace, 5 * kMs, 0,
     true, CInstrumentEmulator::EOutcome::kRejected,
     R"(rejected: incomplete at timeout: 100 of 240 blocks after 30\.0 s)"},
    {"a channel message between blocks is malformed",
     [](Messages& m) {
         m.insert(m.begin() + kFirstBlock + 2, Message{0x90, 0x3C, 0x40});
     },
     bundledPace, 5 * kMs, 0, false, CInstrumentEmulator::EOutcome::kRejected,
     "rejected: malformed: byte 0x90 outside a SysEx message .*"},
    {"a lost end of message is malformed", [](Messages& m) { m[kFirstBlock + 7].pop_back(); }, bundledPace, 5 * kMs, 0,
     false, CInstrumentEmulator::EOutcome::kRejected, "rejected: malformed: a SysEx message began inside another .*"},
    {"real-time bytes inside a block and other instruments' SysEx are ignored",
     [](Messages& m) {
         m[kFirstBlock + 1].insert(m[kFirstBlock + 1].begin() + 30, 0xF8);
         m.insert(m.begin() + kFirstBlock + 3, Message{0xF0, 0x43, 0x10, 0x4C, 0x00, 0xF7});
     },
     bundledPace, 5 * kMs, 0, false, CInstrumentEmulator::EOutcome::kAccepted, "accepted: 240 blocks, .*"},
};

class InstrumentEmulatorRows : public ::testing::TestWithParam<Row> {};

TEST_P(InstrumentEmulatorRows, GivesTheVerdict)
{
    const Row& row = GetParam();
    Messages messages = CSyntheticFirmware().messages();
    row.change(messages);
    CInstrumentEmulator::SSettings settings;
    settings.blockProcessingNs = row.blockProcessingNs;
    CInstrumentEmulator instrument(settings);

    std::size_t bytesBefore = 0;
    std::uint64_t lastNs = 0;
    for (std::size_t i = 0; i < messages.size(); ++i) {
        const Message& m = messages[i];
        lastNs = row.timing(i, bytesBefore);
        const std::size_t run = row.runBytes == 0 ? m.size() : row.runBytes;
        for (std::size_t offset = 0; offset < m.size(); offset += run) {
            instrument.receive(m.data() + offset, std::min(run, m.size() - offset), lastNs);
        }
        bytesBefore += m.size();
    }
    if (row.inputEndsEarly) {
        EXPECT_EQ(instrument.outcome(), CInstrumentEmulator::EOutcome::kPending);
        instrument.inputEnded(CInstrumentEmulator::EInputEnd::kTimeout, 30.0);
    }
    EXPECT_EQ(instrument.outcome(), row.outcome) << instrument.verdict();
    EXPECT_TRUE(std::regex_match(instrument.verdict(), std::regex(row.verdict))) << instrument.verdict();
    if (row.outcome == CInstrumentEmulator::EOutcome::kAccepted) {
        // The version it restarts with.
        EXPECT_EQ(instrument.receiver().versionMajor(), CSyntheticFirmware::kVersionMajor);
        EXPECT_EQ(instrument.receiver().versionMinor(), CSyntheticFirmware::kVersionMinor);
    }
}

INSTANTIATE_TEST_SUITE_P(Updates, InstrumentEmulatorRows, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& row) {
                             std::string name = row.param.name;
                             for (char& c : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) {
                                     c = '_';
                                 }
                             }
                             return name;
                         });

// The instrument answers an Identity Request to its device ID or to all,
// whatever real-time bytes come between, and nothing else.
TEST(IdentityResponder, AnswersRequestsToItOrToAll)
{
    CIdentityResponder::SIdentity identity;
    identity.deviceId = 0x10;
    CIdentityResponder responder(identity);
    const Message reply = {0xF0, 0x7E, 0x10, 0x06, 0x02, 0x7D, 0x4D, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0xF7};
    struct SRequestRow {
        const char* what;
        Message input;
        bool answers;
    };
    const SRequestRow rows[] = {
        {"to all", {0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7}, true},
        {"to its device ID", {0xF0, 0x7E, 0x10, 0x06, 0x01, 0xF7}, true},
        {"with a clock byte inside", {0xF0, 0x7E, 0xF8, 0x7F, 0x06, 0x01, 0xF7}, true},
        {"to another device", {0xF0, 0x7E, 0x11, 0x06, 0x01, 0xF7}, false},
        {"a byte too long", {0xF0, 0x7E, 0x7F, 0x06, 0x01, 0x00, 0xF7}, false},
        {"cut short by a channel message", {0xF0, 0x7E, 0x7F, 0x06, 0x90, 0x01, 0xF7}, false},
        {"a reply, not a request", {0xF0, 0x7E, 0x7F, 0x06, 0x02, 0xF7}, false},
    };
    for (const SRequestRow& row : rows) {
        std::vector<Message> replies;
        for (const std::uint8_t b : row.input) {
            if (Message r = responder.feed(b); !r.empty()) {
                replies.push_back(r);
            }
        }
        EXPECT_EQ(replies, row.answers ? std::vector<Message>{reply} : std::vector<Message>{}) << row.what;
    }
    EXPECT_EQ(responder.requestsHeard(), 4u) << "the requests to it, to all, and to another device";
    responder.setRevision({1, 1, 0, 0});
    EXPECT_EQ(responder.reply()[11], 0x01) << "after an update it answers with the new version";
}

// The buffer's own arithmetic: 3,125 bytes a second, and a pause after
// each block during which nothing drains.
TEST(DeviceBufferModel, DrainsAtItsRateAndPausesAfterEachBlock)
{
    CDeviceBufferModel buffer(1024, 3125, 10 * kMs);
    ASSERT_TRUE(buffer.arrive(1000, false, 0));
    ASSERT_TRUE(buffer.arrive(0, false, 160 * kMs)); // 160 ms take out 500 bytes
    EXPECT_EQ(buffer.level(), 500u);
    ASSERT_TRUE(buffer.arrive(0, false, 320 * kMs));
    EXPECT_EQ(buffer.level(), 0u);

    ASSERT_TRUE(buffer.arrive(125, true, 1000 * kMs)); // drained by 1,040 ms, then busy until 1,050 ms
    ASSERT_TRUE(buffer.arrive(100, false, 1045 * kMs));
    EXPECT_EQ(buffer.level(), 100u);
    ASSERT_TRUE(buffer.arrive(0, false, 1082 * kMs)); // 32 ms of draining after the pause
    EXPECT_EQ(buffer.level(), 0u);
    EXPECT_EQ(buffer.minimumSpare(), 24u);

    EXPECT_FALSE(buffer.arrive(1025, false, 2000 * kMs));
}

} // namespace
