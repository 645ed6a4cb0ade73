#pragma once
// Payload of a channel message: the status byte (message and channel) and the
// one or two data bytes that follow it in the file.

#include "SMF/MidiPayload.h"

#include <cstdint>

class CMidiShortEvent : public CMidiPayload {
public:
    // Short type indices: rows of shortMsgInfo.
    enum : uint32_t {
        kTypeNoteOff = 0,
        kTypeNoteOn,
        kTypePolyPressure,
        kTypeControlChange,
        kTypeProgramChange,
        kTypeChannelPressure,
        kTypePitchBend,
        kTypeMax // a status byte without a row
    };

    struct SMsgInfo {
        uint8_t status;   // with channel 0
        uint8_t dataSize; // data bytes after the status
    };
    static const SMsgInfo shortMsgInfo[kTypeMax];

    // Must stay trivial: CMidiEvent keeps the payload in a union and zeroes it.
    CMidiShortEvent() = default;

    void setChannel(uint8_t inChannel);
    uint8_t getChannel() const { return m_type & 0x0Fu; }

    void setType(uint32_t inType);
    uint32_t getType() const;

    // The whole status byte, as stored.
    uint8_t getStatus() const { return m_type; }
    void setStatus(uint8_t inStatus) { m_type = inStatus; }

    // Replaces the param by a copy of inSize bytes (an empty array, not null, for 0).
    void setParam(const uint8_t* inParam, uint32_t inSize);
};
