#pragma once
// Payload of a SysEx event. Read from an 0xF0 event the param is the whole
// message from 0xF0 to its last byte, ready to send; read from an 0xF7 event it
// is exactly the bytes the event's length covers.

#include "SMF/MidiPayload.h"

#include <cstdint>

class CMidiSysExEvent : public CMidiPayload {
public:
    enum : uint32_t {
        kTypeSysEx1 = 0, // param begins with 0xF0
        kTypeSysEx2 = 1  // anything else, an empty param included
    };

    // Must stay trivial: CMidiEvent keeps the payload in a union and zeroes it.
    CMidiSysExEvent() = default;

    uint32_t getType() const;

    // The type byte carries no meaning for SysEx; it only keeps the layout
    // shared with the other payloads.
    uint8_t getTypeByte() const { return m_type; }
    void setTypeByte(uint8_t inType) { m_type = inType; }

    void setParam(const uint8_t* inParam, uint32_t inSize);
    // The param becomes inLead followed by a copy of inSize bytes, built in
    // one allocation: how a message read from an 0xF0 event gets its 0xF0 back.
    void setParamWithLead(uint8_t inLead, const uint8_t* inParam, uint32_t inSize);

    uint32_t getSizeBytes() const;
};
