#pragma once
// Payload of a channel message: the status byte (message and channel) and the
// one or two data bytes that follow it in the file.

#include <cstdint>

class CMidiShortEvent {
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

    uint32_t getSize() const { return m_size; }
    const uint8_t* getParam() const { return m_param; }

    void setParam(const uint8_t* inParam, uint32_t inSize);
    void clearParam();

private:
    uint8_t m_type;
    uint32_t m_size;
    uint8_t* m_param;
};
