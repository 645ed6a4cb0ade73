#include "SMF/SMF.h"

#include <cstring>

#include "SMF/SMFAssert.h"
#include "SMF/SMFUtil.h"

namespace {

constexpr uint32_t kHeaderChunkSize = kChunkHeadSize + CMidiHeader::kBodySize;
// The track scan starts inside the header chunk, at the low byte of the format.
constexpr uint32_t kTrackScanStart = 11;
constexpr uint8_t kTrackTag[4] = {'M', 'T', 'r', 'k'};

enum class ETrackScan { kRefused, kCounted };

// Counts every "MTrk" byte run from kTrackScanStart on, wherever it stands,
// event data included. One whose length field is not below the image size
// refuses the image; one too close to the end to have a length field is not
// counted.
ETrackScan scanTracks(const uint8_t* pData, uint32_t inSize, uint32_t& outCount)
{
    uint32_t count = 0;
    if (inSize > kTrackScanStart) {
        const uint8_t* end = pData + inSize;
        const uint8_t* p = pData + kTrackScanStart;
        while (end - p >= static_cast<std::ptrdiff_t>(sizeof(kTrackTag))) {
            const void* hit = memmem(p, static_cast<size_t>(end - p), kTrackTag, sizeof(kTrackTag));
            if (hit == nullptr) {
                break;
            }
            const uint8_t* tag = static_cast<const uint8_t*>(hit);
            if (end - tag >= static_cast<std::ptrdiff_t>(kChunkHeadSize)) {
                if (readBigEndian32(tag + 4) >= inSize) {
                    return ETrackScan::kRefused;
                }
                ++count;
            }
            // "MTrk" cannot overlap itself, but a plain step keeps this obviously
            // equal to looking at every position.
            p = tag + 1;
        }
    }
    outCount = count;
    return ETrackScan::kCounted;
}

} // namespace

CSMF::CSMF() = default;

CSMF::~CSMF()
{
    trackClear();
    m_header.reset(0);
}

bool CSMF::setData(const uint8_t* pData, uint32_t inSize, uint32_t& ioConsumed)
{
    if (pData == nullptr || inSize < kHeaderChunkSize) {
        reset();
        return false;
    }
    const uint32_t tag = readBigEndian32(pData);
    const uint32_t headerBodySize = readBigEndian32(pData + 4);
    const uint16_t format = readBigEndian16(pData + 8);
    const uint16_t trackCount = readBigEndian16(pData + 10);
    const uint16_t division = readBigEndian16(pData + 12);
    if (tag != kChunkTagHeader || headerBodySize != CMidiHeader::kBodySize || format > 2) {
        reset();
        return false;
    }

    uint32_t foundTracks = 0;
    if (scanTracks(pData, inSize, foundTracks) == ETrackScan::kRefused || trackCount == 0 ||
        foundTracks < trackCount || division == 0 || (division >> 8) == 0x80) {
        reset();
        return false;
    }

    uint32_t headerConsumed = 0;
    if (!m_header.setData(pData, inSize, headerConsumed) || m_header.getFormat() >= 2) {
        reset();
        return false;
    }

    const uint32_t trackBytes =
        setTrackData(trackCount, pData + kHeaderChunkSize, inSize - kHeaderChunkSize);
    if (trackBytes == kInvalidCount) {
        // A half-read file would pass for the whole update; take none of it.
        reset();
        return false;
    }
    ioConsumed += kHeaderChunkSize + trackBytes;
    return true;
}

uint32_t CSMF::setTrackData(uint16_t inCount, const uint8_t* pData, uint32_t inSize)
{
    uint32_t total = 0;
    for (uint16_t i = 0; i < inCount; ++i) {
        CMidiTrack* track = new CMidiTrack;
        uint32_t consumed = 0;
        if (!track->setData(pData, inSize, consumed)) {
            delete track;
            return kInvalidCount;
        }
        m_tracks.push_back(track);
        pData += consumed;
        inSize -= consumed;
        total += consumed;
    }
    return total;
}

bool CSMF::getData(uint8_t* ioBuff, uint32_t& ioWritten)
{
    uint32_t headerWritten = 0;
    if (!m_header.getData(ioBuff, headerWritten)) {
        return false;
    }
    const uint32_t trackBytes = getTrackData(ioBuff + headerWritten);
    if (trackBytes == kInvalidCount) {
        return false;
    }
    ioWritten += headerWritten + trackBytes;
    return true;
}

uint32_t CSMF::getTrackData(uint8_t* ioBuff)
{
    uint32_t total = 0;
    for (CMidiTrack* track : m_tracks) {
        uint32_t written = 0;
        if (!track->getData(ioBuff + total, written)) {
            return kInvalidCount;
        }
        total += written;
    }
    return total;
}

void CSMF::reset()
{
    trackClear();
    m_header.reset(0);
}

void CSMF::fix()
{
    for (CMidiTrack* track : m_tracks) {
        track->sortEvents();
    }
}

uint32_t CSMF::GetFileSize() const
{
    uint32_t size = kChunkHeadSize + m_header.getChunkDataSize();
    for (const CMidiTrack* track : m_tracks) {
        size += kChunkHeadSize + track->getChunkDataSize();
    }
    return size;
}

void CSMF::trackClear()
{
    for (CMidiTrack* track : m_tracks) {
        track->reset(0);
        delete track;
    }
    m_tracks.clear();
}

CMidiTrack* CSMF::addTrack()
{
    CMidiTrack* track = new CMidiTrack;
    m_tracks.push_back(track);
    m_header.setTrackCount(static_cast<uint16_t>(m_header.getTrackCount() + 1));
    return track;
}

std::string CSMF::getSequenceName() const
{
    for (const CMidiTrack* track : m_tracks) {
        for (const CMidiEvent* e : track->getEvents()) {
            const CMidiMetaEvent* meta = e->getMetaData();
            if (meta != nullptr && meta->getType() == CMidiMetaEvent::kTypeSequenceName) {
                const char* name = reinterpret_cast<const char*>(meta->getParam());
                const void* zero = std::memchr(name, 0, meta->getSize());
                const size_t length =
                    zero ? static_cast<size_t>(static_cast<const char*>(zero) - name)
                         : meta->getSize();
                return std::string(name, length);
            }
        }
    }
    return std::string();
}

void CSMF::setSequenceName(uint32_t inTrack, const uint8_t* pName, uint32_t inSize)
{
    if (inTrack >= m_tracks.size()) {
        return;
    }
    CMidiEvent* e = new CMidiEvent;
    e->setType(CMidiEvent::kEventTypeMeta);
    e->setDataType(CMidiMetaEvent::kTypeSequenceName);
    e->setDataParam(pName, inSize);
    e->time = 0;
    m_tracks[inTrack]->AddEvent(e);
}
