#pragma once
// Payload of a meta event: the meta type byte as stored in the file and the
// event's data bytes (without 0xFF, the type byte and the length).

#include "SMF/MidiPayload.h"

#include <cstdint>

class CMidiMetaEvent : public CMidiPayload {
public:
    // Meta type indices: positions in sMsgType.
    enum : uint32_t {
        kTypeSequenceNumber = 0,
        kTypeText,
        kTypeCopyright,
        kTypeSequenceName,
        kTypeInstrumentName,
        kTypeLyric,
        kTypeMarker,
        kTypeCuePoint,
        kTypeChannelPrefix,
        kTypeEndOfTrack,
        kTypeTempo,
        kTypeSmpteOffset,
        kTypeTimeSignature,
        kTypeKeySignature,
        kTypeSequencerSpecific,
        kTypeMax // any other meta type byte
    };
    static constexpr uint8_t sMsgType[kTypeMax] = {
        0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x20, 0x2F, 0x51, 0x54, 0x58, 0x59, 0x7F,
    };

    // Must stay trivial: CMidiEvent keeps the payload in a union and zeroes it.
    CMidiMetaEvent() = default;

    void setType(uint32_t inType);
    uint32_t getType() const;

    // The meta type byte exactly as stored, also when it has no index.
    uint8_t getTypeByte() const { return m_type; }
    void setTypeByte(uint8_t inType) { m_type = inType; }

    // Replaces the param by a copy of inSize bytes (an empty array, not null, for 0).
    void setParam(const uint8_t* inParam, uint32_t inSize);

    // Bytes of the variable-length quantity that encodes the size.
    uint32_t getSizeBytes() const;

    // Sequencer-specific data of the 0x43 0x7B family: chord and rehearsal mark.
    bool isChordEventData() const;
    bool isRehearsalMarkEventData() const;
};
