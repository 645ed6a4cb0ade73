#include "SMF/MidiHeader.h"

#include "SMF/SMFAssert.h"
#include "SMF/SMFUtil.h"

CMidiHeader::CMidiHeader() : CChunk(kChunkTagHeader), m_format(0), m_trackCount(0), m_division(0) {}

CMidiHeader::~CMidiHeader()
{
    reset(0);
}

uint32_t CMidiHeader::getChunkDataSize() const
{
    return kBodySize;
}

void CMidiHeader::resetChunkData()
{
    m_format = 0;
    m_trackCount = 0;
    m_division = 0;
}

bool CMidiHeader::readChunkBody(const uint8_t* pBuff, uint32_t inSize)
{
    // Each field is kept the moment it is read, also when a later one is missing.
    if (inSize < 2) {
        return false;
    }
    m_format = readBigEndian16(pBuff);
    if (inSize < 4) {
        return false;
    }
    m_trackCount = readBigEndian16(pBuff + 2);
    if (inSize < 6) {
        return false;
    }
    m_division = readBigEndian16(pBuff + 4);
    return true;
}

bool CMidiHeader::writeChunkBody(uint8_t* ioBuff, uint32_t& outWritten)
{
    SMF_ASSERT(nullptr != ioBuff);
    writeBigEndian16(m_format, ioBuff);
    writeBigEndian16(m_trackCount, ioBuff + 2);
    writeBigEndian16(m_division, ioBuff + 4);
    outWritten = kBodySize;
    return true;
}
