#pragma once
// The process's single gateway to the MIDI services: one client, at most one
// input port on one source and one output port aimed at one destination.
// Sending and opening/closing the output may run on different threads: the
// output state is guarded so a send never uses a disposed port.

#include "platform/midi/MIDIServices.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct SPrivateMember;

class CQORMIDIManager {
public:
    // Receives each complete incoming SysEx message, F0 to F7; the bytes are
    // valid only during the call, which runs on the MIDI receive thread.
    using InputCallback = void (*)(void* context, const Byte* data, std::uint32_t length);

    // Replaces any existing manager. Always returns 0.
    static int initialize(MIDINotifyProc notifyProc, void* notifyContext);
    static void terminate();
    static CQORMIDIManager* instance();

    CQORMIDIManager(MIDINotifyProc notifyProc, void* notifyContext);
    ~CQORMIDIManager();
    CQORMIDIManager(const CQORMIDIManager&) = delete;
    CQORMIDIManager& operator=(const CQORMIDIManager&) = delete;

    // Append one model name per endpoint, in index order ("" when unreadable).
    void getMidiInDevices(std::vector<std::string>& devices);
    void getMidiOutDevices(std::vector<std::string>& devices);

    OSStatus openMidiIn(unsigned long sourceIndex, InputCallback callback, void* context, int bufferReserve);
    OSStatus openMidiOut(unsigned long destinationIndex);
    // Once this returns, the input callback is not running and will not run.
    OSStatus closeMidiIn();
    OSStatus closeMidiOut();
    OSStatus startMidiIn();
    OSStatus startMidiOut();
    OSStatus stopMidiIn();
    OSStatus stopMidiOut();
    bool isOpenedMidiIn() const;
    bool isOpenedMidiOut() const;
    bool isStartedMidiIn() const;
    bool isStartedMidiOut() const;

    // Closes a direction whose endpoint is gone: no endpoint of that kind
    // carries its name any more, or its own name can no longer be read. Only
    // the controller's healthCheck calls it, and nothing in the program calls
    // that (see CZAVController), so an output stays open to a removed device
    // and its sends fail with the backend's status.
    void healthCheck();

    OSStatus sendShortMessage(int channel, int status, int data1, int data2);
    // Sends the bytes as one packet list of 256-byte packets sharing one
    // timestamp. 0 with nothing sent when no destination is set;
    // kMIDIMessageSendErr with nothing sent for a negative length.
    OSStatus sendLongMessage(const Byte* data, int length);

    // The long messages that found no destination and went nowhere, though
    // their sends returned 0, and their bytes, over the manager's life. A run
    // that sees the count grow lost its output on the way (closed under it by
    // a reopen, or by healthCheck when something calls it), whatever the
    // transfer's result says.
    struct SUnsent {
        std::uint64_t messages = 0;
        std::uint64_t bytes = 0;
    };
    SUnsent unsentLongMessages() const;

    static void procMidiIn(const MIDIPacketList* packetList, void* readProcRefCon, void* srcConnRefCon);
    static void procMidiOut(MIDISysexSendRequest* request);

private:
    OSStatus closeMidiOutLocked(); // output guard held
    void handlePacketList(const MIDIPacketList& packetList);

    std::unique_ptr<SPrivateMember> m_private;
    InputCallback m_inputCallback = nullptr;
    void* m_inputContext = nullptr;
    bool m_startedIn = false;
    bool m_startedOut = false;

    static CQORMIDIManager* s_instance;
};
