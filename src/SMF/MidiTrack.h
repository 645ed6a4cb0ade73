#pragma once
// The track chunk "MTrk": its body read into timed events with absolute tick
// times, in file order, and written back. End of Track is dropped on reading
// and appended on writing.

#include <cstdint>
#include <vector>

#include "SMF/Chunk.h"
#include "SMF/MidiEvent.h"
#include "SMF/SMFUtil.h"

class CMidiTrack : public CChunk {
public:
    static constexpr uint8_t kEventHeaderMeta = 0xFF;
    static constexpr uint8_t kEventHeaderSysEx1 = 0xF0;
    static constexpr uint8_t kEventHeaderSysEx2 = 0xF7;
    // Longest meta or SysEx length field the reader accepts.
    static constexpr uint32_t kMaxEventLength = 0xFFFF;

    CMidiTrack();
    explicit CMidiTrack(uint32_t inTag);
    ~CMidiTrack() override;
    CMidiTrack(const CMidiTrack&) = delete;
    CMidiTrack& operator=(const CMidiTrack&) = delete;

    uint32_t getChunkDataSize() const override;
    void resetChunkData() override;
    bool readChunkBody(const uint8_t* pBuff, uint32_t inSize) override;
    // False when a delta time or length needs more than four bytes.
    bool writeChunkBody(uint8_t* ioBuff, uint32_t& outWritten) override;
    virtual void AddEvent(CMidiEvent* pEvt);

    // Factories: each reads one event at pBuff, of which buffSize bytes are
    // left in the body, and returns the bytes it took, or kInvalidCount (and
    // creates nothing) when the event is malformed or runs past buffSize.
    static uint32_t NewEventData(CMidiEvent** ppEvt, const uint8_t* pBuff, uint32_t buffSize,
                                 uint32_t inPrevTime, uint8_t inRunningStatus);
    static uint32_t NewMetaEventData(CMidiEvent** ppEvt, uint32_t inTime, const uint8_t* pBuff,
                                     uint32_t buffSize);
    static uint32_t NewSysEx1Data(CMidiEvent** ppEvt, uint32_t inTime, const uint8_t* pBuff,
                                  uint32_t buffSize);
    static uint32_t NewSysEx2Data(CMidiEvent** ppEvt, uint32_t inTime, const uint8_t* pBuff,
                                  uint32_t buffSize);
    static uint32_t NewShortEventData(CMidiEvent** ppEvt, uint32_t inTime, const uint8_t* pBuff,
                                      uint32_t buffSize, uint8_t inRunningStatus);

    static void resetChunkData(std::vector<CMidiEvent*>& ioEvents);
    bool isEndOfTrackEvent(const CMidiEvent* inEvent) const;
    void sortEvents();

    const CMidiEvent* GetEvent(uint32_t inIndex) const;
    CMidiEvent* GetEvent(uint32_t inIndex);
    // The caller owns the event handed out.
    CMidiEvent* pullEvent(uint32_t inIndex);

    const std::vector<CMidiEvent*>& getEvents() const { return m_events; }
    uint32_t getEventCount() const { return static_cast<uint32_t>(m_events.size()); }

private:
    std::vector<CMidiEvent*> m_events;
};

// True when a is to come before b: by time, and at one time a sequencer-specific
// rehearsal mark first.
bool compareMidiEvent(const CMidiEvent* a, const CMidiEvent* b);
