#include "SMF/Chunk.h"

#include "SMF/SMFAssert.h"
#include "SMF/SMFUtil.h"

bool CChunk::readChunkHeader(const uint8_t* pBuff, uint32_t inSize, uint32_t& outBodySize)
{
    SMF_ASSERT(nullptr != pBuff);
    if (inSize < kChunkHeadSize) {
        return false;
    }
    const uint32_t tag = readBigEndian32(pBuff);
    if (m_tag != 0 && m_tag != tag) {
        return false;
    }
    m_tag = tag;
    const uint32_t bodySize = readBigEndian32(pBuff + 4);
    if (bodySize > inSize - kChunkHeadSize) {
        return false;
    }
    outBodySize = bodySize;
    return true;
}

bool CChunk::writeChunkHeader(uint8_t* ioBuff)
{
    SMF_ASSERT(nullptr != ioBuff);
    writeBigEndian32(m_tag, ioBuff);
    writeBigEndian32(getChunkDataSize(), ioBuff + 4);
    return true;
}

bool CChunk::setData(const uint8_t* pBuff, uint32_t inSize, uint32_t& outConsumed)
{
    outConsumed = 0;
    uint32_t bodySize = 0;
    if (!readChunkHeader(pBuff, inSize, bodySize)) {
        return false;
    }
    outConsumed += kChunkHeadSize;
    if (!readChunkBody(pBuff + kChunkHeadSize, bodySize)) {
        return false;
    }
    outConsumed += bodySize;
    return true;
}

bool CChunk::getData(uint8_t* ioBuff, uint32_t& outWritten)
{
    if (!writeChunkHeader(ioBuff)) {
        return false;
    }
    uint32_t written = 0;
    if (!writeChunkBody(ioBuff + kChunkHeadSize, written)) {
        return false;
    }
    outWritten = written + kChunkHeadSize;
    return true;
}

void CChunk::reset(uint32_t inTag)
{
    resetChunkData();
    m_tag = inTag;
}
