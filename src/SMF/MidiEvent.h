#pragma once
// One timed event of a track: a channel message, a meta event or a SysEx
// message, told apart by the event type, with its absolute time in ticks.

#include <cstdint>

#include "SMF/MidiMetaEvent.h"
#include "SMF/MidiShortEvent.h"
#include "SMF/MidiSysExEvent.h"

class CMidiEvent {
public:
    // Event types. The numbers are relied on by the firmware transfer.
    enum : uint32_t {
        kEventTypeNone = 0, // only on creation
        kEventTypeShort = 1,
        kEventTypeSysEx = 2,
        kEventTypeMeta = 3
    };

    CMidiEvent();
    ~CMidiEvent();
    CMidiEvent(const CMidiEvent&) = delete;
    CMidiEvent& operator=(const CMidiEvent&) = delete;

    static uint32_t GetShortEventType(uint8_t inStatus);
    static uint32_t GetMetaEventType(uint8_t inType);

    void setType(uint8_t inType) { m_type = inType; }
    uint32_t getType() const { return m_type; }

    void setDataType(uint32_t inType);
    uint32_t getDataType() const;

    uint32_t getDataSize() const;
    void setDataParam(const uint8_t* inData, uint32_t inSize);
    void getDataParam(uint8_t* ioBuff) const;

    void resetEvent();

    // The payload as the class its event type says; null for any other type.
    const CMidiShortEvent* getShortData() const;
    const CMidiMetaEvent* getMetaData() const;
    const CMidiSysExEvent* getSysExData() const;
    CMidiShortEvent* getShortData();
    CMidiMetaEvent* getMetaData();
    CMidiSysExEvent* getSysExData();

private:
    // The three payload classes share one layout, so one storage serves them all.
    union {
        CMidiShortEvent m_short;
        CMidiMetaEvent m_meta;
        CMidiSysExEvent m_sysEx;
    };
    uint32_t m_type;

public:
    uint32_t time; // absolute ticks from the start of the track, modulo 2^32
};
