#pragma once
// Framing shared by every chunk of a Standard MIDI File: a four-character tag,
// a big-endian 32-bit body length, the body.

#include <cstdint>

class CChunk {
public:
    explicit CChunk(uint32_t inTag) : m_tag(inTag) {}
    virtual ~CChunk() = default;
    CChunk(const CChunk&) = delete;
    CChunk& operator=(const CChunk&) = delete;

    // Body length that writeChunkBody will produce.
    virtual uint32_t getChunkDataSize() const = 0;
    virtual void resetChunkData() = 0;
    virtual bool readChunkHeader(const uint8_t* pBuff, uint32_t inSize, uint32_t& outBodySize);
    virtual bool readChunkBody(const uint8_t* pBuff, uint32_t inSize) = 0;
    virtual bool writeChunkHeader(uint8_t* ioBuff);
    virtual bool writeChunkBody(uint8_t* ioBuff, uint32_t& outWritten) = 0;

    // Reads one whole chunk from inSize bytes; outConsumed is 8 plus the body
    // length on success.
    bool setData(const uint8_t* pBuff, uint32_t inSize, uint32_t& outConsumed);
    // Writes one whole chunk; the output must hold 8 + getChunkDataSize() bytes.
    bool getData(uint8_t* ioBuff, uint32_t& outWritten);
    void reset(uint32_t inTag);

    // Tags pack the four characters big-endian; 0 accepts any tag on reading.
    uint32_t getTag() const { return m_tag; }

    static constexpr uint32_t makeTag(char a, char b, char c, char d)
    {
        return (static_cast<uint32_t>(static_cast<uint8_t>(a)) << 24) |
               (static_cast<uint32_t>(static_cast<uint8_t>(b)) << 16) |
               (static_cast<uint32_t>(static_cast<uint8_t>(c)) << 8) |
               static_cast<uint32_t>(static_cast<uint8_t>(d));
    }

protected:
    uint32_t m_tag;
};

constexpr uint32_t kChunkTagHeader = CChunk::makeTag('M', 'T', 'h', 'd');
constexpr uint32_t kChunkTagTrack = CChunk::makeTag('M', 'T', 'r', 'k');
constexpr uint32_t kChunkHeadSize = 8;
