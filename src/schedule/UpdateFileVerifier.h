#pragma once
// The check every update file passes before its first byte goes out. The SMF
// library accepts files that would send damaged or mistimed firmware (a
// channel message that lost a byte swallows the SysEx after it, events after
// End of Track are dropped, ticks wrap past 2^32); this walks the file with the
// library's own event reader and refuses such files, naming the reason and the
// place: track, event and byte offset.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

struct SUpdateFileRefusal {
    enum class EProblem {
        kHeader,          // not an "MThd" header of length 6, or too short for one
        kFormat,          // format 2 or above
        kNoTrack,         // the header announces none
        kDivision,        // zero, or an SMPTE rate other than 24, 25, 29.97, 30
        kChunk,           // a track chunk's tag, or its length past the end of the file
        kMissingTrack,    // fewer track chunks than announced
        kExtraTrack,      // more track chunks than announced
        kEvent,           // an event the reader cannot take (length, truncation, running status)
        kChannelData,     // a channel message holds a byte >= 0x80 as data
        kAfterEndOfTrack, // events follow End of Track inside its chunk
        kTickOverflow,    // an absolute tick past 2^32 - 1
        kTempo,           // a Set Tempo of track 0 that is zero or shorter than three bytes
        kSysExStream,     // the bytes to send are not a run of whole F0 ... F7 messages
        kEmptySysEx,      // a SysEx event that carries no byte (0xF7 with length 0)
        kNoSysEx,         // nothing to send
        kReaderRefused    // the SMF reader refuses the file for a reason none of the above names
    };

    EProblem problem;
    std::string what;                    // e.g. "SysEx holds status byte 0x90"
    std::optional<std::uint32_t> track;  // counted from 0, as `inspect` counts them
    std::optional<std::uint32_t> event;  // counted from 0 within the track, End of Track included
    std::optional<std::uint64_t> offset; // of the offending byte in the file

    // "track 1, event 7 at byte 1,234: SysEx holds status byte 0x90"
    std::string sentence() const;
    // The sentence after the file's name, as the tool and the window show it.
    std::string sentenceFor(const std::string& fileName) const;
};

class CMidiEvent;

class CUpdateFileVerifier {
public:
    // Sees every event of the image as it is read, End of Track aside, track
    // by track in file order: what a schedule is built from, in the same pass.
    // An image refused later may already have shown some of its events.
    class CEventSink {
    public:
        virtual void onEvent(std::uint32_t inTrack, const CMidiEvent& inEvent) = 0;

    protected:
        ~CEventSink() = default;
    };

    // The first problem of the image, or none when it may be sent. Never reads
    // outside [inData, inData + inLength).
    static std::optional<SUpdateFileRefusal> verify(const std::uint8_t* inData, std::size_t inLength,
                                                    CEventSink* ioSink = nullptr);

    // 1,234,567
    static std::string withThousands(std::uint64_t value);
};
