#pragma once
// Helpers shared by the SMF tests.

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

inline Bytes bytes(std::initializer_list<int> inValues)
{
    Bytes out;
    out.reserve(inValues.size());
    for (int v : inValues) {
        out.push_back(static_cast<uint8_t>(v));
    }
    return out;
}

inline Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline Bytes text(const std::string& inText)
{
    return Bytes(inText.begin(), inText.end());
}

// A heap copy of exactly inData.size() bytes, so that AddressSanitizer reports
// any read past the end (a vector may hold spare capacity behind its size).
class CExactBuffer {
public:
    explicit CExactBuffer(const Bytes& inData)
        : m_size(inData.size()), m_data(new uint8_t[inData.empty() ? 1 : inData.size()])
    {
        if (!inData.empty()) {
            std::memcpy(m_data.get(), inData.data(), inData.size());
        }
    }
    const uint8_t* data() const { return m_data.get(); }
    uint32_t size() const { return static_cast<uint32_t>(m_size); }

private:
    size_t m_size;
    std::unique_ptr<uint8_t[]> m_data;
};

inline Bytes paramOf(uint32_t inSize, const uint8_t* inParam)
{
    return inParam ? Bytes(inParam, inParam + inSize) : Bytes();
}

inline Bytes chunk(const char* inTag, const Bytes& inBody)
{
    Bytes out(inTag, inTag + 4);
    const auto n = static_cast<uint32_t>(inBody.size());
    out.push_back(static_cast<uint8_t>(n >> 24));
    out.push_back(static_cast<uint8_t>(n >> 16));
    out.push_back(static_cast<uint8_t>(n >> 8));
    out.push_back(static_cast<uint8_t>(n));
    return out + inBody;
}

inline Bytes headerChunk(int inFormat, int inTracks, int inDivision)
{
    return chunk("MThd", bytes({inFormat >> 8, inFormat & 0xFF, inTracks >> 8, inTracks & 0xFF, inDivision >> 8,
                                inDivision & 0xFF}));
}

inline const Bytes kEndOfTrackBytes = {0x00, 0xFF, 0x2F, 0x00};
