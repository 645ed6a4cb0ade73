#pragma once
// A whole Standard MIDI File in memory: the header chunk and the track chunks
// it announces, parsed with this system's acceptance rules and written back.

#include <cstdint>
#include <string>
#include <vector>

#include "SMF/MidiHeader.h"
#include "SMF/MidiTrack.h"

class CSMF {
public:
    CSMF();
    virtual ~CSMF();
    CSMF(const CSMF&) = delete;
    CSMF& operator=(const CSMF&) = delete;

    // Parses a complete image. Adds the bytes of the header and track chunks to
    // ioConsumed on success; on refusal empties the container, leaves
    // ioConsumed alone and returns false.
    virtual bool setData(const uint8_t* pData, uint32_t inSize, uint32_t& ioConsumed);
    // Writes the image; the output must hold GetFileSize() bytes. Adds the
    // bytes written to ioWritten. False when an event cannot be encoded.
    virtual bool getData(uint8_t* ioBuff, uint32_t& ioWritten);
    virtual void reset();
    virtual void fix();
    virtual uint32_t GetFileSize() const;

    // Bytes of the track chunks read, or kInvalidCount.
    uint32_t setTrackData(uint16_t inCount, const uint8_t* pData, uint32_t inSize);
    // Bytes written, or kInvalidCount when a track cannot be encoded.
    uint32_t getTrackData(uint8_t* ioBuff);
    void trackClear();
    CMidiTrack* addTrack();

    std::string getSequenceName() const;
    void setSequenceName(uint32_t inTrack, const uint8_t* pName, uint32_t inSize);

    const CMidiHeader& getHeader() const { return m_header; }
    CMidiHeader& getHeader() { return m_header; }
    const std::vector<CMidiTrack*>& getTracks() const { return m_tracks; }
    uint32_t getTrackCount() const { return static_cast<uint32_t>(m_tracks.size()); }

private:
    CMidiHeader m_header;
    std::vector<CMidiTrack*> m_tracks;
};
