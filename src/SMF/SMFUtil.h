#pragma once
// Variable-length quantities of Standard MIDI Files: 7 bits per byte, most
// significant group first, bit 7 set on every byte but the last. At most four
// bytes are read or written, so values run from 0 to 0x0FFFFFFF.

#include <cstdint>
#include <cstring>

#include "SMF/SMFAssert.h"

// Returned for "no byte count" by the readers and writers that produce counts.
constexpr uint32_t kInvalidCount = 0xFFFFFFFFu;

// Largest value a four-byte quantity holds.
constexpr uint32_t kVariableValMax = 0x0FFFFFFFu;

// Reads a quantity from at most inAvail bytes at pBuff. Returns the number of
// bytes it took (1 to 4) and stores the value in outValue; returns 0 and leaves
// outValue alone when the quantity runs past inAvail or past a fourth byte.
inline uint32_t fetchVariableVal(const uint8_t* pBuff, uint32_t inAvail, uint32_t& outValue)
{
    SMF_ASSERT(nullptr != pBuff);
    const uint32_t limit = inAvail < 4u ? inAvail : 4u;
    uint32_t value = 0;
    for (uint32_t i = 0; i < limit; ++i) {
        const uint8_t byte = pBuff[i];
        value = (value << 7) | (byte & 0x7Fu);
        if (0 == (byte & 0x80u)) {
            outValue = value;
            return i + 1;
        }
    }
    return 0;
}

// Bytes setVariableVal needs for inValue: 1 to 4, or 5 for values past the
// four-byte range (which this library refuses to write).
constexpr uint32_t getVariableValSize(uint32_t inValue)
{
    return inValue < 0x80u         ? 1u
           : inValue < 0x4000u     ? 2u
           : inValue < 0x200000u   ? 3u
           : inValue < 0x10000000u ? 4u
                                   : 5u;
}

// Writes inValue in exactly inCount bytes. A count above the value's own size
// gives leading 0x80 bytes, which readers take as zero groups.
inline void setVariableVal(uint32_t inValue, uint32_t inCount, uint8_t* ioBuff)
{
    SMF_ASSERT(nullptr != ioBuff);
    uint64_t value = inValue;
    for (uint32_t i = inCount; i > 0; --i) {
        uint8_t byte = static_cast<uint8_t>(value & 0x7Fu);
        if (i != inCount) {
            byte |= 0x80u;
        }
        ioBuff[i - 1] = byte;
        value >>= 7;
    }
}

// Big-endian helpers: the file format fixes byte order, not the host.
inline uint32_t readBigEndian32(const uint8_t* pBuff)
{
    return (static_cast<uint32_t>(pBuff[0]) << 24) | (static_cast<uint32_t>(pBuff[1]) << 16) |
           (static_cast<uint32_t>(pBuff[2]) << 8) | static_cast<uint32_t>(pBuff[3]);
}

inline uint16_t readBigEndian16(const uint8_t* pBuff)
{
    return static_cast<uint16_t>((pBuff[0] << 8) | pBuff[1]);
}

inline void writeBigEndian32(uint32_t inValue, uint8_t* ioBuff)
{
    ioBuff[0] = static_cast<uint8_t>(inValue >> 24);
    ioBuff[1] = static_cast<uint8_t>(inValue >> 16);
    ioBuff[2] = static_cast<uint8_t>(inValue >> 8);
    ioBuff[3] = static_cast<uint8_t>(inValue);
}

inline void writeBigEndian16(uint16_t inValue, uint8_t* ioBuff)
{
    ioBuff[0] = static_cast<uint8_t>(inValue >> 8);
    ioBuff[1] = static_cast<uint8_t>(inValue);
}

// The param storage that the three payload classes share: an owned array and
// its size. The new array is filled before the old one goes, so a param copied
// from the same payload survives. A count of 0 still gives a non-null array.
inline void replaceParamBytes(uint8_t*& ioParam, uint32_t& ioSize, const uint8_t* inLead,
                              const uint8_t* inData, uint32_t inSize)
{
    const uint32_t leadSize = inLead != nullptr ? 1u : 0u;
    uint8_t* param = new uint8_t[inSize + leadSize];
    if (inLead != nullptr) {
        param[0] = *inLead;
    }
    if (inSize > 0) {
        std::memcpy(param + leadSize, inData, inSize);
    }
    delete[] ioParam;
    ioParam = param;
    ioSize = inSize + leadSize;
}

inline void clearParamBytes(uint8_t*& ioParam, uint32_t& ioSize)
{
    delete[] ioParam;
    ioParam = nullptr;
    ioSize = 0;
}
