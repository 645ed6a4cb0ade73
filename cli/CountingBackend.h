#pragma once
// Passes every MIDI call through to another backend unchanged, counting the
// sends on the way: one MIDISend is one message of the transfer, so this is
// how `send` knows how far a run got and which status stopped it, which the
// transfer's true/false result does not say.

#include "platform/midi/MidiBackend.h"

#include <atomic>
#include <cstdint>

class CCountingBackend final : public mirelo::midi::MidiBackend {
public:
    explicit CCountingBackend(mirelo::midi::MidiBackend& inner) : m_inner(inner) {}

    // Accepted sends and the bytes they carried.
    std::uint64_t messagesSent() const { return m_messages.load(std::memory_order_acquire); }
    std::uint64_t bytesSent() const { return m_bytes.load(std::memory_order_acquire); }
    // The status of the first refused send, 0 while none was refused; the
    // refused message is number messagesSent() + 1 when the transfer stops there.
    OSStatus firstFailure() const { return m_firstFailure.load(std::memory_order_acquire); }

    const char* name() const override { return m_inner.name(); }
    OSStatus clientCreate(const std::string& name, MIDINotifyProc notifyProc, void* notifyRefCon,
                          MIDIClientRef* outClient) override;
    OSStatus clientDispose(MIDIClientRef client) override;
    OSStatus inputPortCreate(MIDIClientRef client, const std::string& portName, MIDIReadProc readProc, void* refCon,
                             MIDIPortRef* outPort) override;
    OSStatus outputPortCreate(MIDIClientRef client, const std::string& portName, MIDIPortRef* outPort) override;
    OSStatus portConnectSource(MIDIPortRef port, MIDIEndpointRef source, void* connRefCon) override;
    OSStatus portDisconnectSource(MIDIPortRef port, MIDIEndpointRef source) override;
    OSStatus portDispose(MIDIPortRef port) override;
    ItemCount numberOfSources() override;
    MIDIEndpointRef source(ItemCount index) override;
    ItemCount numberOfDestinations() override;
    MIDIEndpointRef destination(ItemCount index) override;
    OSStatus stringProperty(MIDIObjectRef obj, MIDIPropertyID propertyID, std::string* outString) override;
    OSStatus integerProperty(MIDIObjectRef obj, MIDIPropertyID propertyID, std::int32_t* outValue) override;
    OSStatus send(MIDIPortRef port, MIDIEndpointRef dest, const MIDIPacketList* pktlist) override;
    OSStatus flushOutput(MIDIEndpointRef dest) override;

private:
    mirelo::midi::MidiBackend& m_inner;
    std::atomic<std::uint64_t> m_messages{0};
    std::atomic<std::uint64_t> m_bytes{0};
    std::atomic<OSStatus> m_firstFailure{noErr};
};
