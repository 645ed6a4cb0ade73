#include "QORMIDIManager_Mac.h"

#include "platform/base/Clock.h"
#include "platform/base/CriticalRegion.h"
#include "platform/base/ScopedCriticalRegion.h"
#include "platform/base/SysExBytes.h"

#include <algorithm>
#include <cstdio>
#include <mutex>

struct SPrivateMember {
    MIDIClientRef client = 0;
    MIDIPortRef inputPort = 0;
    MIDIPortRef outputPort = 0;
    MIDIEndpointRef sourceEndpoint = 0;
    MIDIEndpointRef destinationEndpoint = 0;
    MPCriticalRegionID criticalRegion = nullptr;
    std::vector<Byte> sysExBuffer;
    std::int32_t sysExReserve = 0;
    // Counts closes of the input, so a packet list can tell that its
    // callback closed (and perhaps reopened) the input under it.
    std::uint64_t inputCloses = 0;
    // Guards outputPort, destinationEndpoint, the output's started flag and
    // the unsent count: the update worker sends while the main thread may
    // reopen the output.
    std::mutex outputGuard;
    CQORMIDIManager::SUnsent unsent;
};

namespace {

constexpr const char* kSourceFileName = "QORMIDIManager_Mac.cpp";
constexpr const char* kClientName = "ZAV Editor";
constexpr const char* kInputPortName = "MIDI INPUT";
constexpr const char* kOutputPortName = "MIDI OUTPUT";
constexpr std::size_t kChunkSize = 256;
constexpr std::size_t kShortMessageListSize = 272;
// List bytes per 256 message bytes: the data and a packet header, with room to spare.
constexpr std::size_t kListBytesPerChunk = 268;
using mirelo::platform::kSysExEnd;
using mirelo::platform::kSysExStart;
constexpr Byte kFirstStatusByte = 0x80;

void report(const char* message, int line)
{
    std::fprintf(stderr, "%s (%s:%d)\n", message, kSourceFileName, line);
}

std::string readModel(MIDIEndpointRef endpoint)
{
    std::string model;
    if (MIDIObjectGetStringProperty(endpoint, kMIDIPropertyModel, &model) != noErr) {
        return {};
    }
    // The entry is a C string: it ends at the first NUL.
    model.resize(std::min(model.size(), model.find('\0')));
    return model;
}

void appendModels(ItemCount count, MIDIEndpointRef (*endpointAt)(ItemCount), std::vector<std::string>& devices)
{
    for (ItemCount index = 0; index < count; ++index) {
        devices.push_back(readModel(endpointAt(index)));
    }
}

// Whether an endpoint carrying the open endpoint's name is still there. An
// open endpoint whose name cannot be read any more counts as gone.
bool namePresent(MIDIEndpointRef open, ItemCount (*count)(), MIDIEndpointRef (*endpointAt)(ItemCount))
{
    std::string openName;
    if (MIDIObjectGetStringProperty(open, kMIDIPropertyName, &openName) != noErr) {
        return false;
    }
    const ItemCount total = count();
    for (ItemCount index = 0; index < total; ++index) {
        std::string name;
        if (MIDIObjectGetStringProperty(endpointAt(index), kMIDIPropertyName, &name) == noErr && name == openName) {
            return true;
        }
    }
    return false;
}

} // namespace

CQORMIDIManager* CQORMIDIManager::s_instance = nullptr;

int CQORMIDIManager::initialize(MIDINotifyProc notifyProc, void* notifyContext)
{
    terminate();
    s_instance = new CQORMIDIManager(notifyProc, notifyContext);
    return 0;
}

void CQORMIDIManager::terminate()
{
    delete s_instance;
    s_instance = nullptr;
}

CQORMIDIManager* CQORMIDIManager::instance()
{
    return s_instance;
}

CQORMIDIManager::CQORMIDIManager(MIDINotifyProc notifyProc, void* notifyContext)
    : m_private(std::make_unique<SPrivateMember>())
{
    if (MIDIClientCreate(kClientName, notifyProc, notifyContext, &m_private->client) != noErr) {
        report("MIDIClientCreate returned error.", __LINE__);
    }
    if (MPCreateCriticalRegion(&m_private->criticalRegion) != noErr) {
        report("MPCreateCriticalRegion returned error.", __LINE__);
    }
}

CQORMIDIManager::~CQORMIDIManager()
{
    closeMidiIn();
    closeMidiOut();
    // Teardown: a refusal here leaves nothing to undo.
    if (m_private->client != 0) {
        static_cast<void>(MIDIClientDispose(m_private->client));
        m_private->client = 0;
    }
    if (m_private->criticalRegion != nullptr) {
        static_cast<void>(MPDeleteCriticalRegion(m_private->criticalRegion));
        m_private->criticalRegion = nullptr;
    }
}

void CQORMIDIManager::getMidiInDevices(std::vector<std::string>& devices)
{
    appendModels(MIDIGetNumberOfSources(), MIDIGetSource, devices);
}

void CQORMIDIManager::getMidiOutDevices(std::vector<std::string>& devices)
{
    appendModels(MIDIGetNumberOfDestinations(), MIDIGetDestination, devices);
}

OSStatus CQORMIDIManager::openMidiIn(unsigned long sourceIndex, InputCallback callback, void* context,
                                     int bufferReserve)
{
    closeMidiIn();
    {
        mirelo::platform::ScopedCriticalRegion hold(m_private->criticalRegion);
        m_inputCallback = callback;
        m_inputContext = context;
    }
    const OSStatus created =
        MIDIInputPortCreate(m_private->client, kInputPortName, procMidiIn, this, &m_private->inputPort);
    if (created != noErr) {
        return created;
    }
    m_private->sourceEndpoint = MIDIGetSource(sourceIndex);
    const OSStatus connected = MIDIPortConnectSource(m_private->inputPort, m_private->sourceEndpoint, this);
    {
        // Input may already be arriving on the receive thread.
        mirelo::platform::ScopedCriticalRegion hold(m_private->criticalRegion);
        m_private->sysExReserve = std::max(bufferReserve, 0);
        m_private->sysExBuffer.reserve(static_cast<std::size_t>(m_private->sysExReserve));
    }
    return connected;
}

OSStatus CQORMIDIManager::closeMidiIn()
{
    OSStatus status = noErr;
    {
        // Waits for a packet list being handled on the receive thread, so the
        // callback cannot run once this returns.
        mirelo::platform::ScopedCriticalRegion hold(m_private->criticalRegion);
        m_inputCallback = nullptr;
        m_inputContext = nullptr;
        m_startedIn = false;
        ++m_private->inputCloses;
        if (m_private->sourceEndpoint != 0) {
            status = MIDIPortDisconnectSource(m_private->inputPort, m_private->sourceEndpoint);
            if (status != noErr) {
                report("MIDIPortDisconnectSource returned error.", __LINE__);
            }
            m_private->sourceEndpoint = 0;
        }
    }
    // Disposed outside the region: a backend may wait here for a read
    // procedure that is itself waiting for the region.
    if (m_private->inputPort != 0) {
        status = MIDIPortDispose(m_private->inputPort);
        m_private->inputPort = 0;
    }
    return status;
}

OSStatus CQORMIDIManager::openMidiOut(unsigned long destinationIndex)
{
    std::lock_guard guard(m_private->outputGuard);
    closeMidiOutLocked();
    const OSStatus created = MIDIOutputPortCreate(m_private->client, kOutputPortName, &m_private->outputPort);
    m_private->destinationEndpoint = MIDIGetDestination(destinationIndex);
    return created;
}

OSStatus CQORMIDIManager::closeMidiOut()
{
    std::lock_guard guard(m_private->outputGuard);
    return closeMidiOutLocked();
}

OSStatus CQORMIDIManager::closeMidiOutLocked()
{
    // Dropping what is still queued is best effort: the output closes either way.
    if (m_private->destinationEndpoint != 0) {
        static_cast<void>(MIDIFlushOutput(m_private->destinationEndpoint));
    }
    m_startedOut = false;
    m_private->destinationEndpoint = 0;
    if (m_private->outputPort == 0) {
        return noErr;
    }
    const OSStatus status = MIDIPortDispose(m_private->outputPort);
    m_private->outputPort = 0;
    return status;
}

OSStatus CQORMIDIManager::startMidiIn()
{
    m_startedIn = true;
    return noErr;
}

OSStatus CQORMIDIManager::startMidiOut()
{
    std::lock_guard guard(m_private->outputGuard);
    m_startedOut = true;
    return noErr;
}

OSStatus CQORMIDIManager::stopMidiIn()
{
    m_startedIn = false;
    return noErr;
}

OSStatus CQORMIDIManager::stopMidiOut()
{
    std::lock_guard guard(m_private->outputGuard);
    // Best effort, as when closing: stopping succeeds either way.
    if (m_private->destinationEndpoint != 0) {
        static_cast<void>(MIDIFlushOutput(m_private->destinationEndpoint));
    }
    m_startedOut = false;
    return noErr;
}

bool CQORMIDIManager::isOpenedMidiIn() const
{
    return m_private->inputPort != 0;
}

bool CQORMIDIManager::isOpenedMidiOut() const
{
    std::lock_guard guard(m_private->outputGuard);
    return m_private->outputPort != 0;
}

bool CQORMIDIManager::isStartedMidiIn() const
{
    return m_startedIn;
}

bool CQORMIDIManager::isStartedMidiOut() const
{
    std::lock_guard guard(m_private->outputGuard);
    return m_startedOut;
}

void CQORMIDIManager::healthCheck()
{
    const MIDIEndpointRef source = m_private->sourceEndpoint;
    if (source != 0 && !namePresent(source, MIDIGetNumberOfSources, MIDIGetSource)) {
        closeMidiIn();
    }

    MIDIEndpointRef destination = 0;
    {
        std::lock_guard guard(m_private->outputGuard);
        destination = m_private->destinationEndpoint;
    }
    if (destination == 0 || namePresent(destination, MIDIGetNumberOfDestinations, MIDIGetDestination)) {
        return;
    }
    std::lock_guard guard(m_private->outputGuard);
    // Leave an output that was reopened elsewhere while we looked.
    if (m_private->destinationEndpoint == destination) {
        closeMidiOutLocked();
    }
}

OSStatus CQORMIDIManager::sendShortMessage(int channel, int status, int data1, int data2)
{
    std::lock_guard guard(m_private->outputGuard);
    if (m_private->outputPort == 0 || m_private->destinationEndpoint == 0) {
        return noErr;
    }
    Byte bytes[3] = {static_cast<Byte>((channel & 0x0F) | (status & 0xF0)), static_cast<Byte>(data1 & 0xFF),
                     static_cast<Byte>(data2 & 0xFF)};
    ByteCount length = 3;
    if (status >= 0xF1) {
        bytes[0] = static_cast<Byte>(status & 0xFF);
        length = status == 0xF2 ? 3 : (status == 0xF1 || status == 0xF3) ? 2 : 1;
    } else if (status == 0xC0 || status == 0xD0) {
        length = 2;
    } else if (status == 0xF0) {
        return kMIDIMessageSendErr;
    }

    mirelo::midi::PacketListStorage storage(kShortMessageListSize);
    // Three bytes always fit the 272 of a short message's list.
    static_cast<void>(storage.add(AudioGetCurrentHostTime(), bytes, length));
    return MIDISend(m_private->outputPort, m_private->destinationEndpoint, storage.list());
}

OSStatus CQORMIDIManager::sendLongMessage(const Byte* data, int length)
{
    if (length < 0) {
        return kMIDIMessageSendErr;
    }
    std::lock_guard guard(m_private->outputGuard);
    if (m_private->destinationEndpoint == 0) {
        ++m_private->unsent.messages;
        m_private->unsent.bytes += static_cast<std::uint64_t>(length);
        return noErr;
    }
    const auto total = static_cast<std::size_t>(length);
    if (total > 0 && data == nullptr) {
        return kParamErr;
    }
    // The extra 272 bytes cover the list header and one full packet.
    const std::size_t listSize = total * kListBytesPerChunk / kChunkSize + kShortMessageListSize;
    mirelo::midi::PacketListStorage storage(listSize);
    const MIDITimeStamp now = AudioGetCurrentHostTime();
    for (std::size_t offset = 0; offset < total;) {
        const std::size_t chunk = std::min(total - offset, kChunkSize);
        if (!storage.add(now, data + offset, chunk)) {
            return kMIDIMessageSendErr;
        }
        offset += chunk;
    }
    return MIDISend(m_private->outputPort, m_private->destinationEndpoint, storage.list());
}

CQORMIDIManager::SUnsent CQORMIDIManager::unsentLongMessages() const
{
    std::lock_guard guard(m_private->outputGuard);
    return m_private->unsent;
}

void CQORMIDIManager::procMidiIn(const MIDIPacketList* packetList, void* readProcRefCon, void* /*srcConnRefCon*/)
{
    auto* manager = static_cast<CQORMIDIManager*>(readProcRefCon);
    if (manager == nullptr || packetList == nullptr) {
        return;
    }
    manager->handlePacketList(*packetList);
}

void CQORMIDIManager::handlePacketList(const MIDIPacketList& packetList)
{
    mirelo::platform::ScopedCriticalRegion hold(m_private->criticalRegion);
    // Checked with the region held: closeMidiIn clears it under the region.
    if (m_inputCallback == nullptr) {
        return;
    }
    std::vector<Byte>& buffer = m_private->sysExBuffer;
    const std::uint64_t closes = m_private->inputCloses;
    try {
        for (const MIDIPacket& packet : mirelo::midi::packetsOf(packetList)) {
            for (const Byte b : mirelo::midi::packetBytes(packet)) {
                if (b < kFirstStatusByte) {
                    if (!buffer.empty()) {
                        buffer.push_back(b);
                    }
                    continue;
                }
                if (!buffer.empty()) {
                    if (b == kSysExEnd) {
                        buffer.push_back(b);
                        m_inputCallback(m_inputContext, buffer.data(), static_cast<std::uint32_t>(buffer.size()));
                        if (m_private->inputCloses != closes) {
                            // The callback closed the input: the rest of this list
                            // belongs to no one, and the next open starts clean.
                            buffer.clear();
                            return;
                        }
                    }
                    buffer.clear();
                }
                if (b == kSysExStart) {
                    buffer.push_back(b);
                }
            }
        }
    } catch (...) {
        // The rest of this list is dropped; the buffer keeps its state.
    }
}

void CQORMIDIManager::procMidiOut(MIDISysexSendRequest* /*request*/) {}
