#include "tests/manager/ManagerFixture.h"

#include <stdexcept>

namespace {

using Packets = std::vector<std::vector<Byte>>; // one packet list
using Messages = std::vector<std::vector<Byte>>;

class CInputTest : public CManagerTest {
protected:
    void SetUp() override
    {
        CManagerTest::SetUp();
        m_source = addSource("In");
        m_manager = &makeManager();
    }

    void open(CQORMIDIManager::InputCallback callback = CSysExLog::record)
    {
        ASSERT_EQ(m_manager->openMidiIn(0, callback, &m_log, 512), noErr);
    }

    void receive(const std::vector<Packets>& lists)
    {
        for (const auto& list : lists) {
            ASSERT_TRUE(m_backend.injectIncoming(m_source, list));
        }
        m_backend.waitForIncoming();
    }

    MIDIEndpointRef m_source = 0;
    CQORMIDIManager* m_manager = nullptr;
    CSysExLog m_log;
};

struct AssemblyCase {
    const char* what;
    std::vector<Packets> lists;
    Messages expected;
};

TEST_F(CInputTest, OnlyCompleteSysExMessagesReachTheCallback)
{
    const std::vector<AssemblyCase> cases = {
        {"one packet", {{{0xF0, 0x43, 0x10, 0xF7}}}, {{0xF0, 0x43, 0x10, 0xF7}}},
        {"split across packet lists", {{{0xF0, 0x43}}, {{0x10, 0xF7}}}, {{0xF0, 0x43, 0x10, 0xF7}}},
        {"split across packets, one empty", {{{0xF0}, {}, {0x01, 0x02}, {0xF7}}}, {{0xF0, 0x01, 0x02, 0xF7}}},
        {"interrupted by a real-time byte", {{{0xF0, 0x01, 0xF8, 0x02, 0xF7}}}, {}},
        {"interrupted by a channel status", {{{0xF0, 0x01, 0x90, 0x02, 0xF7}}}, {}},
        {"restarted by F0", {{{0xF0, 0x01, 0xF0, 0x02, 0xF7}}}, {{0xF0, 0x02, 0xF7}}},
        {"channel messages only", {{{0x90, 0x3C, 0x64}, {0xC0, 0x05}}}, {}},
        {"F7 with nothing in progress", {{{0xF7, 0x01, 0xF7}}}, {}},
        {"two messages in one packet, noise around",
         {{{0x01, 0xF0, 0x7E, 0xF7, 0x90, 0xF0, 0x7F, 0xF7, 0x02}}},
         {{0xF0, 0x7E, 0xF7}, {0xF0, 0x7F, 0xF7}}},
        {"empty message", {{{0xF0, 0xF7}}}, {{0xF0, 0xF7}}},
    };
    open();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        m_log.messages.clear();
        receive(c.lists);
        // Ends whatever a case left in progress so the next starts clean.
        receive({{{0x80}}});
        EXPECT_EQ(m_log.taken(), c.expected);
    }
}

TEST_F(CInputTest, AMessageLongerThanTheReserveArrivesWhole)
{
    open();
    std::vector<Byte> message(5000, 0x55);
    message.front() = 0xF0;
    message.back() = 0xF7;
    Packets packets;
    for (std::size_t at = 0; at < message.size(); at += 300) {
        packets.emplace_back(message.begin() + static_cast<long>(at),
                             message.begin() + static_cast<long>(std::min(at + 300, message.size())));
    }
    receive({packets});
    EXPECT_EQ(m_log.taken(), Messages{message});
}

TEST_F(CInputTest, APartialMessageSurvivesClosingAndReopeningTheInput)
{
    open();
    receive({{{0xF0, 0x01}}});
    ASSERT_EQ(m_manager->closeMidiIn(), noErr);
    open();
    receive({{{0x02, 0xF7}}});
    EXPECT_EQ(m_log.taken(), (Messages{{0xF0, 0x01, 0x02, 0xF7}}));
}

void closeFromCallback(void* context, const Byte* data, std::uint32_t length)
{
    CSysExLog::record(context, data, length);
    CQORMIDIManager::instance()->closeMidiIn();
}

void reopenFromCallback(void* context, const Byte* data, std::uint32_t length)
{
    CSysExLog::record(context, data, length);
    CQORMIDIManager::instance()->openMidiIn(0, CSysExLog::record, context, 512);
}

TEST_F(CInputTest, ACallbackThatClosesTheInputDropsTheRestOfItsListAndTheNextOpenStartsClean)
{
    for (const CQORMIDIManager::InputCallback callback : {closeFromCallback, reopenFromCallback}) {
        SCOPED_TRACE(callback == closeFromCallback ? "closes" : "closes and reopens");
        m_log.messages.clear();
        open(callback);
        receive({{{0xF0, 0x01, 0xF7, 0xF0, 0x02, 0xF7, 0xF0, 0x03}}});
        open();
        receive({{{0x04, 0xF7}}, {{0xF0, 0x05, 0xF7}}});
        EXPECT_EQ(m_log.taken(), (Messages{{0xF0, 0x01, 0xF7}, {0xF0, 0x05, 0xF7}}));
    }
}

TEST_F(CInputTest, WithoutACallbackInputIsIgnoredAndNothingAdvances)
{
    const Byte start[] = {0xF0, 0x01};
    const mirelo::midi::PacketListStorage storage = mirelo::midi::PacketListStorage::holding(start, sizeof start, 0);
    const MIDIPacketList* list = storage.list();
    CQORMIDIManager::procMidiIn(list, m_manager, nullptr);
    CQORMIDIManager::procMidiIn(list, nullptr, nullptr);

    open();
    receive({{{0x02, 0xF7}}});
    EXPECT_TRUE(m_log.taken().empty());
}

void throwingCallback(void* context, const Byte* data, std::uint32_t length)
{
    CSysExLog::record(context, data, length);
    throw std::runtime_error("listener failed");
}

TEST_F(CInputTest, ACallbackThatThrowsLosesOnlyTheRestOfItsPacketList)
{
    open(throwingCallback);
    receive({{{0xF0, 0x01, 0xF7, 0xF0, 0x02, 0xF7}}, {{0xF0, 0x03, 0xF7}}});
    // The first message stays in the buffer, so the next F0 discards it.
    EXPECT_EQ(m_log.taken(), (Messages{{0xF0, 0x01, 0xF7}, {0xF0, 0x03, 0xF7}}));
}

} // namespace
