// Runs inside the ALSA test VM (see tests/alsa/CMakeLists.txt): the real
// backend against a real sequencer with Midi Through and four virmidi cards.
// Ports are found by name, never by number.

#include "tests/alsa/vm/RawMidiReader.h"
#include "tests/alsa/vm/SeqRecorder.h"
#include "tests/support/SmfImageBuilder.h"

#include "platform/base/Clock.h"
#include "platform/base/EventLoop.h"
#include "platform/midi/alsa/WirePacer.h"
#include "platform/midi/MidiBackend.h"
#include "platform/midi/MIDIServices.h"
#include "platform/base/PlainEventLoop.h"
#include "QORMIDIManager_Mac.h"
#include "ZAVController.h"

#include <cmath>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <thread>
#include <utility>

using namespace std::chrono_literals;
using mirelo::test::Bytes;
using mirelo::test::CSmfImageBuilder;
using mirelo::test::RawMidiReader;
using mirelo::test::SeqRecorder;

namespace {

constexpr std::uint16_t kDivision = 480;
constexpr std::uint32_t kTempo = 500'000; // 120 bpm: 48 ticks are 50 ms

struct Scheduled {
    std::uint32_t tick;
    Bytes message;
};

std::uint64_t sendTimeMs(std::uint32_t tick)
{
    return static_cast<std::uint64_t>(std::llround((60000.0 / 120) / kDivision * tick));
}

std::vector<Scheduled> schedule(std::initializer_list<std::pair<std::uint32_t, std::uint32_t>> tickAndSize)
{
    std::vector<Scheduled> out;
    std::uint32_t seed = 1;
    for (auto [tick, size] : tickAndSize) {
        out.push_back({tick, CSmfImageBuilder::message(size, seed++)});
    }
    return out;
}

Bytes updateFile(const std::vector<Scheduled>& messages)
{
    CSmfImageBuilder file(kDivision, 0);
    file.track().tempo(0, kTempo);
    for (const Scheduled& s : messages) {
        file.sysEx(s.tick, s.message);
    }
    return file.build();
}

std::optional<std::string> displayName(MIDIEndpointRef endpoint)
{
    std::string name;
    if (MIDIObjectGetStringProperty(endpoint, kMIDIPropertyDisplayName, &name) != noErr) {
        return std::nullopt;
    }
    return name;
}

std::optional<unsigned long> destinationIndex(const std::string& name)
{
    for (ItemCount i = 0; i < MIDIGetNumberOfDestinations(); ++i) {
        if (displayName(MIDIGetDestination(i)) == name) {
            return i;
        }
    }
    return std::nullopt;
}

std::optional<unsigned long> sourceIndex(const std::string& name)
{
    for (ItemCount i = 0; i < MIDIGetNumberOfSources(); ++i) {
        if (displayName(MIDIGetSource(i)) == name) {
            return i;
        }
    }
    return std::nullopt;
}

bool progressProc(int percent, void* context)
{
    static_cast<std::vector<int>*>(context)->push_back(percent);
    return true;
}

struct NotifyLog {
    std::vector<MIDINotificationMessageID> ids;
    std::thread::id mainThread = std::this_thread::get_id();
    bool offMainThread = false;
    bool has(MIDINotificationMessageID id) const { return std::count(ids.begin(), ids.end(), id) > 0; }
};

void notifyProc(const MIDINotification* message, void* refCon)
{
    auto* log = static_cast<NotifyLog*>(refCon);
    log->ids.push_back(message->messageID);
    log->offMainThread = log->offMainThread || std::this_thread::get_id() != log->mainThread;
}

class AlsaSeqIntegration : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_loop = new mirelo::platform::PlainEventLoop;
        mirelo::platform::setMainLoop(s_loop);
        CZAVController::initialize();
    }

    static void TearDownTestSuite()
    {
        CZAVController::terminate();
        s_loop->runUntilIdle();
        mirelo::platform::setMainLoop(nullptr);
        delete s_loop;
        s_loop = nullptr;
    }

    void SetUp() override
    {
        struct stat info {};
        ASSERT_EQ(stat("/dev/snd/seq", &info), 0) << "no ALSA sequencer: run this in the test VM (tests/vm/vm-run)";
        ASSERT_STREQ(mirelo::midi::activeBackend().name(), "alsa");
        ASSERT_NE(CQORMIDIManager::instance(), nullptr);
    }

    static CQORMIDIManager& manager() { return *CQORMIDIManager::instance(); }

    // Sends the file with the real transfer; returns the clock reading taken
    // just before, which is no later than the transfer's own start.
    static std::uint64_t runUpdate(const Bytes& file, std::vector<int>* progress)
    {
        const std::uint64_t before = mirelo::platform::clock().monotonicNanoseconds();
        EXPECT_TRUE(CZAVController::instance()->updateFirmware(file.data(), static_cast<std::uint32_t>(file.size()),
                                                               progressProc, progress));
        return before;
    }

    static mirelo::platform::PlainEventLoop* s_loop;
};

mirelo::platform::PlainEventLoop* AlsaSeqIntegration::s_loop = nullptr;

TEST_F(AlsaSeqIntegration, ListsTheVirtualPortsByName)
{
    std::vector<std::string> names;
    for (ItemCount i = 0; i < MIDIGetNumberOfDestinations(); ++i) {
        names.push_back(displayName(MIDIGetDestination(i)).value_or("?"));
        std::printf("destination %lu: %s\n", i, names.back().c_str());
    }
    for (const char* expected :
         {"Midi Through Port-0", "Virtual Raw MIDI 0-0:VirMIDI 0-0", "Virtual Raw MIDI 0-3:VirMIDI 0-3"}) {
        EXPECT_NE(std::find(names.begin(), names.end(), expected), names.end()) << expected;
    }
    EXPECT_TRUE(sourceIndex("Virtual Raw MIDI 0-1:VirMIDI 0-1").has_value());

    std::vector<std::string> models;
    manager().getMidiOutDevices(models);
    EXPECT_EQ(models.size(), names.size());
    EXPECT_NE(std::find(models.begin(), models.end(), "Virtual Raw MIDI 0-0"), models.end());
    // The clients of this program ("ZAV Editor") are not endpoints.
    EXPECT_EQ(std::find(models.begin(), models.end(), "ZAV Editor"), models.end());
}

// Midi Through and virmidi are software ports; a USB MIDI device is a
// hardware port and must come before them all, though its client number is
// higher. The VM has one when its runner plugs in the USB MIDI gadget.
TEST_F(AlsaSeqIntegration, HardwarePortsAreListedBeforeSoftwarePorts)
{
    struct Endpoint {
        std::string name;
        std::string model;
        bool hardware;
    };
    const auto list = [](ItemCount count, MIDIEndpointRef (*at)(ItemCount)) {
        std::vector<Endpoint> endpoints;
        for (ItemCount i = 0; i < count; ++i) {
            const MIDIEndpointRef endpoint = at(i);
            std::int32_t hardware = -1;
            EXPECT_EQ(MIDIObjectGetIntegerProperty(endpoint, kMIDIPropertyHardware, &hardware), noErr);
            std::string model;
            EXPECT_EQ(MIDIObjectGetStringProperty(endpoint, kMIDIPropertyModel, &model), noErr);
            endpoints.push_back({displayName(endpoint).value_or("?"), model, hardware == 1});
        }
        return endpoints;
    };
    // The instrument the VM plugs in, by its port's display name.
    const char* usbPort = std::getenv("MIRELO_VM_USB_PORT_NAME");
    const bool usbPlugged = usbPort != nullptr && *usbPort != '\0';
    const std::string usbName = usbPlugged ? usbPort : "";

    const std::pair<const char*, std::vector<Endpoint>> kinds[] = {
        {"destination", list(MIDIGetNumberOfDestinations(), MIDIGetDestination)},
        {"source", list(MIDIGetNumberOfSources(), MIDIGetSource)},
    };
    for (const auto& [kind, endpoints] : kinds) {
        SCOPED_TRACE(kind);
        std::optional<std::size_t> firstSoftware;
        std::optional<std::size_t> usb;
        for (std::size_t i = 0; i < endpoints.size(); ++i) {
            const Endpoint& e = endpoints[i];
            std::printf("%s %zu: %s (%s)\n", kind, i, e.name.c_str(), e.hardware ? "hardware" : "software");
            if (!e.hardware && !firstSoftware) {
                firstSoftware = i;
            }
            EXPECT_FALSE(e.hardware && firstSoftware) << e.name << " is hardware but comes after a software port";
            if (e.name == "Midi Through Port-0" || e.model.starts_with("Virtual Raw MIDI")) {
                EXPECT_FALSE(e.hardware) << e.name;
            }
            if (usbPlugged && e.name == usbName) {
                usb = i;
                EXPECT_TRUE(e.hardware) << e.name;
            }
        }
        EXPECT_TRUE(firstSoftware.has_value()) << "Midi Through and virmidi are there";
        if (usbPlugged) {
            ASSERT_TRUE(usb.has_value()) << usbName << " is plugged in";
            // Ahead of Midi Through, virmidi and the gadget's own end: the
            // instrument is what a user who picks nothing gets.
            EXPECT_EQ(endpoints.front().name, usbName);
        }
    }
}

TEST_F(AlsaSeqIntegration, UpdateReachesASoftwareClientWholeInOrderAndOnTime)
{
    SeqRecorder recorder("mirelo recorder", "input");
    ASSERT_TRUE(recorder.ok());
    const std::optional<unsigned long> index = destinationIndex("mirelo recorder:input");
    ASSERT_TRUE(index.has_value());
    ASSERT_EQ(manager().openMidiOut(*index), noErr);

    const std::vector<Scheduled> messages = schedule({{0, 6},
                                                      {0, 256},
                                                      {48, 257},
                                                      {96, 1024},
                                                      {192, 3000},
                                                      {240, 20000},
                                                      {480, 300},
                                                      {480, 8},
                                                      {720, 4096},
                                                      {960, 100}});
    std::vector<int> progress;
    const std::uint64_t start = runUpdate(updateFile(messages), &progress);

    const std::vector<SeqRecorder::Event> events = recorder.waitForSysEx(messages.size(), 10s);
    std::vector<SeqRecorder::Event> sysEx;
    std::copy_if(events.begin(), events.end(), std::back_inserter(sysEx),
                 [](const SeqRecorder::Event& e) { return e.type == SND_SEQ_EVENT_SYSEX; });
    ASSERT_EQ(sysEx.size(), messages.size()) << "each message must arrive as one event";
    for (std::size_t i = 0; i < messages.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(sysEx[i].bytes, messages[i].message);
        const std::uint64_t dueNs = start + sendTimeMs(messages[i].tick) * 1'000'000;
        EXPECT_GE(sysEx[i].arrivedNs, dueNs) << "arrived before its send time";
        EXPECT_LE(sysEx[i].arrivedNs, dueNs + 5'000'000'000ULL);
    }
    EXPECT_EQ(progress, (std::vector<int>{10, 20, 30, 40, 50, 60, 70, 80, 90}));
    std::printf("software client: %zu messages arrived whole, last at %.0f ms (due %llu ms)\n", sysEx.size(),
                static_cast<double>(sysEx.back().arrivedNs - start) / 1e6,
                static_cast<unsigned long long>(sendTimeMs(messages.back().tick)));
    manager().closeMidiOut();
}

TEST_F(AlsaSeqIntegration, UpdateToAVirmidiPortLosesNothingAndKeepsToTheWireRate)
{
    RawMidiReader wire("hw:0,0"); // the raw side of "Virtual Raw MIDI 0-0"
    ASSERT_TRUE(wire.ok());
    const std::optional<unsigned long> index = destinationIndex("Virtual Raw MIDI 0-0:VirMIDI 0-0");
    ASSERT_TRUE(index.has_value());
    ASSERT_EQ(manager().openMidiOut(*index), noErr);

    // About 12 KB due within 500 ms: far tighter than the wire.
    const std::vector<Scheduled> messages =
        schedule({{0, 6}, {0, 512}, {48, 3000}, {96, 2000}, {144, 4096}, {192, 257}, {240, 1500}, {480, 600}});
    Bytes expected;
    for (const Scheduled& s : messages) {
        expected.insert(expected.end(), s.message.begin(), s.message.end());
    }
    std::vector<int> progress;
    const std::uint64_t start = runUpdate(updateFile(messages), &progress);
    const std::uint64_t returned = mirelo::platform::clock().monotonicNanoseconds();

    const std::vector<RawMidiReader::Chunk> chunks = wire.waitForBytes(expected.size(), 10s);
    Bytes received;
    std::vector<std::uint64_t> byteTimes;
    for (const RawMidiReader::Chunk& c : chunks) {
        received.insert(received.end(), c.bytes.begin(), c.bytes.end());
        byteTimes.insert(byteTimes.end(), c.bytes.size(), c.arrivedNs);
    }
    ASSERT_EQ(received.size(), expected.size());
    EXPECT_TRUE(received == expected) << "bytes changed or reordered on the way";

    std::size_t offset = 0;
    for (std::size_t i = 0; i < messages.size(); ++i) {
        SCOPED_TRACE(i);
        const std::uint64_t dueNs = start + sendTimeMs(messages[i].tick) * 1'000'000;
        EXPECT_GE(byteTimes[offset], dueNs) << "arrived before its send time";
        offset += messages[i].message.size();
    }
    // Without pacing the whole file would pass in an instant; with it, all
    // that exceeds what the pacer lets stand in the device's buffer takes the
    // wire's time.
    const double wireSeconds =
        static_cast<double>(expected.size() - mirelo::midi::alsa::WirePacer::kOutstandingLimit) / 3125.0;
    const double tookSeconds = static_cast<double>(byteTimes.back() - start) / 1e9;
    EXPECT_GE(tookSeconds, wireSeconds * 0.95);
    EXPECT_LE(tookSeconds, wireSeconds + 10);
    std::printf("virmidi: %zu bytes in %zu messages arrived unchanged in %.2f s (wire model %.2f s, transfer "
                "returned after %.2f s)\n",
                received.size(), messages.size(), tookSeconds, wireSeconds,
                static_cast<double>(returned - start) / 1e9);
    manager().closeMidiOut();
}

TEST_F(AlsaSeqIntegration, InputFromAVirmidiPortArrivesAsCompleteSysEx)
{
    const std::optional<unsigned long> index = sourceIndex("Virtual Raw MIDI 0-1:VirMIDI 0-1");
    ASSERT_TRUE(index.has_value());
    struct Received {
        std::mutex mutex;
        std::condition_variable arrived;
        std::vector<Bytes> messages;
    } received;
    auto callback = [](void* context, const Byte* data, std::uint32_t length) {
        auto* r = static_cast<Received*>(context);
        std::lock_guard lock(r->mutex);
        r->messages.emplace_back(data, data + length);
        r->arrived.notify_all();
    };
    ASSERT_EQ(manager().openMidiIn(*index, callback, &received, 512), noErr);

    snd_rawmidi_t* out = nullptr;
    ASSERT_GE(snd_rawmidi_open(nullptr, &out, "hw:0,1", 0), 0);
    const std::vector<Bytes> sent = {CSmfImageBuilder::message(6, 7),
                                     {0x90, 0x3C, 0x64},
                                     CSmfImageBuilder::message(5000, 8),
                                     CSmfImageBuilder::message(300, 9)};
    for (const Bytes& m : sent) {
        ASSERT_EQ(snd_rawmidi_write(out, m.data(), m.size()), static_cast<ssize_t>(m.size()));
    }
    snd_rawmidi_drain(out);

    std::unique_lock lock(received.mutex);
    received.arrived.wait_for(lock, 10s, [&] { return received.messages.size() >= 3; });
    ASSERT_EQ(received.messages.size(), 3u);
    EXPECT_EQ(received.messages[0], sent[0]);
    EXPECT_EQ(received.messages[1], sent[2]);
    EXPECT_EQ(received.messages[2], sent[3]);
    lock.unlock();
    snd_rawmidi_close(out);
    manager().closeMidiIn();
}

TEST_F(AlsaSeqIntegration, PortsComingAndGoingAreAnnouncedOnTheMainLoop)
{
    NotifyLog log;
    MIDIClientRef document = 0;
    ASSERT_EQ(MIDIClientCreate("REVArodoz", notifyProc, &log, &document), noErr);
    s_loop->runFor(300ms);
    log.ids.clear();

    // Our own ports come and go as outputs are opened: no setup change.
    ASSERT_EQ(manager().openMidiOut(0), noErr);
    ASSERT_EQ(manager().openMidiOut(0), noErr);
    s_loop->runFor(500ms);
    EXPECT_TRUE(log.ids.empty()) << log.ids.size() << " notifications for our own ports";

    {
        SeqRecorder device("mirelo hotplug", "plug");
        ASSERT_TRUE(device.ok());
        EXPECT_TRUE(s_loop->runUntil([&] { return log.has(kMIDIMsgSetupChanged); }, 5s));
        ASSERT_TRUE(destinationIndex("mirelo hotplug:plug").has_value());

        const int extra = device.addPort("second");
        ASSERT_GE(extra, 0);
        log.ids.clear();
        EXPECT_TRUE(s_loop->runUntil([&] { return log.has(kMIDIMsgSetupChanged); }, 5s));
        const std::optional<unsigned long> extraIndex = destinationIndex("mirelo hotplug:second");
        ASSERT_TRUE(extraIndex.has_value());
        const MIDIEndpointRef extraRef = MIDIGetDestination(*extraIndex);

        log.ids.clear();
        ASSERT_EQ(device.removePort(extra), 0);
        EXPECT_TRUE(
            s_loop->runUntil([&] { return log.has(kMIDIMsgObjectRemoved) && log.has(kMIDIMsgSetupChanged); }, 5s));
        std::string name;
        EXPECT_EQ(MIDIObjectGetStringProperty(extraRef, kMIDIPropertyName, &name), kMIDIObjectNotFound);
        EXPECT_FALSE(destinationIndex("mirelo hotplug:second").has_value());
        log.ids.clear();
    }
    EXPECT_TRUE(s_loop->runUntil([&] { return log.has(kMIDIMsgObjectRemoved) && log.has(kMIDIMsgSetupChanged); }, 5s));
    EXPECT_FALSE(log.offMainThread);
    EXPECT_EQ(MIDIClientDispose(document), noErr);
    manager().closeMidiOut();
}

TEST_F(AlsaSeqIntegration, AnUnpluggedDeviceGivesAnErrorNeverASilentSuccess)
{
    ASSERT_EQ(geteuid(), 0u) << "needs root to unload snd-virmidi (the VM runs as root)";
    NotifyLog log;
    MIDIClientRef document = 0;
    ASSERT_EQ(MIDIClientCreate("REVArodoz", notifyProc, &log, &document), noErr);

    const std::string name = "Virtual Raw MIDI 0-2:VirMIDI 0-2";
    std::optional<unsigned long> index = destinationIndex(name);
    ASSERT_TRUE(index.has_value());
    ASSERT_EQ(manager().openMidiOut(*index), noErr);
    const Bytes message = CSmfImageBuilder::message(600, 3);

    ASSERT_EQ(std::system("rmmod snd_virmidi"), 0);
    EXPECT_TRUE(s_loop->runUntil([&] { return log.has(kMIDIMsgObjectRemoved) && log.has(kMIDIMsgSetupChanged); }, 5s));
    EXPECT_FALSE(destinationIndex(name).has_value());
    const OSStatus gone = manager().sendLongMessage(message.data(), static_cast<int>(message.size()));
    EXPECT_NE(gone, noErr);
    std::printf("send to the unplugged %s: status %d\n", name.c_str(), static_cast<int>(gone));

    log.ids.clear();
    ASSERT_EQ(std::system("modprobe snd-virmidi"), 0);
    EXPECT_TRUE(s_loop->runUntil([&] { return log.has(kMIDIMsgSetupChanged) && destinationIndex(name); }, 5s));
    index = destinationIndex(name);
    ASSERT_TRUE(index.has_value());
    ASSERT_EQ(manager().openMidiOut(*index), noErr);
    EXPECT_EQ(manager().sendLongMessage(message.data(), static_cast<int>(message.size())), noErr);
    EXPECT_FALSE(log.offMainThread);
    manager().closeMidiOut();
    EXPECT_EQ(MIDIClientDispose(document), noErr);
}

} // namespace
