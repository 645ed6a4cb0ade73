#include "platform/base/EventLoop.h"
#include "platform/midi/MidiBackend.h"
#include "testing/ControlledVirtualBackend.h"
#include "platform/midi/MIDIServices.h"
#include "platform/base/PlainEventLoop.h"
#include "testing/SendFailure.h"

#include <gtest/gtest.h>

#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace {

using mirelo::midi::ControlledVirtualBackend;
using mirelo::midi::PacketListStorage;
using mirelo::midi::SendFailure;
using mirelo::midi::VirtualEndpointProperties;
using Announce = ControlledVirtualBackend::Announce;

class VirtualBackendTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        mirelo::midi::setActiveBackend(&m_backend);
        mirelo::platform::setMainLoop(&m_loop);
    }
    void TearDown() override
    {
        mirelo::platform::setMainLoop(nullptr);
        mirelo::midi::setActiveBackend(nullptr);
    }

    MIDIClientRef makeClient(MIDINotifyProc proc = nullptr, void* refCon = nullptr)
    {
        MIDIClientRef client = 0;
        EXPECT_EQ(MIDIClientCreate("test", proc, refCon, &client), noErr);
        return client;
    }

    ControlledVirtualBackend m_backend;
    mirelo::platform::PlainEventLoop m_loop;
};

TEST_F(VirtualBackendTest, EndpointsKeepTheirOrderAndPropertiesMayBeUnreadable)
{
    const MIDIEndpointRef a = m_backend.addDestination({"Model A", "Port A", "Display A"}, {}, Announce::No);
    const MIDIEndpointRef b = m_backend.addDestination({std::nullopt, "Port B", std::nullopt}, {}, Announce::No);
    const MIDIEndpointRef in = m_backend.addSource({"Model S", "Src", "Display S"}, Announce::No);

    ASSERT_EQ(MIDIGetNumberOfDestinations(), 2u);
    EXPECT_EQ(MIDIGetDestination(0), a);
    EXPECT_EQ(MIDIGetDestination(1), b);
    EXPECT_EQ(MIDIGetDestination(2), 0u);
    EXPECT_EQ(MIDIGetNumberOfSources(), 1u);
    EXPECT_EQ(MIDIGetSource(0), in);
    EXPECT_EQ(MIDIGetSource(1), 0u);

    std::string value = "untouched";
    EXPECT_EQ(MIDIObjectGetStringProperty(a, kMIDIPropertyDisplayName, &value), noErr);
    EXPECT_EQ(value, "Display A");
    value = "untouched";
    EXPECT_EQ(MIDIObjectGetStringProperty(b, kMIDIPropertyModel, &value), kMIDIUnknownProperty);
    EXPECT_EQ(value, "untouched");

    EXPECT_TRUE(m_backend.setProperty(b, kMIDIPropertyModel, "Model B"));
    EXPECT_EQ(MIDIObjectGetStringProperty(b, kMIDIPropertyModel, &value), noErr);
    EXPECT_EQ(value, "Model B");

    EXPECT_TRUE(m_backend.removeEndpoint(a, Announce::No));
    EXPECT_EQ(MIDIGetDestination(0), b);
    EXPECT_EQ(MIDIObjectGetStringProperty(a, kMIDIPropertyName, &value), kMIDIObjectNotFound);
    EXPECT_FALSE(m_backend.removeEndpoint(a, Announce::No));
}

TEST_F(VirtualBackendTest, HardwareEndpointsComeFirstEachGroupInTheOrderAdded)
{
    const auto add = [&](const char* name, bool hardware) {
        return m_backend.addDestination({name, name, name, hardware}, {}, Announce::No);
    };
    const MIDIEndpointRef through = add("Midi Through", false);
    const MIDIEndpointRef synthA = add("Synth A", true);
    const MIDIEndpointRef virmidi = add("VirMIDI", false);
    const MIDIEndpointRef synthB = add("Synth B", true);
    const auto destinations = [] {
        std::vector<MIDIEndpointRef> list;
        for (ItemCount i = 0; i < MIDIGetNumberOfDestinations(); ++i) {
            list.push_back(MIDIGetDestination(i));
        }
        return list;
    };
    EXPECT_EQ(destinations(), (std::vector<MIDIEndpointRef>{synthA, synthB, through, virmidi}));
    EXPECT_TRUE(m_backend.removeEndpoint(synthA, Announce::No));
    const MIDIEndpointRef synthC = add("Synth C", true);
    EXPECT_EQ(destinations(), (std::vector<MIDIEndpointRef>{synthB, synthC, through, virmidi}));

    const MIDIEndpointRef softSource = m_backend.addSource({"S", "S", "S"}, Announce::No);
    const MIDIEndpointRef hardSource = m_backend.addSource({"H", "H", "H", true}, Announce::No);
    EXPECT_EQ(MIDIGetSource(0), hardSource);
    EXPECT_EQ(MIDIGetSource(1), softSource);

    // The property says which is which; it is an integer, not a string.
    std::int32_t value = -1;
    EXPECT_EQ(MIDIObjectGetIntegerProperty(synthB, kMIDIPropertyHardware, &value), noErr);
    EXPECT_EQ(value, 1);
    EXPECT_EQ(MIDIObjectGetIntegerProperty(through, kMIDIPropertyHardware, &value), noErr);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(MIDIObjectGetIntegerProperty(through, kMIDIPropertyDisplayName, &value), kMIDIWrongPropertyType);
    EXPECT_EQ(MIDIObjectGetIntegerProperty(synthA, kMIDIPropertyHardware, &value), kMIDIObjectNotFound);
    EXPECT_EQ(MIDIObjectGetIntegerProperty(synthB, kMIDIPropertyHardware, nullptr), kParamErr);
    std::string text;
    EXPECT_EQ(MIDIObjectGetStringProperty(synthB, kMIDIPropertyHardware, &text), kMIDIWrongPropertyType);
}

TEST_F(VirtualBackendTest, InjectedFailuresHitOnlyTheCallTheyAimAt)
{
    MIDIClientRef client = 0;
    m_backend.failNextClientCreate(kMIDIServerStartErr);
    EXPECT_EQ(MIDIClientCreate("c", nullptr, nullptr, &client), kMIDIServerStartErr);
    EXPECT_EQ(client, 0u);
    client = makeClient();

    MIDIPortRef port = 0;
    EXPECT_EQ(MIDIOutputPortCreate(0, "no client", &port), kMIDIInvalidClient);
    m_backend.failNextPortCreate(kMIDINotPermitted);
    EXPECT_EQ(MIDIOutputPortCreate(client, "out", &port), kMIDINotPermitted);
    EXPECT_EQ(port, 0u);
    ASSERT_EQ(MIDIOutputPortCreate(client, "out", &port), noErr);

    const MIDIEndpointRef dest = m_backend.addDestination({"M", "N", "D"}, {}, Announce::No);
    const Byte note[] = {0x90, 0x3C, 0x64};
    const PacketListStorage storage = PacketListStorage::holding(note, sizeof note, 7);
    const MIDIPacketList* list = storage.list();

    m_backend.failSend(2, kMIDIMessageSendErr);
    EXPECT_EQ(MIDISend(port, dest, list), noErr);
    EXPECT_EQ(MIDISend(port, dest, list), kMIDIMessageSendErr);
    EXPECT_EQ(MIDISend(port, dest, list), noErr);
    EXPECT_EQ(MIDISend(0, dest, list), kMIDIInvalidPort);

    const auto sent = m_backend.sentLists();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[1].status, kMIDIMessageSendErr);
    EXPECT_EQ(sent[0].destination, dest);
    ASSERT_EQ(sent[0].packets.size(), 1u);
    EXPECT_EQ(sent[0].packets[0].timeStamp, 7u);
    EXPECT_EQ(sent[0].packets[0].bytes, (std::vector<Byte>{0x90, 0x3C, 0x64}));
}

TEST_F(VirtualBackendTest, AReceiveHookSeesEverySuccessfulSendToItsDestination)
{
    std::vector<std::uint32_t> seenCounts;
    const MIDIEndpointRef capture = m_backend.addDestination(
        {"Capture", "Capture", "Capture"},
        [&](MIDIEndpointRef, const MIDIPacketList& list) { seenCounts.push_back(list.numPackets); }, Announce::No);
    MIDIPortRef port = 0;
    ASSERT_EQ(MIDIOutputPortCreate(makeClient(), "out", &port), noErr);

    PacketListStorage storage(64);
    const Byte bytes[] = {0xF8};
    ASSERT_TRUE(storage.add(0, bytes, 1));
    ASSERT_TRUE(storage.add(0, bytes, 1));
    const MIDIPacketList* list = storage.list();

    m_backend.failSend(2, kMIDIMessageSendErr);
    EXPECT_EQ(MIDISend(port, capture, list), noErr);
    EXPECT_NE(MIDISend(port, capture, list), noErr);
    EXPECT_EQ(seenCounts, (std::vector<std::uint32_t>{2}));
}

struct NotificationLog {
    std::vector<MIDINotificationMessageID> ids;
    std::vector<std::thread::id> threads;
};

void logNotification(const MIDINotification* message, void* refCon)
{
    auto* log = static_cast<NotificationLog*>(refCon);
    log->ids.push_back(message->messageID);
    log->threads.push_back(std::this_thread::get_id());
}

TEST_F(VirtualBackendTest, NotificationsArriveThroughTheMainLoopOnly)
{
    NotificationLog log;
    NotificationLog disposedLog;
    makeClient(logNotification, &log);
    const MIDIClientRef gone = makeClient(logNotification, &disposedLog);

    const MIDIEndpointRef dest = m_backend.addDestination({"M", "N", "D"});
    std::thread([&] { EXPECT_TRUE(m_backend.removeEndpoint(dest)); }).join();
    m_backend.notifyClients(kMIDIMsgSetupChanged);
    ASSERT_EQ(MIDIClientDispose(gone), noErr);
    EXPECT_TRUE(log.ids.empty());

    m_loop.runUntilIdle();
    EXPECT_EQ(log.ids,
              (std::vector<MIDINotificationMessageID>{kMIDIMsgObjectAdded, kMIDIMsgSetupChanged, kMIDIMsgObjectRemoved,
                                                      kMIDIMsgSetupChanged, kMIDIMsgSetupChanged}));
    for (auto thread : log.threads) {
        EXPECT_EQ(thread, std::this_thread::get_id());
    }
    EXPECT_TRUE(disposedLog.ids.empty());
}

struct InputLog {
    std::mutex mutex;
    std::vector<std::vector<Byte>> packets;
    std::vector<void*> connections;
    std::thread::id thread;
};

void logInput(const MIDIPacketList* list, void* refCon, void* connRefCon)
{
    auto* log = static_cast<InputLog*>(refCon);
    std::lock_guard lock(log->mutex);
    log->thread = std::this_thread::get_id();
    log->connections.push_back(connRefCon);
    for (const MIDIPacket& packet : mirelo::midi::packetsOf(*list)) {
        const std::span<const Byte> bytes = mirelo::midi::packetBytes(packet);
        log->packets.emplace_back(bytes.begin(), bytes.end());
    }
}

TEST_F(VirtualBackendTest, InjectedInputReachesConnectedPortsOnTheReceiveThread)
{
    const MIDIEndpointRef source = m_backend.addSource({"M", "N", "D"}, Announce::No);
    InputLog log;
    int connection = 0;
    MIDIPortRef port = 0;
    ASSERT_EQ(MIDIInputPortCreate(makeClient(), "in", logInput, &log, &port), noErr);
    EXPECT_EQ(MIDIPortConnectSource(port, 0, nullptr), kMIDIObjectNotFound);
    ASSERT_EQ(MIDIPortConnectSource(port, source, &connection), noErr);

    ASSERT_TRUE(m_backend.injectIncoming(source, {{0xF0, 0x43}, {}, {0x10, 0xF7}}));
    m_backend.waitForIncoming();
    {
        std::lock_guard lock(log.mutex);
        EXPECT_EQ(log.packets, (std::vector<std::vector<Byte>>{{0xF0, 0x43}, {}, {0x10, 0xF7}}));
        EXPECT_EQ(log.connections, (std::vector<void*>{&connection}));
        EXPECT_NE(log.thread, std::this_thread::get_id());
    }

    ASSERT_EQ(MIDIPortDisconnectSource(port, source), noErr);
    EXPECT_EQ(MIDIPortDisconnectSource(port, source), kMIDINoConnection);
    ASSERT_TRUE(m_backend.injectIncoming(source, {{0xF8}}));
    m_backend.waitForIncoming();
    std::lock_guard lock(log.mutex);
    EXPECT_EQ(log.packets.size(), 3u);
}

// The test build's failing send: anything but "k:status" with k from 1 and a
// non-zero status asks for nothing.
TEST(SendFailure, OnlyKColonANonZeroStatusAsksForAFailure)
{
    struct SRow {
        const char* value;
        std::size_t failing; // 0: none
        OSStatus status;
    };
    for (const SRow& row : {SRow{"2:-10838", 2, kMIDIMessageSendErr}, SRow{"1:-50", 1, kParamErr},
                            SRow{"0:-10838", 0, noErr}, SRow{"2:0", 0, noErr}, SRow{"2", 0, noErr},
                            SRow{"x:-1", 0, noErr}, SRow{"2:-10838 ", 0, noErr}, SRow{"", 0, noErr}}) {
        SCOPED_TRACE(row.value);
        const std::optional<SendFailure> failure = SendFailure::parse(row.value);
        ASSERT_EQ(failure.has_value(), row.failing != 0);
        if (failure) {
            EXPECT_EQ(failure->sendNumber, row.failing);
            EXPECT_EQ(failure->status, row.status);
        }
    }
}

TEST(BackendChoice, KnownNamesBuildTheirBackendAndUnknownOnesNothing)
{
    auto chosen = mirelo::midi::makeBackend("virtual");
    ASSERT_NE(chosen, nullptr);
    EXPECT_STREQ(chosen->name(), "virtual");
    EXPECT_EQ(mirelo::midi::makeBackend("no-such-backend"), nullptr);
}

} // namespace
