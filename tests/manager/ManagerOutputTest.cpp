#include "tests/manager/ManagerFixture.h"

#include <limits>
#include <numeric>

namespace {

std::vector<Byte> countingBytes(std::size_t length)
{
    std::vector<Byte> bytes(length);
    std::iota(bytes.begin(), bytes.end(), Byte{0});
    return bytes;
}

class CSendTest : public CManagerTest {
protected:
    void SetUp() override
    {
        CManagerTest::SetUp();
        m_destination = addDestination("Out");
        m_manager = &makeManager();
        ASSERT_EQ(m_manager->openMidiOut(0), noErr);
    }

    CQORMIDIManager* m_manager = nullptr;
    MIDIEndpointRef m_destination = 0;
};

// --- long messages ---

struct ChunkCase {
    std::size_t length;
    std::size_t packets;
    std::size_t lastPacket; // every other packet holds 256 bytes
};

TEST_F(CSendTest, ALongMessageGoesAsOneListOf256ByteChunksWithOneTimestamp)
{
    const std::vector<ChunkCase> cases = {
        {0, 0, 0},      {1, 1, 1},         {256, 1, 256},     {257, 2, 1},
        {1000, 4, 232}, {65535, 256, 255}, {65536, 256, 256}, {70001, 274, 113},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        std::vector<std::size_t> expected(c.packets, 256);
        if (!expected.empty()) {
            expected.back() = c.lastPacket;
        }
        m_backend.clearSent();
        m_clock.advance(1'000);
        const MIDITimeStamp now = m_clock.hostTime();
        const std::vector<Byte> message = countingBytes(c.length);

        ASSERT_EQ(m_manager->sendLongMessage(message.data(), static_cast<int>(message.size())), noErr);

        const auto sent = m_backend.sentLists();
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].destination, m_destination);
        std::vector<std::size_t> lengths;
        std::vector<Byte> joined;
        for (const auto& packet : sent[0].packets) {
            lengths.push_back(packet.bytes.size());
            EXPECT_EQ(packet.timeStamp, now);
            joined.insert(joined.end(), packet.bytes.begin(), packet.bytes.end());
        }
        EXPECT_EQ(lengths, expected);
        EXPECT_EQ(joined, message);
    }
}

TEST_F(CSendTest, ANegativeLengthIsRefusedAndSendsNothing)
{
    const Byte byte = 0xF0;
    EXPECT_EQ(m_manager->sendLongMessage(&byte, -1), kMIDIMessageSendErr);
    EXPECT_EQ(m_manager->sendLongMessage(&byte, std::numeric_limits<int>::min()), kMIDIMessageSendErr);
    EXPECT_EQ(m_backend.sendCount(), 0u);
}

TEST_F(CSendTest, TheSendStatusIsHandedBackAndNoDestinationMeansNothingSent)
{
    const std::vector<Byte> message = {0xF0, 0x01, 0xF7};
    m_backend.failSend(1, kMIDIUnknownError);
    EXPECT_EQ(m_manager->sendLongMessage(message.data(), 3), kMIDIUnknownError);
    EXPECT_EQ(m_manager->sendLongMessage(message.data(), 3), noErr);

    m_manager->closeMidiOut();
    EXPECT_EQ(m_manager->sendLongMessage(message.data(), 3), noErr);
    EXPECT_EQ(m_backend.sendCount(), 2u);
}

// --- short messages ---

struct ShortCase {
    int channel;
    int status;
    std::vector<Byte> sent;
};

TEST_F(CSendTest, AShortMessageTakesItsLengthFromTheStatusArgument)
{
    const std::vector<ShortCase> cases = {
        {3, 0x90, {0x93, 0x3C, 0x64}},
        {0x1F, 0x80, {0x8F, 0x3C, 0x64}},
        {1, 0xB0, {0xB1, 0x3C, 0x64}},
        {2, 0xC0, {0xC2, 0x3C}},
        {2, 0xD0, {0xD2, 0x3C}},
        {0, 0xC3, {0xC0, 0x3C, 0x64}}, // only exactly 0xC0 is a two-byte message
        {5, 0xE0, {0xE5, 0x3C, 0x64}},
        {9, 0xF1, {0xF1, 0x3C}},
        {9, 0xF2, {0xF2, 0x3C, 0x64}},
        {9, 0xF3, {0xF3, 0x3C}},
        {9, 0xF6, {0xF6}},
        {9, 0xF8, {0xF8}},
        {9, 0xFF, {0xFF}},
        {0, 0x40, {0x40, 0x3C, 0x64}}, // below 0x80 is not refused
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        m_backend.clearSent();
        ASSERT_EQ(m_manager->sendShortMessage(c.channel, c.status, 0x13C, 0x64), noErr);
        const auto sent = m_backend.sentLists();
        ASSERT_EQ(sent.size(), 1u);
        ASSERT_EQ(sent[0].packets.size(), 1u);
        EXPECT_EQ(sent[0].packets[0].bytes, c.sent);
        EXPECT_EQ(sent[0].packets[0].timeStamp, m_clock.hostTime());
    }
}

TEST_F(CSendTest, SysExStartAsAShortMessageIsASendErrorOnlyWhenAnOutputIsOpen)
{
    EXPECT_EQ(m_manager->sendShortMessage(0, 0xF0, 0, 0), kMIDIMessageSendErr);
    EXPECT_EQ(m_backend.sendCount(), 0u);
    m_manager->closeMidiOut();
    EXPECT_EQ(m_manager->sendShortMessage(0, 0xF0, 0, 0), noErr);
    EXPECT_EQ(m_manager->openMidiOut(5), noErr); // port without destination
    EXPECT_EQ(m_manager->sendShortMessage(0, 0xF0, 0, 0), noErr);
    EXPECT_EQ(m_backend.sendCount(), 0u);
}

} // namespace
