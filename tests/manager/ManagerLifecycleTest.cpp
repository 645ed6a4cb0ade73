#include "tests/manager/ManagerFixture.h"

#include <regex>

namespace {

using ::testing::internal::CaptureStderr;
using ::testing::internal::GetCapturedStderr;

// "%s (%s:%d)\n" with this file name and a line number.
::testing::AssertionResult isDiagnostic(const std::string& printed, const std::string& message)
{
    const std::regex pattern(std::regex_replace(message, std::regex(R"([.])"), R"(\.)") +
                             R"( \(QORMIDIManager_Mac\.cpp:[1-9][0-9]*\)\n)");
    if (std::regex_match(printed, pattern)) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "printed: \"" << printed << "\"";
}

// --- the singleton ---

TEST_F(CManagerTest, InitializeReplacesTheManagerAndTerminateDisposesIt)
{
    EXPECT_EQ(CQORMIDIManager::instance(), nullptr);
    addDestination("Out");
    addSource("In");

    EXPECT_EQ(CQORMIDIManager::initialize(nullptr, nullptr), 0);
    CQORMIDIManager* first = CQORMIDIManager::instance();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(m_backend.clientNames(), (std::vector<std::string>{"ZAV Editor"}));
    CSysExLog log;
    ASSERT_EQ(first->openMidiIn(0, CSysExLog::record, &log, 512), noErr);
    ASSERT_EQ(first->openMidiOut(0), noErr);
    EXPECT_EQ(m_backend.portCount(), 2u);

    EXPECT_EQ(CQORMIDIManager::initialize(nullptr, nullptr), 0);
    ASSERT_NE(CQORMIDIManager::instance(), nullptr);
    EXPECT_EQ(m_backend.clientCount(), 1u);
    EXPECT_EQ(m_backend.portCount(), 0u);

    CQORMIDIManager::terminate();
    EXPECT_EQ(CQORMIDIManager::instance(), nullptr);
    EXPECT_EQ(m_backend.clientCount(), 0u);
    CQORMIDIManager::terminate();
}

struct NotificationCount {
    int count = 0;
};

void countNotification(const MIDINotification*, void* context)
{
    ++static_cast<NotificationCount*>(context)->count;
}

TEST_F(CManagerTest, TheNotificationProcedureGoesStraightToTheClient)
{
    NotificationCount seen;
    CQORMIDIManager::initialize(countNotification, &seen);
    m_backend.addDestination({"M", "N", "D"});
    EXPECT_EQ(seen.count, 0);
    m_loop.runUntilIdle();
    EXPECT_EQ(seen.count, 2);
}

TEST_F(CManagerTest, AFailedClientIsReportedAndLaterPortCreationsFail)
{
    addDestination("Out");
    m_backend.failNextClientCreate(kMIDIServerStartErr);
    CaptureStderr();
    CQORMIDIManager& manager = makeManager();
    EXPECT_TRUE(isDiagnostic(GetCapturedStderr(), "MIDIClientCreate returned error."));

    EXPECT_EQ(manager.openMidiOut(0), kMIDIInvalidClient);
    EXPECT_FALSE(manager.isOpenedMidiOut());
    CSysExLog log;
    EXPECT_EQ(manager.openMidiIn(0, CSysExLog::record, &log, 512), kMIDIInvalidClient);
    EXPECT_FALSE(manager.isOpenedMidiIn());
}

// --- endpoint lists ---

TEST_F(CManagerTest, ListsAppendOneModelPerEndpointInIndexOrder)
{
    CQORMIDIManager& manager = makeManager();
    std::vector<std::string> devices = {"kept"};
    manager.getMidiOutDevices(devices);
    EXPECT_EQ(devices, (std::vector<std::string>{"kept"}));

    m_backend.addDestination({"Synth", "Port 1", "Synth Port 1"}, {}, Announce::No);
    m_backend.addDestination({std::nullopt, "Port 2", "Port 2"}, {}, Announce::No);
    m_backend.addDestination({std::string("Cut\0here", 8), "Port 3", "Port 3"}, {}, Announce::No);
    m_backend.addSource({"Keys", "In 1", "Keys In 1"}, Announce::No);

    manager.getMidiOutDevices(devices);
    EXPECT_EQ(devices, (std::vector<std::string>{"kept", "Synth", "", "Cut"}));
    std::vector<std::string> sources;
    manager.getMidiInDevices(sources);
    EXPECT_EQ(sources, (std::vector<std::string>{"Keys"}));
}

// --- opening and closing ---

TEST_F(CManagerTest, OutputStatesFollowOpenStartStopAndClose)
{
    const MIDIEndpointRef out = addDestination("Out");
    CQORMIDIManager& manager = makeManager();
    EXPECT_EQ(manager.closeMidiOut(), noErr);

    ASSERT_EQ(manager.openMidiOut(0), noErr);
    EXPECT_TRUE(manager.isOpenedMidiOut());
    EXPECT_FALSE(manager.isStartedMidiOut());
    EXPECT_EQ(manager.startMidiOut(), noErr);
    EXPECT_TRUE(manager.isStartedMidiOut());

    EXPECT_EQ(manager.stopMidiOut(), noErr);
    EXPECT_TRUE(manager.isOpenedMidiOut());
    EXPECT_FALSE(manager.isStartedMidiOut());
    EXPECT_EQ(m_backend.flushes(), (std::vector<MIDIEndpointRef>{out}));

    const Byte clock[] = {0xF8};
    EXPECT_EQ(manager.sendLongMessage(clock, 1), noErr);
    ASSERT_EQ(m_backend.sentLists().size(), 1u);
    EXPECT_EQ(m_backend.sentLists()[0].destination, out);

    EXPECT_EQ(manager.closeMidiOut(), noErr);
    EXPECT_FALSE(manager.isOpenedMidiOut());
    EXPECT_EQ(m_backend.flushes().size(), 2u);
    EXPECT_EQ(m_backend.portCount(), 0u);
    EXPECT_EQ(manager.sendLongMessage(clock, 1), noErr);
    EXPECT_EQ(m_backend.sentLists().size(), 1u);
}

TEST_F(CManagerTest, OpeningAnOutputPastTheLastDestinationSucceedsButSendsNothing)
{
    addDestination("Out");
    CQORMIDIManager& manager = makeManager();
    EXPECT_EQ(manager.openMidiOut(1), noErr);
    EXPECT_TRUE(manager.isOpenedMidiOut());
    const Byte clock[] = {0xF8};
    EXPECT_EQ(manager.sendLongMessage(clock, 1), noErr);
    EXPECT_EQ(manager.sendShortMessage(0, 0x90, 60, 100), noErr);
    EXPECT_TRUE(m_backend.sentLists().empty());
}

TEST_F(CManagerTest, AFailedOutputPortStillSetsTheDestinationSoLongSendsFail)
{
    const MIDIEndpointRef out = addDestination("Out");
    CQORMIDIManager& manager = makeManager();
    m_backend.failNextPortCreate(kMIDINotPermitted);
    EXPECT_EQ(manager.openMidiOut(0), kMIDINotPermitted);
    EXPECT_FALSE(manager.isOpenedMidiOut());

    const Byte clock[] = {0xF8};
    EXPECT_EQ(manager.sendShortMessage(0, 0xF8, 0, 0), noErr);
    EXPECT_EQ(manager.sendLongMessage(clock, 1), kMIDIInvalidPort);
    ASSERT_EQ(m_backend.sentLists().size(), 1u);
    EXPECT_EQ(m_backend.sentLists()[0].destination, out);
}

TEST_F(CManagerTest, InputStatesAndTheCallbackAcrossFailures)
{
    addSource("In");
    CQORMIDIManager& manager = makeManager();
    CSysExLog log;
    EXPECT_EQ(manager.closeMidiIn(), noErr);

    // Past the last source: the connection fails, the port stays.
    EXPECT_NE(manager.openMidiIn(1, CSysExLog::record, &log, 512), noErr);
    EXPECT_TRUE(manager.isOpenedMidiIn());

    // A failed port keeps the callback: input handed in still reaches it.
    m_backend.failNextPortCreate(kMIDINotPermitted);
    EXPECT_EQ(manager.openMidiIn(0, CSysExLog::record, &log, 512), kMIDINotPermitted);
    EXPECT_FALSE(manager.isOpenedMidiIn());
    const Byte message[] = {0xF0, 0x7E, 0xF7};
    const auto list = mirelo::midi::PacketListStorage::holding(message, sizeof message, 0);
    CQORMIDIManager::procMidiIn(list.list(), &manager, nullptr);
    EXPECT_EQ(log.taken().size(), 1u);

    ASSERT_EQ(manager.openMidiIn(0, CSysExLog::record, &log, 512), noErr);
    EXPECT_EQ(manager.startMidiIn(), noErr);
    EXPECT_TRUE(manager.isStartedMidiIn());
    EXPECT_EQ(manager.stopMidiIn(), noErr);
    EXPECT_FALSE(manager.isStartedMidiIn());
    EXPECT_TRUE(manager.isOpenedMidiIn());

    EXPECT_EQ(manager.closeMidiIn(), noErr);
    EXPECT_FALSE(manager.isOpenedMidiIn());
    EXPECT_EQ(m_backend.portCount(), 0u);
    CQORMIDIManager::procMidiIn(list.list(), &manager, nullptr);
    EXPECT_EQ(log.taken().size(), 1u);
}

TEST_F(CManagerTest, AFailedDisconnectIsReportedAndThePortDisposedAllTheSame)
{
    addSource("In");
    CQORMIDIManager& manager = makeManager();
    CSysExLog log;
    ASSERT_EQ(manager.openMidiIn(0, CSysExLog::record, &log, 512), noErr);
    m_backend.failNextDisconnect(kMIDINoConnection);
    CaptureStderr();
    EXPECT_EQ(manager.closeMidiIn(), noErr);
    EXPECT_TRUE(isDiagnostic(GetCapturedStderr(), "MIDIPortDisconnectSource returned error."));
    EXPECT_FALSE(manager.isOpenedMidiIn());
    EXPECT_EQ(m_backend.portCount(), 0u);
}

// --- health check ---

struct HealthCase {
    const char* what;
    std::function<void(mirelo::midi::ControlledVirtualBackend&, MIDIEndpointRef in, MIDIEndpointRef out)> change;
    bool inputStays;
    bool outputStays;
};

TEST_F(CManagerTest, HealthCheckClosesADirectionWhoseEndpointNameIsGone)
{
    using Backend = mirelo::midi::ControlledVirtualBackend;
    const std::vector<HealthCase> cases = {
        {"nothing changed", [](Backend&, MIDIEndpointRef, MIDIEndpointRef) {}, true, true},
        {"destination removed",
         [](Backend& b, MIDIEndpointRef, MIDIEndpointRef out) { EXPECT_TRUE(b.removeEndpoint(out)); }, true, false},
        {"source removed", [](Backend& b, MIDIEndpointRef in, MIDIEndpointRef) { EXPECT_TRUE(b.removeEndpoint(in)); },
         false, true},
        {"another destination carries the same name",
         [](Backend& b, MIDIEndpointRef, MIDIEndpointRef) {
             b.addDestination({"Other", "Out", "Out"});
         },
         true, true},
        // The open endpoint's own name can no longer be read, so there is nothing to match.
        {"open destination gone, a new one carries its name",
         [](Backend& b, MIDIEndpointRef, MIDIEndpointRef out) {
             EXPECT_TRUE(b.removeEndpoint(out));
             b.addDestination({"Other", "Out", "Out"});
         },
         true, false},
        {"open destination's name unreadable, another one still carries it",
         [](Backend& b, MIDIEndpointRef, MIDIEndpointRef out) {
             b.addDestination({"Other", "Out", "Out"});
             EXPECT_TRUE(b.setProperty(out, kMIDIPropertyName, std::nullopt));
         },
         true, false},
        {"open source's name unreadable",
         [](Backend& b, MIDIEndpointRef in, MIDIEndpointRef) {
             EXPECT_TRUE(b.setProperty(in, kMIDIPropertyName, std::nullopt));
         },
         false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        mirelo::midi::ControlledVirtualBackend backend;
        mirelo::midi::setActiveBackend(&backend);
        const MIDIEndpointRef in = backend.addSource({"Model", "In", "In"}, Announce::No);
        const MIDIEndpointRef out = backend.addDestination({"Model", "Out", "Out"}, {}, Announce::No);
        CQORMIDIManager manager(nullptr, nullptr);
        CSysExLog log;
        ASSERT_EQ(manager.openMidiIn(0, CSysExLog::record, &log, 512), noErr);
        ASSERT_EQ(manager.openMidiOut(0), noErr);

        c.change(backend, in, out);
        manager.healthCheck();
        EXPECT_EQ(manager.isOpenedMidiIn(), c.inputStays);
        EXPECT_EQ(manager.isOpenedMidiOut(), c.outputStays);
    }
    mirelo::midi::setActiveBackend(&m_backend);
}

TEST_F(CManagerTest, HealthCheckWithNothingOpenDoesNothing)
{
    CQORMIDIManager& manager = makeManager();
    manager.healthCheck();
    EXPECT_FALSE(manager.isOpenedMidiIn());
    EXPECT_FALSE(manager.isOpenedMidiOut());
    EXPECT_TRUE(m_backend.flushes().empty());
}

} // namespace
