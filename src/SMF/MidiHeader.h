#pragma once
// The header chunk "MThd": format, track count and division.

#include <cstdint>

#include "SMF/Chunk.h"

class CMidiHeader : public CChunk {
public:
    static constexpr uint32_t kBodySize = 6;

    CMidiHeader();
    ~CMidiHeader() override;
    CMidiHeader(const CMidiHeader&) = delete;
    CMidiHeader& operator=(const CMidiHeader&) = delete;

    uint32_t getChunkDataSize() const override;
    void resetChunkData() override;
    bool readChunkBody(const uint8_t* pBuff, uint32_t inSize) override;
    bool writeChunkBody(uint8_t* ioBuff, uint32_t& outWritten) override;

    uint16_t getFormat() const { return m_format; }
    void setFormat(uint16_t inFormat) { m_format = inFormat; }
    uint16_t getTrackCount() const { return m_trackCount; }
    void setTrackCount(uint16_t inCount) { m_trackCount = inCount; }
    // Ticks per quarter note.
    uint16_t getDivision() const { return m_division; }
    void setDivision(uint16_t inDivision) { m_division = inDivision; }

private:
    uint16_t m_format;
    uint16_t m_trackCount;
    uint16_t m_division;
};
